// The small board of the play tests: 3 x 2 cells of 100 x 80 over a 310 x 160 picture, every
// pixel its cell's piece's, no tabs.
#pragma once

#include "game/logic/Board.h"

inline Board ThreeByTwoBoard() {
    Board b;
    b.columns = 3;
    b.rows = 2;
    b.areaWidth = 310;
    b.areaHeight = 160;
    b.cellWidth = 100;
    b.cellHeight = 80;
    b.pieceCount = 6;
    b.colStart = {0, 100, 200};
    b.rowStart = {0, 80};
    b.ownerMap.resize(310 * 160);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 310; ++x)
            b.ownerMap[y * 310 + x] = static_cast<uint16_t>((y >= 80) * 3 + (x >= 100) + (x >= 200));
    b.tabMap.assign(12, 0);
    return b;
}
