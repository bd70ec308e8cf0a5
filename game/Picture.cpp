// Picture loading through DevIL and ILU: the library lives only during a new game's start.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/Cutting.h"
#include "game/logic/PictureRules.h"
#include "platform/CRT.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cctype>

namespace {

constexpr const char* kSource = "game.cpp";
constexpr const char* kPreviewFailed = "Błąd podczas generowania podglądu";

void ThrowIfImageError(const char* message, int line) {
    if (ilGetError() != IL_NO_ERROR) {
        throw CError(ERR_NORMAL, message, kSource, line, 0);
    }
}

// Bytes of one channel of a DevIL type.
int TypeSize(ILenum type) {
    switch (type) {
    case IL_BYTE:
    case IL_UNSIGNED_BYTE:
        return 1;
    case IL_SHORT:
    case IL_UNSIGNED_SHORT:
        return 2;
    case IL_DOUBLE:
        return 8;
    default:
        return 4;
    }
}

// DevIL's PNM and SGI readers load 16-bit files into a buffer sized for 8-bit channels and
// describe it with a 16-bit channel type but one byte a channel: every copy (ilCopyImage,
// ilCopyPixels) sizes itself by the type and reads as many bytes again beyond the buffer's end.
// Such a picture cannot be read safely and is refused like an unreadable file.
bool PixelDescriptionConsistent() {
    return TypeSize(static_cast<ILenum>(ilGetInteger(IL_IMAGE_TYPE))) == ilGetInteger(IL_IMAGE_BPC);
}

} // namespace

void CGame::InitImageLibrary(unsigned int names[2]) {
    ilInit();
    iluInit();
    ilGenImages(2, names);
}

void CGame::ShutdownImageLibrary(unsigned int names[2]) {
    ilDeleteImages(2, names);
    ilShutDown();
}

void CGame::LoadPicture(unsigned int names[2], const std::string& picturePath) {
    ilBindImage(names[0]);
    ilLoadImage(picturePath.c_str());
    if (ilGetError() != IL_NO_ERROR || !PixelDescriptionConsistent()) {
        const std::string message = "Nie można wczytać obrazka z pliku " + LogPathText(picturePath);
        throw CError(ERR_NORMAL, message.c_str(), kSource, 493, 0);
    }
    char extension[_MAX_EXT];
    _splitpath(picturePath.c_str(), nullptr, nullptr, nullptr, extension);
    for (char* p = extension; *p; ++p) {
        *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    }
    if (NeedsFlip(extension, ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT)) {
        iluFlipImage();
    }
}

void CGame::CheckPictureSize() {
    areaWidth = ilGetInteger(IL_IMAGE_WIDTH);
    areaHeight = ilGetInteger(IL_IMAGE_HEIGHT);
    if (areaWidth <= kMinCellSide || areaHeight <= kMinCellSide) {
        throw CError(ERR_NORMAL, "Obrazek jest za mały", kSource, 518, 0);
    }
}

void CGame::CopyPicturePixels(unsigned int names[2], RgbImage& rgb) {
    ilBindImage(names[0]);
    ilCopyPixels(0, 0, 0, areaWidth, areaHeight, 1, IL_RGB, IL_UNSIGNED_BYTE, rgb.data.get());
    ThrowIfImageError("Nie można odczytać obrazka", 526);
}

void CGame::DropPicturePixels(unsigned int names[2]) {
    ilBindImage(names[0]);
    const ILubyte black[3] = {0, 0, 0};
    ilTexImage(1, 1, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, const_cast<ILubyte*>(black));
}

RgbImage CGame::ScaleThumbnailImage(unsigned int names[2]) {
    ilBindImage(names[1]);
    ThrowIfImageError(kPreviewFailed, 1494);
    ilCopyImage(names[0]);
    ThrowIfImageError(kPreviewFailed, 1499);
    iluImageParameter(ILU_FILTER, ILU_LINEAR);
    ThrowIfImageError(kPreviewFailed, 1504);
    ThumbnailSize(areaWidth, areaHeight, thumbWidth, thumbHeight);
    iluScale(thumbWidth, thumbHeight, 1);
    ThrowIfImageError(kPreviewFailed, 1534);
    RgbImage scaled(thumbWidth, thumbHeight);
    ilCopyPixels(0, 0, 0, thumbWidth, thumbHeight, 1, IL_RGB, IL_UNSIGNED_BYTE, scaled.data.get());
    ThrowIfImageError("Nie można odczytać miniatury", 1540);
    return scaled;
}
