// Cutting a picture into pieces: the grid, the wavy grid lines, the tab sides and the per-pixel
// ownership map. Plain functions on plain data; random numbers come from the source the caller
// passes (the game passes the C runtime's rand), drawn in exactly the order documented per call.
#pragma once

#include "game/logic/Board.h"

#include <cstdint>
#include <functional>
#include <vector>

// Uniform integers 0 ... 32767, one per call.
using RandomSource = std::function<int()>;

// Smallest piece side in picture pixels.
constexpr int kMinCellSide = 48;
// Largest atlas side: the greatest power of two the grid step tries.
constexpr int kLargestAtlasSide = 32768;
// Piece numbers are 16 bits wide.
constexpr int kMaxPieces = 65536;

// Chooses columns and rows for a width x height picture and a requested count, and sets the
// board's grid fields from them (pieceCount, the area cropped to whole cells, the atlas needs,
// atlasSize, 0 when no power of two up to 32768 holds them, and the board size). While a cell
// would be under 48 pixels on a side (or the grid would exceed 16-bit piece numbers) the working
// count is lowered by a tenth and one; each working count tried is appended to workingCounts
// when it is given. Returns false when the rounding gives 0 columns or rows (a very elongated
// or very small picture, or a count below 1): the picture is refused, the board is left unspecified.
bool ComputeGrid(int width, int height, int count, Board& board, std::vector<int>* workingCounts = nullptr);

// Left edges of the columns (columns entries) and top edges of the rows (rows entries), each inner
// line shifted at random by -cell/8 ... cell/4 - 1 - cell/8. Draws columns - 1 numbers for the
// columns, then rows - 1 for the rows.
void PlaceGridLines(Board& board, const RandomSource& random);

// tabMap: two bytes per cell, row-major: right edge, then bottom edge; 1 (even draw) = this cell's piece
// owns the tab of that edge, 0 (odd draw) = the neighbour does. Draws 2 * columns * rows numbers.
void ChooseTabSides(Board& board, const RandomSource& random);

// Paints ownerMap (areaWidth x areaHeight, row-major): every pixel of a cell gets its piece
// number, then every inner edge's tab, an ellipse on the neighbour's side of the edge, is painted
// with its owner's number. Edges are taken row by row, column by column, right edge before
// bottom edge; each draws four numbers (half length, focus spread, shift direction, shift).
void BuildOwnerMap(Board& board, const RandomSource& random);
