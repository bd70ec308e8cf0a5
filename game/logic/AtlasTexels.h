// Texels of the piece atlas and of the thumbnail, composed in memory (A8R8G8B8 values, alpha in
// the top byte), so that the device code only copies rows into a locked texture.
//
// Atlas layout: picture pixel (x, y) of the piece in row r, column c goes to texel
// (x + c * (cellWidth / 4), y + r * (cellHeight / 4)); piece texels are opaque, shaded like a
// relief lit from the top left; every other texel is 0.
#pragma once

#include "game/logic/Board.h"

#include <cstddef>
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

// The atlas composed band by band from the top, bands of `bandRows` rows (the last may be
// shorter), `width` texels wide and `height` rows high from its top-left corner (the whole
// square, or the rectangle its texture holds). Relief counts are kept only for the picture rows
// that the current band and the later ones read, so that neither the counts nor the picture need
// to be whole while the atlas is filled: FirstRowStillRead tells the caller which picture rows it
// may drop. Each band is shared among up to `threads` threads. The board and the picture must
// outlive the composer.
class CAtlasComposer {
  public:
    CAtlasComposer(const Board& cut, const RgbView& rgb, int width, int height, int bandRows, int threads);
    CAtlasComposer(const Board& cut, const RgbView& rgb, int side, int bandRows, int threads)
        : CAtlasComposer(cut, rgb, side, side, bandRows, threads) {}
    CAtlasComposer(const CAtlasComposer&) = delete;
    CAtlasComposer& operator=(const CAtlasComposer&) = delete;

    int Bands() const { return (m_height + m_bandRows - 1) / m_bandRows; }
    int BandRows(int band) const;
    // Composes band `band` (its BandRows(band) rows of `width` texels, row i at out + i * stride)
    // into `out`; bands must come in increasing order. Piece texels are the shaded picture, every
    // other texel is 0.
    void ComposeBand(int band, uint32_t* out, size_t stride);
    // Picture rows above this one are read by no band from `band` on (areaHeight when none is).
    // FirstRowStillRead(Bands()) is areaHeight.
    int FirstRowStillRead(int band) const;

  private:
    struct Window {
        int x0, x1, y0, y1; // x1, y1 exclusive
    };
    // n such that picture rows 0 ... n - 1 are the ones first shown above atlas row `atlasRow`.
    int RowsShownAbove(int atlasRow) const;
    void CountUpTo(int band);
    void ComposeRows(int firstAtlasRow, int begin, int end, uint32_t* out, size_t stride) const;
    const int8_t* CountRow(int y) const;

    const Board& m_cut;
    RgbView m_rgb;
    int m_width;
    int m_height;
    int m_bandRows;
    int m_threads;
    std::vector<Window> m_windows; // per piece
    std::vector<int> m_firstShown; // per picture row, the first and last atlas row showing it
    std::vector<int> m_lastShown;
    // Counts of picture row y at row y % m_capacity; rows up to m_counted are done.
    std::vector<int8_t> m_counts;
    int m_capacity = 1;
    int m_counted = 0;
};

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
// All 512 x 512 texels, row y at texels + y * stride: the scaled picture (thumbWidth x
// thumbHeight, opaque) centred on opaque white.
void ComposeThumbnail(const RgbView& scaled, int thumbWidth, int thumbHeight, uint32_t* texels,
                      size_t stride);
