// Picture loading. DevIL and ILU run in the decoder program (decoder/PictureDecoder.cpp), one
// process per new game's start; here the game asks it for the picture's size, the thumbnail and
// the pixels, and turns every way it can fail into the start's log entries.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/PictureDecoder.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/Cutting.h"

#include <algorithm>

namespace {

constexpr const char* kSource = "game.cpp";
constexpr const char* kPreviewFailed = "Błąd podczas generowania podglądu";

[[noreturn]] void ThrowUnreadable(const std::string& picturePath) {
    const std::string message = "Nie można wczytać obrazka z pliku " + LogPathText(picturePath);
    throw CError(ERR_NORMAL, message.c_str(), kSource, 493, 0);
}

} // namespace

int CGame::LargestTextureSide() const {
    D3DCAPS9 caps{};
    if (FAILED(m_device->GetDeviceCaps(&caps)) || caps.MaxTextureWidth == 0 || caps.MaxTextureHeight == 0) {
        return kLargestAtlasSide;
    }
    return static_cast<int>(std::min<DWORD>(
        {caps.MaxTextureWidth, caps.MaxTextureHeight, static_cast<DWORD>(kLargestAtlasSide)}));
}

void CGame::InitImageLibrary(CPictureDecoder& decoder) {
    decoder.Close();
}

void CGame::ShutdownImageLibrary(CPictureDecoder& decoder) {
    decoder.Close();
}

void CGame::LoadPicture(CPictureDecoder& decoder, const std::string& picturePath) {
    // A picture too large for the device comes back with its size only: the atlas check
    // refuses it.
    if (decoder.Open(picturePath, LargestTextureSide()) == CPictureDecoder::Load::Unreadable) {
        ThrowUnreadable(picturePath);
    }
}

void CGame::CheckPictureSize(const CPictureDecoder& decoder) {
    areaWidth = decoder.Width();
    areaHeight = decoder.Height();
    if (areaWidth <= kMinCellSide || areaHeight <= kMinCellSide) {
        throw CError(ERR_NORMAL, "Obrazek jest za mały", kSource, 518, 0);
    }
}

void CGame::CheckAtlasFits(const CPictureDecoder& decoder) {
    const bool pictureTooLarge = decoder.TooLarge();
    // A picture wider or higher than the device's largest texture never fits: the atlas is at
    // least as wide and as high as the picture.
    Grid grid;
    const bool gridMade = !pictureTooLarge && ::ComputeGrid(areaWidth, areaHeight, pieceCount, grid);
    if (!pictureTooLarge && !gridMade) {
        return; // too narrow for a piece: refused by the grid step itself
    }
    if (pictureTooLarge || grid.atlasSize == 0 || grid.atlasSize > LargestTextureSide()) {
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury puzzli", kSource, 764, D3DERR_INVALIDCALL);
    }
}

void CGame::CopyPicturePixels(CPictureDecoder& decoder, RgbImage& rgb) {
    if (decoder.LastCopy() == CPictureDecoder::Copy::PicturePixels) {
        throw CError(ERR_NORMAL, "Nie można odczytać obrazka", kSource, 526, 0);
    }
    if (!decoder.ReadPicture(rgb)) {
        ThrowUnreadable(path);
    }
}

RgbImage CGame::ScaleThumbnailImage(CPictureDecoder& decoder) {
    ThumbnailSize(areaWidth, areaHeight, thumbWidth, thumbHeight);
    switch (decoder.Decode(thumbWidth, thumbHeight)) {
    case CPictureDecoder::Copy::Failed:
        ThrowUnreadable(path);
    case CPictureDecoder::Copy::BindThumbnail:
        throw CError(ERR_NORMAL, kPreviewFailed, kSource, 1494, 0);
    case CPictureDecoder::Copy::CopyImage:
        throw CError(ERR_NORMAL, kPreviewFailed, kSource, 1499, 0);
    case CPictureDecoder::Copy::Filter:
        throw CError(ERR_NORMAL, kPreviewFailed, kSource, 1504, 0);
    case CPictureDecoder::Copy::Scale:
        throw CError(ERR_NORMAL, kPreviewFailed, kSource, 1534, 0);
    case CPictureDecoder::Copy::ThumbnailPixels:
        throw CError(ERR_NORMAL, "Nie można odczytać miniatury", kSource, 1540, 0);
    default:
        break;
    }
    RgbImage scaled(thumbWidth, thumbHeight);
    if (!decoder.ReadThumbnail(scaled)) {
        ThrowUnreadable(path);
    }
    return scaled;
}
