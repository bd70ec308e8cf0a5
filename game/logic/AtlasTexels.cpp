#include "game/logic/AtlasTexels.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

constexpr int kReach = 3; // the neighbourhood runs from -3 to +3 on both axes
constexpr int kSpan = 2 * kReach + 1;

// ReliefCount for a pixel at least 3 pixels inside the area, without bounds tests or branches.
inline int CountInside(const uint16_t* centre, size_t stride, uint16_t n) {
    int count = 0;
    for (int dy = -kReach; dy <= kReach; ++dy) {
        const uint16_t* row = centre + static_cast<ptrdiff_t>(dy) * static_cast<ptrdiff_t>(stride);
        int left = 0;
        int right = 0;
        for (int dx = -kReach; dx < 0; ++dx) {
            left += row[dx] != n;
        }
        for (int dx = 0; dx <= kReach; ++dx) {
            right += row[dx] != n;
        }
        count += dy < 0 ? left + right : left - right;
    }
    return count;
}

// Counts for picture rows y0 ... y1 - 1. hInside marks pixels whose row neighbours x - 3 ... x + 3
// lie in the area and share their owner; chain counts, per column, the consecutive rows (capped
// at 7) that are hInside with the same owner as the row above. A pixel is interior exactly when
// the chain ending 3 rows below it is 7 long.
// Row y goes to counts row y % capacity. scratch: 2 * areaWidth bytes of the caller's, so that a
// worker thread allocates nothing.
void CountRows(const Board& cut, int y0, int y1, int8_t* counts, int capacity, uint8_t* scratch) {
    const int width = cut.areaWidth;
    const int height = cut.areaHeight;
    uint8_t* chain = scratch;
    uint8_t* hInside = scratch + width;
    std::fill(chain, chain + width, 0);
    const int first = std::max(0, y0 - kReach);
    for (int below = first; below < y1 + kReach; ++below) {
        if (below < height) {
            const uint16_t* row = cut.ownerMap.data() + static_cast<size_t>(below) * width;
            for (int runStart = 0; runStart < width;) {
                int runEnd = runStart + 1;
                while (runEnd < width && row[runEnd] == row[runStart]) {
                    ++runEnd;
                }
                for (int x = runStart; x < runEnd; ++x) {
                    hInside[x] = x - kReach >= runStart && x + kReach < runEnd;
                }
                runStart = runEnd;
            }
            const uint16_t* above = below > first ? row - width : nullptr;
            for (int x = 0; x < width; ++x) {
                if (!hInside[x]) {
                    chain[x] = 0;
                } else if (above && chain[x] > 0 && above[x] == row[x]) {
                    chain[x] = static_cast<uint8_t>(std::min(chain[x] + 1, kSpan));
                } else {
                    chain[x] = 1;
                }
            }
        } else {
            std::fill(chain, chain + width, 0);
        }
        const int y = below - kReach;
        if (y < y0) {
            continue;
        }
        const uint16_t* row = cut.ownerMap.data() + static_cast<size_t>(y) * width;
        int8_t* out = counts + static_cast<size_t>(y % capacity) * width;
        const bool rowInside = y >= kReach && y + kReach < height;
        for (int x = 0; x < width; ++x) {
            if (chain[x] >= kSpan) {
                out[x] = 0;
            } else if (rowInside && x >= kReach && x + kReach < width) {
                out[x] = static_cast<int8_t>(CountInside(row + x, static_cast<size_t>(width), row[x]));
            } else {
                out[x] = static_cast<int8_t>(ReliefCount(cut, x, y, row[x]));
            }
        }
    }
}

} // namespace

uint32_t ShadePixel(const RgbView& rgb, int x, int y, int count) {
    const uint8_t* p = rgb.data + (static_cast<size_t>(y) * rgb.width + x) * 3;
    auto channel = [count](uint8_t v) { return static_cast<uint32_t>(std::clamp(v + 4 * count, 0, 255)); };
    return 0xFF000000u | channel(p[0]) << 16 | channel(p[1]) << 8 | channel(p[2]);
}

