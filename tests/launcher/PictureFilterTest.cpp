#include "PictureFilter.h"

#include <gtest/gtest.h>

TEST(PictureFilter, HasTwentyFivePairsIn614BytesEndingInTwoNuls) {
    std::string filter = BuildPictureFilter();
    EXPECT_EQ(filter.size(), 614u);
    EXPECT_EQ(filter.substr(filter.size() - 2), std::string(2, '\0'));

    auto pairs = SplitPictureFilter(filter);
    ASSERT_EQ(pairs.size(), 25u);
    EXPECT_EQ(pairs[0].first, "Wszystkie obrazki");
    EXPECT_EQ(pairs[0].second,
              "*.bmp;*.cut;*.dcx;*.dds;*.ico;*.jpg;*.lbm;*.lif;*.mdl;*.pcd;*.pcx;*.pic;*.png;"
              "*.pnm;*.psd;*.psp;*.raw;*.sgi;*.tga;*.tif;*.wal;*.act;*.pal");
    EXPECT_EQ(pairs[1], std::make_pair(std::string("Obrazki .bmp"), std::string("*.bmp")));
    EXPECT_EQ(pairs[23], std::make_pair(std::string("Obrazki .pal"), std::string("*.pal")));
    EXPECT_EQ(pairs[24], std::make_pair(std::string("Wszystkie pliki"), std::string("*.*")));
}

TEST(PictureFilter, PatternsMatchWithoutRegardToCaseAndStarDotStarMatchesEverything) {
    EXPECT_EQ(WindowsPatternsToGlobs("*.bmp;*.Jpg"),
              (std::vector<std::string>{"*.[bB][mM][pP]", "*.[jJ][pP][gG]"}));
    EXPECT_EQ(WindowsPatternsToGlobs("*.*"), (std::vector<std::string>{"*"}));
    EXPECT_EQ(WindowsPatternsToGlobs(""), (std::vector<std::string>{}));
}
