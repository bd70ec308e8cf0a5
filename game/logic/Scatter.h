// Where the pieces of a new game lie at the start.
#pragma once

#include "game/Board.h"
#include "game/logic/Cutting.h"

#include <vector>

// Appends pieceCount pieces numbered 0 ... pieceCount - 1 in that drawing order, none joined,
// each home-cell corner uniform in [0, boardWidth - cellWidth] x [0, boardHeight - cellHeight].
// Draws two numbers per piece, x before y.
void ScatterPieces(const Grid& grid, std::vector<BoardPiece>& pieces, const RandomSource& random);
