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
    // The area and a tab margin for every inner grid line, rounded once over all of them.
    grid.atlasNeedWidth = grid.areaWidth + TabMargin((grid.columns - 1) * grid.cellWidth);
    grid.atlasNeedHeight = grid.areaHeight + TabMargin((grid.rows - 1) * grid.cellHeight);
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

namespace {

// Left (or top) edges of count cells of cell pixels: the first at 0, every inner line shifted at
// random by -cell/8 ... cell/4 - 1 - cell/8, one draw a line, in order.
void PlaceLines(std::vector<int32_t>& start, int count, int cell, const RandomSource& random) {
    start.assign(static_cast<size_t>(count), 0);
    for (int i = 1; i < count; ++i) {
        start[i] = random() % (cell / 4) + i * cell - cell / 8;
    }
}

} // namespace

void PlaceGridLines(Board& grid, const RandomSource& random) {
    PlaceLines(grid.colStart, grid.columns, grid.cellWidth, random);
    PlaceLines(grid.rowStart, grid.rows, grid.cellHeight, random);
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

// The tab of one inner edge, worked out along and across the edge and then put in picture
// coordinates: a right edge (vertical) runs along y, a bottom edge along x. The edge lies at line
// across it and runs from `from` to `to` along it; cellAlong is the nominal cell side along it,
// m the smaller cell side. Draws four numbers in order: the half length a, the focus spread b, the
// shift's direction and the shift of the centre along the edge.
TabEllipse MakeTab(bool vertical, int line, float from, float to, int cellAlong, float m, bool ownsTab,
                   uint16_t owner, const RandomSource& random) {
    const float a = m / (static_cast<float>(random()) / 32767.0f + 6.0f);
    const float length = 2.0f * a;
    const float b = static_cast<float>(random() * 4) / 32767.0f + 3.0f;
    const float s = (random() % 2 == 0) ? 1.0f : -1.0f;
    const float centre =
        static_cast<float>(random()) * cellAlong * s * 0.125f / 32767.0f + (from + to) * 0.5f;
    // The foci lie 0.4 a beyond the line, on the side the tab pushes into.
    const float across = ownsTab ? line + 0.4f * a : line - 0.4f * a;
    const int acrossFrom = ownsTab ? line : line - static_cast<int>(length);
    const int acrossTo = ownsTab ? line + static_cast<int>(length) : line;
    const int alongFrom = static_cast<int>(centre - b - a);
    const int alongTo = static_cast<int>(centre + b + a);
    TabEllipse e;
    e.length = length;
    e.owner = owner;
    if (vertical) {
        e.f1x = e.f2x = across;
        e.f1y = centre + b;
        e.f2y = centre - b;
        e.x0 = acrossFrom, e.x1 = acrossTo, e.y0 = alongFrom, e.y1 = alongTo;
    } else {
        e.f1y = e.f2y = across;
        e.f1x = centre - b;
        e.f2x = centre + b;
        e.y0 = acrossFrom, e.y1 = acrossTo, e.x0 = alongFrom, e.x1 = alongTo;
    }
    return e;
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
                const bool ownsTab = tabs[edge] == 1;
                const int self = r * columns + c;
                const TabEllipse e =
                    right
                        ? MakeTab(true, colStart[c + 1], static_cast<float>(rowStart[r]),
                                  static_cast<float>(r + 1 < rows ? rowStart[r + 1] : grid.areaHeight - 1),
                                  grid.cellHeight, m, ownsTab,
                                  static_cast<uint16_t>(ownsTab ? self : self + 1), random)
                        : MakeTab(false, rowStart[r + 1], static_cast<float>(colStart[c]),
                                  static_cast<float>(c + 1 < columns ? colStart[c + 1] : grid.areaWidth - 1),
                                  grid.cellWidth, m, ownsTab,
                                  static_cast<uint16_t>(ownsTab ? self : self + columns), random);
                PaintTab(e, grid, ownerMap);
            }
        }
    }
}
