#include "game/logic/Cutting.h"

#include <algorithm>
#include <cmath>

bool ComputeGrid(int width, int height, int count, Board& grid, std::vector<int>* workingCounts) {
    int n = count;
    for (;;) {
        if (workingCounts) {
            workingCounts->push_back(n);
        }
        if (n < 1 || width < 1 || height < 1) {
            return false;
        }
        const double columnsValue = std::sqrt(static_cast<double>(width) * n / height) + 0.5;
        const double rowsValue = std::sqrt(static_cast<double>(height) * n / width) + 0.5;
        // More columns than pixels means cells far under the minimum; this also keeps the
        // conversions below in range for absurd counts.
        const bool tooMany = columnsValue > width || rowsValue > height;
        const int columns = tooMany ? 0 : static_cast<int>(columnsValue);
        const int rows = tooMany ? 0 : static_cast<int>(rowsValue);
        if (!tooMany && (columns < 1 || rows < 1)) {
            return false;
        }
        if (tooMany || width / columns < kMinCellSide || height / rows < kMinCellSide ||
            static_cast<int64_t>(columns) * rows > kMaxPieces) {
            n = n - n / 10 - 1;
            continue;
        }
        grid.columns = columns;
        grid.rows = rows;
        grid.cellWidth = width / columns;
        grid.cellHeight = height / rows;
        break;
    }
    grid.pieceCount = grid.columns * grid.rows;
    grid.areaWidth = grid.columns * grid.cellWidth;
    grid.areaHeight = grid.rows * grid.cellHeight;
    grid.atlasNeedWidth = grid.areaWidth + ((grid.columns - 1) * grid.cellWidth) / 4;
    grid.atlasNeedHeight = grid.areaHeight + ((grid.rows - 1) * grid.cellHeight) / 4;
    grid.atlasSize = 0;
    for (int k = 0; k <= 15; ++k) {
        const int t = static_cast<int>(std::pow(2.0, k));
        if (t >= grid.atlasNeedWidth && t >= grid.atlasNeedHeight) {
            grid.atlasSize = t;
            break;
        }
    }
    grid.boardWidth = 1.5f * static_cast<float>(grid.areaWidth) + 2.0f * static_cast<float>(grid.pieceCount);
    grid.boardHeight =
        1.5f * static_cast<float>(grid.areaHeight) + 2.0f * static_cast<float>(grid.pieceCount);
    return true;
}

void PlaceGridLines(Board& grid, const RandomSource& random) {
    std::vector<int32_t>& colStart = grid.colStart;
    std::vector<int32_t>& rowStart = grid.rowStart;
    colStart.assign(static_cast<size_t>(grid.columns), 0);
    rowStart.assign(static_cast<size_t>(grid.rows), 0);
    for (int c = 1; c < grid.columns; ++c) {
        colStart[c] = random() % (grid.cellWidth / 4) + c * grid.cellWidth - grid.cellWidth / 8;
    }
    for (int r = 1; r < grid.rows; ++r) {
        rowStart[r] = random() % (grid.cellHeight / 4) + r * grid.cellHeight - grid.cellHeight / 8;
    }
}

void ChooseTabSides(Board& board, const RandomSource& random) {
    board.tabMap.resize(static_cast<size_t>(board.columns) * board.rows * 2);
    for (uint8_t& tab : board.tabMap) {
        tab = (random() % 2 == 0) ? 1 : 0;
    }
}

namespace {

struct TabEllipse {
    float f1x, f1y, f2x, f2y; // the foci
    float length;             // 2a: a pixel belongs when its distances to the foci add up to at most this
    int x0, x1, y0, y1;       // painted window, inclusive
    uint16_t owner;
};

void PaintTab(const TabEllipse& e, const Board& grid, uint16_t* ownerMap) {
    // With cells of at least 48 pixels a window never leaves the area; the clamp only guards
    // the map against a grid that breaks that rule.
    const int x0 = std::max(e.x0, 0);
    const int x1 = std::min(e.x1, grid.areaWidth - 1);
    const int y0 = std::max(e.y0, 0);
    const int y1 = std::min(e.y1, grid.areaHeight - 1);
    for (int y = y0; y <= y1; ++y) {
        uint16_t* row = ownerMap + static_cast<size_t>(y) * grid.areaWidth;
        const float fy = static_cast<float>(y);
        for (int x = x0; x <= x1; ++x) {
            const float fx = static_cast<float>(x);
            const float d1 = std::sqrt((fx - e.f1x) * (fx - e.f1x) + (fy - e.f1y) * (fy - e.f1y));
            const float d2 = std::sqrt((fx - e.f2x) * (fx - e.f2x) + (fy - e.f2y) * (fy - e.f2y));
            if (d1 + d2 <= e.length) {
                row[x] = e.owner;
            }
        }
    }
}

} // namespace

