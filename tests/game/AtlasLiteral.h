// The atlas composed piece by piece exactly as its rules read, with the 49-entry relief count for
// every piece pixel: the reference that the tests and the benchmark hold the composer against.
#pragma once

#include "game/logic/AtlasTexels.h"

#include <algorithm>

inline void ComposeAtlasLiteral(const Board& cut, const RgbView& rgb, int side, uint32_t* atlas) {
    std::fill(atlas, atlas + static_cast<size_t>(side) * side, 0u);
    const int qw = cut.cellWidth / 4;
    const int qh = cut.cellHeight / 4;
    for (int r = 0; r < cut.rows; ++r) {
        for (int c = 0; c < cut.columns; ++c) {
            const uint16_t n = static_cast<uint16_t>(r * cut.columns + c);
            // The home cell and a quarter cell on every side, clipped to the area, reaching the
            // area's end in the last row and column.
            const int x0 = std::max(cut.colStart[c] - qw, 0);
            const int x1 =
                c == cut.columns - 1 ? cut.areaWidth : std::min(cut.colStart[c + 1] + qw, cut.areaWidth);
            const int y0 = std::max(cut.rowStart[r] - qh, 0);
            const int y1 =
                r == cut.rows - 1 ? cut.areaHeight : std::min(cut.rowStart[r + 1] + qh, cut.areaHeight);
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    if (cut.ownerMap[static_cast<size_t>(y) * cut.areaWidth + x] == n) {
                        atlas[static_cast<size_t>(y + r * qh) * side + x + c * qw] =
                            ShadePixel(rgb, x, y, ReliefCount(cut, x, y, n));
                    }
                }
            }
        }
    }
}
