#include "game/logic/AtlasTexels.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// Picture-space rectangle that the piece in row r, column c is scanned in: its home cell and a
// quarter cell on every side, clipped to the area, reaching the area's end in the last row and
// column.
struct ScanWindow {
    int x0, x1, y0, y1; // x1, y1 exclusive
};

ScanWindow WindowOf(const Board& cut, int r, int c) {
    const int qw = cut.cellWidth / 4;
    const int qh = cut.cellHeight / 4;
    ScanWindow w;
    w.x0 = std::max(cut.colStart[c] - qw, 0);
    w.x1 = c == cut.columns - 1 ? cut.areaWidth : std::min(cut.colStart[c + 1] + qw, cut.areaWidth);
    w.y0 = std::max(cut.rowStart[r] - qh, 0);
    w.y1 = r == cut.rows - 1 ? cut.areaHeight : std::min(cut.rowStart[r + 1] + qh, cut.areaHeight);
    return w;
}

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
// scratch: 2 * areaWidth bytes of the caller's, so that a worker thread allocates nothing.
void CountRows(const Board& cut, int y0, int y1, int8_t* counts, uint8_t* scratch) {
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
        int8_t* out = counts + static_cast<size_t>(y) * width;
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

void ComposeAtlasLiteral(const Board& cut, const RgbView& rgb, int side, uint32_t* atlas) {
    std::fill(atlas, atlas + static_cast<size_t>(side) * side, 0u);
    const int qw = cut.cellWidth / 4;
    const int qh = cut.cellHeight / 4;
    for (int r = 0; r < cut.rows; ++r) {
        for (int c = 0; c < cut.columns; ++c) {
            const uint16_t n = static_cast<uint16_t>(r * cut.columns + c);
            const ScanWindow w = WindowOf(cut, r, c);
            for (int y = w.y0; y < w.y1; ++y) {
                for (int x = w.x0; x < w.x1; ++x) {
                    if (cut.ownerMap[static_cast<size_t>(y) * cut.areaWidth + x] != n) {
                        continue;
                    }
                    const size_t texel = static_cast<size_t>(y + r * qh) * side + x + c * qw;
                    atlas[texel] = ShadePixel(rgb, x, y, ReliefCount(cut, x, y, n));
                }
            }
        }
    }
}

std::vector<int8_t> ComputeReliefCounts(const Board& cut, int threads) {
    std::vector<int8_t> counts(static_cast<size_t>(cut.areaWidth) * cut.areaHeight);
    const int parts = std::clamp(threads, 1, std::max(1, cut.areaHeight / 64));
    if (parts == 1) {
        std::vector<uint8_t> scratch(2 * static_cast<size_t>(cut.areaWidth));
        CountRows(cut, 0, cut.areaHeight, counts.data(), scratch.data());
        return counts;
    }
    std::vector<uint8_t> scratch(2 * static_cast<size_t>(cut.areaWidth) * parts);
    std::vector<std::thread> workers;
    for (int i = 0; i < parts; ++i) {
        const int y0 = static_cast<int>(static_cast<int64_t>(cut.areaHeight) * i / parts);
        const int y1 = static_cast<int>(static_cast<int64_t>(cut.areaHeight) * (i + 1) / parts);
        workers.emplace_back(CountRows, std::cref(cut), y0, y1, counts.data(),
                             scratch.data() + 2 * static_cast<size_t>(cut.areaWidth) * i);
    }
    for (std::thread& t : workers) {
        t.join();
    }
    return counts;
}

namespace {

void ComposeRows(const Board& cut, const RgbView& rgb, const int8_t* counts,
                 const std::vector<ScanWindow>& windows, int side, int firstRow, int begin, int end,
                 uint32_t* out) {
    std::fill(out + static_cast<size_t>(begin) * side, out + static_cast<size_t>(end) * side, 0u);
    const int qw = cut.cellWidth / 4;
    const int qh = cut.cellHeight / 4;
    for (int i = begin; i < end; ++i) {
        const int atlasY = firstRow + i;
        uint32_t* outRow = out + static_cast<size_t>(i) * side;
        for (int r = 0; r < cut.rows; ++r) {
            const int y = atlasY - r * qh;
            const ScanWindow& rowWindow = windows[static_cast<size_t>(r) * cut.columns];
            if (y < rowWindow.y0 || y >= rowWindow.y1) {
                continue;
            }
            const uint16_t* mapRow = cut.ownerMap.data() + static_cast<size_t>(y) * cut.areaWidth;
            const int8_t* countRow = counts + static_cast<size_t>(y) * cut.areaWidth;
            const uint8_t* rgbRow = rgb.data + static_cast<size_t>(y) * rgb.width * 3;
            for (int c = 0; c < cut.columns; ++c) {
                const uint16_t n = static_cast<uint16_t>(r * cut.columns + c);
                const ScanWindow& w = windows[n];
                for (int x = w.x0; x < w.x1; ++x) {
                    if (mapRow[x] != n) {
                        continue;
                    }
                    if (countRow[x] == 0) {
                        const uint8_t* p = rgbRow + static_cast<size_t>(x) * 3;
                        outRow[x + c * qw] = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
                    } else {
                        outRow[x + c * qw] = ShadePixel(rgb, x, y, countRow[x]);
                    }
                }
            }
        }
    }
}

} // namespace

void ComposeAtlasRows(const Board& cut, const RgbView& rgb, const int8_t* counts, int side, int firstRow,
                      int rowCount, uint32_t* out, int threads) {
    std::vector<ScanWindow> windows;
    windows.reserve(static_cast<size_t>(cut.columns) * cut.rows);
    for (int r = 0; r < cut.rows; ++r) {
        for (int c = 0; c < cut.columns; ++c) {
            windows.push_back(WindowOf(cut, r, c));
        }
    }
    const int parts = std::clamp(threads, 1, std::max(1, rowCount / 16));
    if (parts == 1) {
        ComposeRows(cut, rgb, counts, windows, side, firstRow, 0, rowCount, out);
        return;
    }
    std::vector<std::thread> workers;
    for (int i = 0; i < parts; ++i) {
        workers.emplace_back(ComposeRows, std::cref(cut), std::cref(rgb), counts, std::cref(windows), side,
                             firstRow, rowCount * i / parts, rowCount * (i + 1) / parts, out);
    }
    for (std::thread& t : workers) {
        t.join();
    }
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

void ComposeThumbnail(const RgbView& scaled, int thumbWidth, int thumbHeight, uint32_t* texels) {
    std::fill(texels, texels + kThumbnailSide * kThumbnailSide, 0xFFFFFFFFu);
    const int left = ThumbnailLeft(thumbWidth);
    const int top = ThumbnailTop(thumbHeight);
    for (int y = 0; y < thumbHeight; ++y) {
        uint32_t* row = texels + static_cast<size_t>(top + y) * kThumbnailSide + left;
        for (int x = 0; x < thumbWidth; ++x) {
            row[x] = ShadePixel(scaled, x, y, 0);
        }
    }
}
