#include "game/logic/Scatter.h"

void ScatterPieces(Board& grid, const RandomSource& random) {
    std::vector<BoardPiece>& pieces = grid.pieces;
    const float scale = 1.0f / 32767.0f;
    pieces.reserve(pieces.size() + static_cast<size_t>(grid.pieceCount));
    for (int i = 0; i < grid.pieceCount; ++i) {
        const float x =
            static_cast<float>(random()) * (grid.boardWidth - static_cast<float>(grid.cellWidth)) * scale;
        const float y =
            static_cast<float>(random()) * (grid.boardHeight - static_cast<float>(grid.cellHeight)) * scale;
        BoardPiece piece{};
        piece.x = x;
        piece.y = y;
        piece.number = static_cast<uint16_t>(i);
        piece.joined = 0;
        pieces.push_back(piece);
    }
}
