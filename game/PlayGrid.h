// The board of a CGame as the play rules read it.
#pragma once

#include "game/Game.h"
#include "game/logic/PlayRules.h"

inline BoardGrid GridOf(const CGame& game) {
    BoardGrid grid;
    grid.columns = game.columns;
    grid.rows = game.rows;
    grid.areaWidth = game.areaWidth;
    grid.areaHeight = game.areaHeight;
    grid.cellWidth = game.cellWidth;
    grid.cellHeight = game.cellHeight;
    grid.colStart = game.colStart;
    grid.rowStart = game.rowStart;
    grid.ownerMap = game.ownerMap;
    grid.tabMap = game.tabMap;
    return grid;
}
