// The cut of a new game: grid, grid lines, tab sides and ownership map, drawn from rand().
#include "framework/Error.h"
#include "game/Game.h"
#include "game/logic/Cutting.h"
#include "platform/CRT.h"

namespace {

int DrawRandom() {
    return rand();
}

} // namespace

void CGame::ComputeGrid() {
    Grid grid;
    if (!::ComputeGrid(areaWidth, areaHeight, pieceCount, grid)) {
        // Too narrow or too low for one column or row of pieces.
        throw CError(ERR_NORMAL, "Obrazek jest za mały", "game.cpp", 518, 0);
    }
    columns = grid.columns;
    rows = grid.rows;
    cellWidth = grid.cellWidth;
    cellHeight = grid.cellHeight;
    pieceCount = grid.pieceCount;
    areaWidth = grid.areaWidth;
    areaHeight = grid.areaHeight;
    atlasNeedWidth = grid.atlasNeedWidth;
    atlasNeedHeight = grid.atlasNeedHeight;
    if (grid.atlasSize != 0) {
        atlasSize = grid.atlasSize;
    }
    boardWidth = grid.boardWidth;
    boardHeight = grid.boardHeight;
}

void CGame::PlaceGridLines() {
    delete[] colStart;
    colStart = nullptr;
    delete[] rowStart;
    rowStart = nullptr;
    colStart = new int32_t[columns];
    rowStart = new int32_t[rows];
    ::PlaceGridLines(CurrentGrid(), colStart, rowStart, DrawRandom);
}

void CGame::ChooseTabSides() {
    delete[] tabMap;
    tabMap = nullptr;
    tabMap = new uint8_t[static_cast<size_t>(columns) * rows * 2];
    tabMapWidth = columns;
    ::ChooseTabSides(columns, rows, tabMap, DrawRandom);
}

void CGame::BuildOwnerMap() {
    delete[] ownerMap;
    ownerMap = nullptr;
    ownerMap = new uint16_t[static_cast<size_t>(areaWidth) * areaHeight];
    ownerMapWidth = areaWidth;
    ::BuildOwnerMap(CurrentGrid(), colStart, rowStart, tabMap, ownerMap, DrawRandom);
}