int ReliefCount(const Board& cut, int x, int y, uint16_t n) {
    int count = 0;
    for (int dy = -kReach; dy <= kReach; ++dy) {
        for (int dx = -kReach; dx <= kReach; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            const bool foreign = nx < 0 || ny < 0 || nx >= cut.areaWidth || ny >= cut.areaHeight ||
                                 cut.ownerMap[static_cast<size_t>(ny) * cut.areaWidth + nx] != n;
            if (foreign) {
                count += (dx < 0 || dy < 0) ? 1 : -1;
            }
        }
    }
    return count;
}

namespace {

// Picture rows counted ahead of the band that needs them, so that the counting threads get work
// worth starting.
constexpr int kCountAhead = 256;

template <typename Work> void RunShared(int parts, Work work) {
    if (parts == 1) {
        work(0);
        return;
    }
    std::vector<std::thread> workers;
    for (int i = 0; i < parts; ++i) {
        workers.emplace_back(work, i);
    }
    for (std::thread& t : workers) {
        t.join();
    }
}

} // namespace

CAtlasComposer::CAtlasComposer(const Board& cut, const RgbView& rgb, int width, int height, int bandRows,
                               int threads)
    : m_cut(cut), m_rgb(rgb), m_width(width), m_height(height), m_bandRows(std::max(bandRows, 1)),
      m_threads(std::max(threads, 1)) {
    // A piece is scanned in its home cell and a quarter cell on every side, clipped to the area
    // and reaching the area's end in the last row and column.
    const int qw = TabMargin(cut.cellWidth);
    const int qh = TabMargin(cut.cellHeight);
    m_windows.reserve(static_cast<size_t>(cut.columns) * cut.rows);
    for (int r = 0; r < cut.rows; ++r) {
        for (int c = 0; c < cut.columns; ++c) {
            Window w;
            w.x0 = std::max(cut.colStart[c] - qw, 0);
            w.x1 = c == cut.columns - 1 ? cut.areaWidth : std::min(cut.colStart[c + 1] + qw, cut.areaWidth);
            w.y0 = std::max(cut.rowStart[r] - qh, 0);
            w.y1 = r == cut.rows - 1 ? cut.areaHeight : std::min(cut.rowStart[r + 1] + qh, cut.areaHeight);
            m_windows.push_back(w);
        }
    }
    // Atlas row Y of piece row r shows picture row Y - r * qh for the rows of that piece row's
    // window; windows overlap, so a row is shown from its first window to its last.
    m_firstShown.assign(static_cast<size_t>(cut.areaHeight), 0);
    m_lastShown.assign(static_cast<size_t>(cut.areaHeight), 0);
    for (int r = cut.rows - 1; r >= 0; --r) {
        const Window& w = m_windows[static_cast<size_t>(r) * cut.columns];
        for (int y = w.y0; y < w.y1; ++y) {
            m_firstShown[static_cast<size_t>(y)] = y + r * qh;
            m_lastShown[static_cast<size_t>(y)] = std::max(m_lastShown[static_cast<size_t>(y)], y + r * qh);
        }
    }
    // The counts hold every row from the first one still read to the last one counted (CountUpTo
    // counts at most kCountAhead rows past the band's need).
    for (int b = 0; b < Bands(); ++b) {
        const int need = std::min(cut.areaHeight, RowsShownAbove(b * m_bandRows + BandRows(b)) + kCountAhead);
        m_capacity = std::max(m_capacity, need - FirstRowStillRead(b));
    }
    m_counts.resize(static_cast<size_t>(m_capacity) * cut.areaWidth);
}

int CAtlasComposer::BandRows(int band) const {
    return std::min(m_bandRows, m_height - band * m_bandRows);
}

int CAtlasComposer::RowsShownAbove(int atlasRow) const {
    return static_cast<int>(std::partition_point(m_firstShown.begin(), m_firstShown.end(),
                                                 [atlasRow](int shown) { return shown < atlasRow; }) -
                            m_firstShown.begin());
}

int CAtlasComposer::FirstRowStillRead(int band) const {
    const int top = band * m_bandRows;
    return static_cast<int>(std::partition_point(m_lastShown.begin(), m_lastShown.end(),
                                                 [top](int shown) { return shown < top; }) -
                            m_lastShown.begin());
}

const int8_t* CAtlasComposer::CountRow(int y) const {
    return m_counts.data() + static_cast<size_t>(y % m_capacity) * m_cut.areaWidth;
}

