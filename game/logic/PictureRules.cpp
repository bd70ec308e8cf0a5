#include "game/logic/PictureRules.h"

bool NeedsFlip(const std::string& upperExtension, bool lowerLeftOrigin) {
    const bool flippedType = upperExtension == ".BMP" || upperExtension == ".SGI" ||
                             upperExtension == ".TIF" || upperExtension == ".TIFF" ||
                             upperExtension == ".ICO";
    return flippedType && lowerLeftOrigin;
}
