// Where the pieces of a new game lie at the start.
#pragma once

#include "game/logic/Board.h"
#include "game/logic/Cutting.h"

#include <vector>

// Appends to board.pieces pieceCount pieces numbered 0 ... pieceCount - 1 in that drawing order, none joined,
// each home-cell corner uniform in [0, boardWidth - cellWidth] x [0, boardHeight - cellHeight].
// Draws two numbers per piece, x before y.
void ScatterPieces(Board& board, const RandomSource& random);