void CAtlasComposer::CountUpTo(int band) {
    const int need = RowsShownAbove(band * m_bandRows + BandRows(band));
    const int start = std::max(m_counted, FirstRowStillRead(band));
    if (need <= start) {
        return;
    }
    const int end = std::min(m_cut.areaHeight, std::max(need, start + kCountAhead));
    const int parts = std::clamp(m_threads, 1, std::max(1, (end - start) / 64));
    const size_t scratchBytes = 2 * static_cast<size_t>(m_cut.areaWidth);
    std::vector<uint8_t> scratch(scratchBytes * parts);
    RunShared(parts, [&, start, end, parts](int i) {
        CountRows(m_cut, start + (end - start) * i / parts, start + (end - start) * (i + 1) / parts,
                  m_counts.data(), m_capacity, scratch.data() + scratchBytes * i);
    });
    m_counted = end;
}

void CAtlasComposer::ComposeRows(int firstAtlasRow, int begin, int end, uint32_t* out, size_t stride) const {
    const Board& cut = m_cut;
    const int qw = TabMargin(cut.cellWidth);
    const int qh = TabMargin(cut.cellHeight);
    for (int i = begin; i < end; ++i) {
        const int atlasY = firstAtlasRow + i;
        uint32_t* outRow = out + static_cast<size_t>(i) * stride;
        std::fill(outRow, outRow + m_width, 0u);
        for (int r = 0; r < cut.rows; ++r) {
            const int y = atlasY - r * qh;
            const Window& rowWindow = m_windows[static_cast<size_t>(r) * cut.columns];
            if (y < rowWindow.y0 || y >= rowWindow.y1) {
                continue;
            }
            const uint16_t* mapRow = cut.ownerMap.data() + static_cast<size_t>(y) * cut.areaWidth;
            const int8_t* countRow = CountRow(y);
            const uint8_t* rgbRow = m_rgb.data + static_cast<size_t>(y) * m_rgb.width * 3;
            for (int c = 0; c < cut.columns; ++c) {
                const uint16_t n = static_cast<uint16_t>(r * cut.columns + c);
                const Window& w = m_windows[n];
                for (int x = w.x0; x < w.x1; ++x) {
                    if (mapRow[x] != n) {
                        continue;
                    }
                    if (countRow[x] == 0) {
                        const uint8_t* p = rgbRow + static_cast<size_t>(x) * 3;
                        outRow[x + c * qw] = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
                    } else {
                        outRow[x + c * qw] = ShadePixel(m_rgb, x, y, countRow[x]);
                    }
                }
            }
        }
    }
}

void CAtlasComposer::ComposeBand(int band, uint32_t* out, size_t stride) {
    CountUpTo(band);
    const int rowCount = BandRows(band);
    const int parts = std::clamp(m_threads, 1, std::max(1, rowCount / 16));
    RunShared(parts, [&, rowCount, parts](int i) {
        ComposeRows(band * m_bandRows, rowCount * i / parts, rowCount * (i + 1) / parts, out, stride);
    });
}

void ThumbnailSize(int width, int height, int& thumbWidth, int& thumbHeight) {
    if (width <= kThumbnailSide && height <= kThumbnailSide) {
        thumbWidth = width;
        thumbHeight = height;
        return;
    }
    const double byWidth = static_cast<double>(kThumbnailSide) / width;
    const float byHeight = static_cast<float>(kThumbnailSide) / static_cast<float>(height);
    const double factor = std::min(byWidth, static_cast<double>(byHeight));
    thumbWidth = static_cast<int>(width * factor);
    thumbHeight = static_cast<int>(height * factor);
}

void ComposeThumbnail(const RgbView& scaled, int thumbWidth, int thumbHeight, uint32_t* texels,
                      size_t stride) {
    const int left = ThumbnailLeft(thumbWidth);
    const int top = ThumbnailTop(thumbHeight);
    for (int y = 0; y < kThumbnailSide; ++y) {
        uint32_t* row = texels + static_cast<size_t>(y) * stride;
        std::fill(row, row + kThumbnailSide, 0xFFFFFFFFu);
        for (int x = 0; y >= top && y < top + thumbHeight && x < thumbWidth; ++x) {
            row[left + x] = ShadePixel(scaled, x, y - top, 0);
        }
    }
}