void BuildOwnerMap(Board& grid, const RandomSource& random) {
    grid.ownerMap.resize(static_cast<size_t>(grid.areaWidth) * grid.areaHeight);
    const int32_t* colStart = grid.colStart.data();
    const int32_t* rowStart = grid.rowStart.data();
    const uint8_t* tabMap = grid.tabMap.data();
    uint16_t* ownerMap = grid.ownerMap.data();
    const int columns = grid.columns;
    const int rows = grid.rows;
    auto colEnd = [&](int c) { return c + 1 < columns ? colStart[c + 1] : grid.areaWidth; };
    auto rowEnd = [&](int r) { return r + 1 < rows ? rowStart[r + 1] : grid.areaHeight; };

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const uint16_t number = static_cast<uint16_t>(r * columns + c);
            for (int y = rowStart[r]; y < rowEnd(r); ++y) {
                uint16_t* row = ownerMap + static_cast<size_t>(y) * grid.areaWidth;
                std::fill(row + colStart[c], row + colEnd(c), number);
            }
        }
    }

    const float m = static_cast<float>(std::min(grid.cellWidth, grid.cellHeight));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const uint8_t* tabs = tabMap + (static_cast<size_t>(r) * columns + c) * 2;
            for (int edge = 0; edge < 2; ++edge) {
                const bool right = edge == 0;
                if ((right && c == columns - 1) || (!right && r == rows - 1)) {
                    continue;
                }
                const float a = m / (static_cast<float>(random()) / 32767.0f + 6.0f);
                const float length = 2.0f * a;
                const float b = static_cast<float>(random() * 4) / 32767.0f + 3.0f;
                const float s = (random() % 2 == 0) ? 1.0f : -1.0f;
                const bool ownsTab = tabs[edge] == 1;
                TabEllipse e;
                e.length = length;
                if (right) {
                    const int line = colStart[c + 1];
                    const float y0 = static_cast<float>(rowStart[r]);
                    const float y1 = static_cast<float>(r + 1 < rows ? rowStart[r + 1] : grid.areaHeight - 1);
                    const float cy = static_cast<float>(random()) * grid.cellHeight * s * 0.125f / 32767.0f +
                                     (y0 + y1) * 0.5f;
                    const float fx = ownsTab ? line + 0.4f * a : line - 0.4f * a;
                    e.f1x = fx;
                    e.f2x = fx;
                    e.f1y = cy + b;
                    e.f2y = cy - b;
                    e.x0 = ownsTab ? line : line - static_cast<int>(length);
                    e.x1 = ownsTab ? line + static_cast<int>(length) : line;
                    e.y0 = static_cast<int>(cy - b - a);
                    e.y1 = static_cast<int>(cy + b + a);
                    e.owner = static_cast<uint16_t>(ownsTab ? r * columns + c : r * columns + c + 1);
                } else {
                    const int line = rowStart[r + 1];
                    const float x0 = static_cast<float>(colStart[c]);
                    const float x1 =
                        static_cast<float>(c + 1 < columns ? colStart[c + 1] : grid.areaWidth - 1);
                    const float cx = static_cast<float>(random()) * grid.cellWidth * s * 0.125f / 32767.0f +
                                     (x0 + x1) * 0.5f;
                    const float fy = ownsTab ? line + 0.4f * a : line - 0.4f * a;
                    e.f1y = fy;
                    e.f2y = fy;
                    e.f1x = cx - b;
                    e.f2x = cx + b;
                    e.y0 = ownsTab ? line : line - static_cast<int>(length);
                    e.y1 = ownsTab ? line + static_cast<int>(length) : line;
                    e.x0 = static_cast<int>(cx - b - a);
                    e.x1 = static_cast<int>(cx + b + a);
                    e.owner = static_cast<uint16_t>(ownsTab ? r * columns + c : (r + 1) * columns + c);
                }
                PaintTab(e, grid, ownerMap);
            }
        }
    }
}
