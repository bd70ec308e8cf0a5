// Life cycle of the game screen and the board model's plain accessors.
#include "game/Game.h"

#include "game/logic/AtlasTexels.h"
#include "game/logic/Cutting.h"

CGame::CGame(HWND window, IDirect3DDevice9* device) : CScene(window, device) {}

CGame::~CGame() {
    delete messagePanel;
    messagePanel = nullptr;
    // The application releases resources before deleting a screen; this only catches a screen
    // torn down without that step.
    DeleteResources();
}

void CGame::SetStartRequest(const StartRequest& request) {
    mode = request.kind;
    path = request.path;
    requestedCount = request.pieceCount;
}

void CGame::DeleteResources() {
    delete[] tabMap;
    tabMap = nullptr;
    delete[] ownerMap;
    ownerMap = nullptr;
    delete[] colStart;
    colStart = nullptr;
    delete[] rowStart;
    rowStart = nullptr;
    if (thumbnailTexture) {
        thumbnailTexture->Release();
        thumbnailTexture = nullptr;
    }
    if (puzzleTexture) {
        puzzleTexture->Release();
        puzzleTexture = nullptr;
    }
}

int CGame::columnWidth(int c) const {
    return (c + 1 < columns ? colStart[c + 1] : areaWidth) - colStart[c];
}

int CGame::rowHeight(int r) const {
    return (r + 1 < rows ? rowStart[r + 1] : areaHeight) - rowStart[r];
}

Grid CGame::CurrentGrid() const {
    Grid grid;
    grid.columns = columns;
    grid.rows = rows;
    grid.cellWidth = cellWidth;
    grid.cellHeight = cellHeight;
    grid.pieceCount = pieceCount;
    grid.areaWidth = areaWidth;
    grid.areaHeight = areaHeight;
    grid.atlasNeedWidth = atlasNeedWidth;
    grid.atlasNeedHeight = atlasNeedHeight;
    grid.atlasSize = atlasSize;
    grid.boardWidth = boardWidth;
    grid.boardHeight = boardHeight;
    return grid;
}

PieceCut CGame::CurrentCut() const {
    PieceCut cut;
    cut.columns = columns;
    cut.rows = rows;
    cut.cellWidth = cellWidth;
    cut.cellHeight = cellHeight;
    cut.areaWidth = areaWidth;
    cut.areaHeight = areaHeight;
    cut.colStart = colStart;
    cut.rowStart = rowStart;
    cut.ownerMap = ownerMap;
    return cut;
}
