// The board model of one puzzle: the grid, the maps that say which pixel and which tab belongs to
// which piece, the pieces in drawing order and the play clock. The cutting fills it, the saved
// game restores it, and the atlas, play, drawing and saving code read it. The two textures made
// from the picture are not part of it: they belong to the screen's device code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// One piece on the board; stored in saved games as a 12-byte record, fields in this order.
struct BoardPiece {
    float x;         // board x of the top-left corner of the piece's home cell
    float y;         // board y of that corner
    uint16_t number; // row * columns + column of the home cell
    uint8_t joined;  // 1 once the piece has been snapped to a neighbour
    uint8_t reserved;
};
static_assert(sizeof(BoardPiece) == 12);

struct Board {
    int32_t areaWidth = 0;  // the picture as loaded; from the grid step on, columns * cellWidth
    int32_t areaHeight = 0; // likewise rows * cellHeight
    int32_t pieceCount = 0;
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
    int32_t atlasNeedWidth = 0;
    int32_t atlasNeedHeight = 0;
    int32_t atlasSize = 0;          // side of the square atlas; 0 when no power of two holds it
    std::vector<int32_t> colStart;  // columns entries: left edge of every column
    std::vector<int32_t> rowStart;  // rows entries: top edge of every row
    std::vector<uint16_t> ownerMap; // areaWidth x areaHeight, row-major: the piece of every pixel
    std::vector<uint8_t> tabMap;    // columns x rows x 2: right-edge byte, bottom-edge byte
    int32_t thumbWidth = 0;         // the scaled picture inside the 512 x 512 thumbnail
    int32_t thumbHeight = 0;
    uint64_t playTime = 0; // milliseconds
    float boardWidth = 0;
    float boardHeight = 0;
    std::vector<BoardPiece> pieces; // drawing order, the last on top

    int columnWidth(int c) const { return (c + 1 < columns ? colStart[c + 1] : areaWidth) - colStart[c]; }
    int rowHeight(int r) const { return (r + 1 < rows ? rowStart[r + 1] : areaHeight) - rowStart[r]; }
    int ColumnOf(const BoardPiece& p) const { return p.number % columns; }
    int RowOf(const BoardPiece& p) const { return p.number / columns; }
};

// How far a piece may reach past its home cell where it owns a tab, and so the margin it gets
// around that cell in the atlas and in its quad: a quarter of the cell side (integer division).
// Every tab the cutting paints stays within it.
inline int TabMargin(int cellSide) {
    return cellSide / 4;
}

// Picture pixels, 3 bytes a pixel (red, green, blue), rows top-down, each exactly 3 * width.
// The bytes are the image's own, or (for the decoded picture) memory it shares with whoever
// provided it; either is freed with the last image that holds it.
struct RgbImage {
    RgbImage() = default;
    RgbImage(int w, int h) : width(w), height(h), data(new uint8_t[static_cast<size_t>(w) * h * 3]) {}
    RgbImage(int w, int h, std::shared_ptr<uint8_t[]> bytes) : width(w), height(h), data(std::move(bytes)) {}

    int width = 0;
    int height = 0;
    std::shared_ptr<uint8_t[]> data;
};
