// The start of a new game from a picture: picture, cutting, textures and scattering.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/Picture.h"
#include "game/logic/Cutting.h"
#include "game/logic/LogLines.h"
#include "game/logic/Scatter.h"
#include "platform/CRT.h"
#include "platform/Win32.h"

#include <algorithm>
#include <new>

namespace {

int DrawRandom() {
    return rand();
}

} // namespace

int CGame::LargestTextureSide() const {
    D3DCAPS9 caps{};
    if (FAILED(m_device->GetDeviceCaps(&caps)) || caps.MaxTextureWidth == 0 || caps.MaxTextureHeight == 0)
        return kLargestAtlasSide;
    return static_cast<int>(std::min<DWORD>(
        {caps.MaxTextureWidth, caps.MaxTextureHeight, static_cast<DWORD>(kLargestAtlasSide)}));
}

void CGame::NewGame() {
    m_board.pieceCount = m_requestedCount;
    try {
        // The picture's pixels are freed before the decoder ends, and both before the beep.
        CPicture picture;
        RgbImage rgb;
        try {
            BuildFromPicture(picture, rgb);
        } catch (const std::bad_alloc&) {
            // The picture and its maps are sized by the file: a huge picture can exhaust
            // memory, which ends the start like any other failure, with a log entry.
            throw CError(ERR_NORMAL, "Za mało pamięci, by przygotować układankę", kGameLogSource,
                         LINE_START_OUT_OF_MEMORY, 0);
        }
    } catch (...) {
        Beep(1000, 500);
        throw;
    }
}

void CGame::BuildFromPicture(CPicture& picture, RgbImage& rgb) {
    const int largestSide = LargestTextureSide();
    picture.Load(m_path, m_board.pieceCount, largestSide);
    picture.CheckSize(m_board);
    picture.CheckAtlasFits(m_board, largestSide);
    BuildThumbnail(picture);
    rgb = picture.Pixels();
    Board& b = m_board;
    if (!ComputeGrid(b.areaWidth, b.areaHeight, b.pieceCount, b)) {
        // Too narrow or too low for one column or row of pieces.
        throw CError(ERR_NORMAL, "Obrazek jest za mały", kGameLogSource, LINE_PICTURE_TOO_SMALL, 0);
    }
    PlaceGridLines(b, DrawRandom);
    ChooseTabSides(b, DrawRandom);
    BuildOwnerMap(b, DrawRandom);
    CreatePuzzleTexture();
    FillPuzzleTexture(rgb);
    ScatterPieces(b, DrawRandom);
}
