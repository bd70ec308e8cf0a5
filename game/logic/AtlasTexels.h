// Texels of the piece atlas and of the thumbnail, composed in memory (A8R8G8B8 values, alpha in
// the top byte), so that the device code only copies rows into a locked texture.
//
// Atlas layout: picture pixel (x, y) of the piece in row r, column c goes to texel
// (x + c * (cellWidth / 4), y + r * (cellHeight / 4)); piece texels are opaque, shaded like a
// relief lit from the top left; every other texel is 0.
#pragma once

#include "game/logic/Board.h"

#include <cstdint>
#include <vector>

// Picture pixels, 3 bytes each (red, green, blue), rows of exactly 3 * width bytes.
struct RgbView {
    const uint8_t* data = nullptr;
    int width = 0;
};

// The relief colour of picture pixel (x, y): each channel plus 4 * count, clamped to 0 ... 255,
// opaque.
uint32_t ShadePixel(const RgbView& rgb, int x, int y, int count);

// The neighbour count of pixel (x, y) owned by piece n, read over its whole 7 x 7 neighbourhood:
// each neighbour outside the area or of another piece adds +1 when it lies left of or above the
// pixel (dx < 0 or dy < 0) and -1 otherwise. Ranges from -15 to +33.
int ReliefCount(const Board& cut, int x, int y, uint16_t n);

// The whole atlas (side * side texels) composed piece by piece exactly as described, with the
// 49-entry count for every piece pixel. The reference the fast path is measured against.
void ComposeAtlasLiteral(const Board& cut, const RgbView& rgb, int side, uint32_t* atlas);

// ReliefCount of every pixel of the area (areaWidth x areaHeight, row-major) for its own owner.
// Pixels whose whole 7 x 7 neighbourhood lies in the area and belongs to their own piece get 0
// without reading it; picture rows are shared among up to `threads` threads.
std::vector<int8_t> ComputeReliefCounts(const Board& cut, int threads);

// Atlas rows firstRow ... firstRow + rowCount - 1 (each `side` texels) from the counts of
// ComputeReliefCounts; identical to the same rows of ComposeAtlasLiteral. The rows are shared
// among up to `threads` threads.
void ComposeAtlasRows(const Board& cut, const RgbView& rgb, const int8_t* counts, int side, int firstRow,
                      int rowCount, uint32_t* out, int threads = 1);

// Thumbnail: the picture scaled to fit 512 x 512, never enlarged; the longer side can come out
// as 511 through the rounding of the factor.
constexpr int kThumbnailSide = 512;
void ThumbnailSize(int width, int height, int& thumbWidth, int& thumbHeight);
// Top-left corner of the scaled picture inside the thumbnail.
inline int ThumbnailLeft(int thumbWidth) {
    return kThumbnailSide / 2 - thumbWidth / 2;
}
inline int ThumbnailTop(int thumbHeight) {
    return kThumbnailSide / 2 - thumbHeight / 2;
}
// All 512 x 512 texels: the scaled picture (thumbWidth x thumbHeight, opaque) centred on opaque
// white.
void ComposeThumbnail(const RgbView& scaled, int thumbWidth, int thumbHeight, uint32_t* texels);
