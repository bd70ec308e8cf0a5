#include "game/Picture.h"

#include "framework/Error.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/AtlasTexture.h"
#include "game/logic/Cutting.h"
#include "game/logic/LogLines.h"
#include "platform/Direct3D9.h"

namespace {

constexpr const char* kPreviewFailed = "Błąd podczas generowania podglądu";

[[noreturn]] void ThrowUnreadable(const std::string& picturePath) {
    const std::string message = "Nie można wczytać obrazka z pliku " + LogPathText(picturePath);
    throw CError(ERR_NORMAL, message.c_str(), kGameLogSource, LINE_PICTURE_UNREADABLE, 0);
}

} // namespace

void CPicture::Load(const std::string& path, int count, int largestSide) {
    m_path = path;
    m_decoder.Close();
    if (m_decoder.Open(path, count, largestSide) == CPictureDecoder::Load::Unreadable)
        ThrowUnreadable(path);
}

void CPicture::CheckSize(Board& board) const {
    board.areaWidth = m_decoder.Width();
    board.areaHeight = m_decoder.Height();
    if (board.areaWidth <= kMinCellSide || board.areaHeight <= kMinCellSide)
        throw CError(ERR_NORMAL, "Obrazek jest za mały", kGameLogSource, LINE_PICTURE_TOO_SMALL, 0);
}

void CPicture::CheckAtlasFits(const Board& board, int largestSide) const {
    if (m_decoder.TooLarge() ||
        !AtlasTextureFits(board.areaWidth, board.areaHeight, board.pieceCount, largestSide))
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury puzzli", kGameLogSource, LINE_ATLAS_CREATE,
                     D3DERR_INVALIDCALL);
}

RgbImage CPicture::Thumbnail(Board& board) {
    ThumbnailSize(board.areaWidth, board.areaHeight, board.thumbWidth, board.thumbHeight);
    switch (m_decoder.Decode(board.thumbWidth, board.thumbHeight)) {
    case CPictureDecoder::Copy::Failed:
        ThrowUnreadable(m_path);
    case CPictureDecoder::Copy::BindThumbnail:
        throw CError(ERR_NORMAL, kPreviewFailed, kGameLogSource, LINE_PREVIEW_BIND, 0);
    case CPictureDecoder::Copy::CopyImage:
        throw CError(ERR_NORMAL, kPreviewFailed, kGameLogSource, LINE_PREVIEW_COPY, 0);
    case CPictureDecoder::Copy::Filter:
        throw CError(ERR_NORMAL, kPreviewFailed, kGameLogSource, LINE_PREVIEW_FILTER, 0);
    case CPictureDecoder::Copy::Scale:
        throw CError(ERR_NORMAL, kPreviewFailed, kGameLogSource, LINE_PREVIEW_SCALE, 0);
    case CPictureDecoder::Copy::ThumbnailPixels:
        throw CError(ERR_NORMAL, "Nie można odczytać miniatury", kGameLogSource, LINE_THUMBNAIL_PIXELS, 0);
    default:
        break;
    }
    RgbImage scaled(board.thumbWidth, board.thumbHeight);
    if (!m_decoder.ReadThumbnail(scaled))
        ThrowUnreadable(m_path);
    return scaled;
}

RgbImage CPicture::Pixels() {
    if (m_decoder.LastCopy() == CPictureDecoder::Copy::PicturePixels)
        throw CError(ERR_NORMAL, "Nie można odczytać obrazka", kGameLogSource, LINE_PICTURE_PIXELS, 0);
    RgbImage rgb;
    if (!m_decoder.ReadPicture(rgb))
        ThrowUnreadable(m_path);
    return rgb;
}
