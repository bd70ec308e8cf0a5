#include "game/logic/PictureRules.h"

#include <gtest/gtest.h>

TEST(NeedsFlipTest, BottomUpRowsOfTheListedTypesAreTurned) {
    for (const char* ext : {".BMP", ".SGI", ".TIF", ".TIFF", ".ICO"}) {
        EXPECT_TRUE(NeedsFlip(ext, true)) << ext;
        EXPECT_FALSE(NeedsFlip(ext, false)) << ext << " stored top row first";
    }
    // Whole extensions only: ".TIF2" is not ".TIF", and other types arrive top row first.
    for (const char* ext :
         {".TIF2", ".TI", ".JPG", ".PNG", ".TGA", ".PCX", ".PSD", ".DDS", ".PNM", "", ".bmp"}) {
        EXPECT_FALSE(NeedsFlip(ext, true)) << ext;
    }
}
