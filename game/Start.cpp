// The start of the game screen: a new game from a picture, or a saved game.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/PictureDecoder.h"
#include "game/logic/Cutting.h"
#include "game/logic/Scatter.h"
#include "platform/CRT.h"
#include "platform/Win32.h"

#include <new>

void CGame::CreateResources() {
    if (mode == 1) {
        CPictureDecoder decoder;
        InitImageLibrary(decoder);
        pieceCount = requestedCount;
        RgbImage rgb;
        try {
            try {
                LoadPicture(decoder, path);
                CheckPictureSize(decoder);
                CheckAtlasFits(decoder);
                BuildThumbnail(decoder);
                CopyPicturePixels(decoder, rgb);
                ComputeGrid();
                PlaceGridLines();
                ChooseTabSides();
                BuildOwnerMap();
                CreatePuzzleTexture();
                FillPuzzleTexture(rgb);
                ScatterPieces();
            } catch (const std::bad_alloc&) {
                // The picture and its maps are sized by the file: a huge picture can exhaust
                // memory, which ends the start like any other failure, with a log entry.
                throw CError(ERR_NORMAL, "Za mało pamięci, by przygotować układankę", "game.cpp", 540, 0);
            }
        } catch (...) {
            rgb = RgbImage();
            ShutdownImageLibrary(decoder);
            Beep(1000, 500);
            throw;
        }
        rgb = RgbImage();
        ShutdownImageLibrary(decoder);
    } else if (mode == 2) {
        LoadGame();
    }
    buttonBar.shownCount = pieceCount;
}

void CGame::ScatterPieces() {
    ::ScatterPieces(CurrentGrid(), pieces, [] { return rand(); });
}
