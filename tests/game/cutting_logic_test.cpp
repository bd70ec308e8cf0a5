#include "game/logic/Cutting.h"
#include "game/logic/Scatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Replays fixed values in order and counts the calls.
struct ScriptedRandom {
    std::vector<int> values;
    size_t calls = 0;
    RandomSource Source() {
        return [this] { return values.at(calls++); };
    }
};

// The Windows C runtime's generator, so a fixed seed gives the game's own kind of sequence.
RandomSource WindowsRandom(unsigned seed) {
    return [state = seed]() mutable {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fff);
    };
}

struct GridCase {
    int width, height, count;
    int rounds, columns, rows, cellWidth, cellHeight, pieces, areaWidth, areaHeight, needWidth, needHeight,
        atlas;
    float boardWidth, boardHeight;
};

} // namespace

TEST(ComputeGridTest, WorkedExamples) {
    const GridCase cases[] = {
        {800, 600, 100, 1, 12, 9, 66, 66, 108, 792, 594, 973, 726, 1024, 1404, 1107},
        {800, 600, 400, 8, 16, 12, 50, 50, 192, 800, 600, 987, 737, 1024, 1584, 1284},
        {1024, 768, 4, 1, 2, 2, 512, 384, 4, 1024, 768, 1152, 864, 2048, 1544, 1160},
        {1024, 768, 10000, 33, 21, 16, 48, 48, 336, 1008, 768, 1248, 948, 2048, 2184, 1824},
        {1600, 1200, 1000, 3, 33, 25, 48, 48, 825, 1584, 1200, 1968, 1488, 2048, 4026, 3450},
        {49, 49, 4, 3, 1, 1, 49, 49, 1, 49, 49, 49, 49, 64, 75.5f, 75.5f},
    };
    for (const GridCase& t : cases) {
        SCOPED_TRACE(testing::Message() << t.width << " x " << t.height << ", " << t.count);
        Board g;
        std::vector<int> counts;
        ASSERT_TRUE(ComputeGrid(t.width, t.height, t.count, g, &counts));
        EXPECT_EQ((std::vector<int>{static_cast<int>(counts.size()), g.columns, g.rows, g.cellWidth,
                                    g.cellHeight, g.pieceCount, g.areaWidth, g.areaHeight, g.atlasNeedWidth,
                                    g.atlasNeedHeight, g.atlasSize}),
                  (std::vector<int>{t.rounds, t.columns, t.rows, t.cellWidth, t.cellHeight, t.pieces,
                                    t.areaWidth, t.areaHeight, t.needWidth, t.needHeight, t.atlas}));
        EXPECT_FLOAT_EQ(g.boardWidth, t.boardWidth);
        EXPECT_FLOAT_EQ(g.boardHeight, t.boardHeight);
    }
}

TEST(ComputeGridTest, WorkingCountFallsByATenthAndOne) {
    Board g;
    std::vector<int> counts;
    ASSERT_TRUE(ComputeGrid(800, 600, 400, g, &counts));
    EXPECT_EQ(counts, (std::vector<int>{400, 359, 323, 290, 260, 233, 209, 188}));
}

TEST(ComputeGridTest, RefusesGridsWithoutColumnsOrRows) {
    Board g;
    EXPECT_FALSE(ComputeGrid(49, 1000, 4, g));  // rounds to 0 columns
    EXPECT_FALSE(ComputeGrid(1000, 49, 4, g));  // 0 rows
    EXPECT_FALSE(ComputeGrid(800, 600, 0, g));  // nothing asked for
    EXPECT_FALSE(ComputeGrid(800, 600, -5, g)); // not a count at all
    EXPECT_TRUE(ComputeGrid(49, 49, 2, g));
    EXPECT_EQ(g.pieceCount, 1);
}

TEST(ComputeGridTest, HugeCountsStayWithinSixteenBitPieceNumbers) {
    Board g;
    ASSERT_TRUE(ComputeGrid(30000, 30000, 2000000000, g));
    EXPECT_LE(g.pieceCount, kMaxPieces);
    EXPECT_GE(g.cellWidth, kMinCellSide);
    EXPECT_GE(g.cellHeight, kMinCellSide);
    // An area needing more than 32768 texels finds no atlas side.
    ASSERT_TRUE(ComputeGrid(30000, 30000, 100, g));
    EXPECT_EQ(g.atlasSize, 0);
}

TEST(PlaceGridLinesTest, LinesStayInTheirBandsAndIncrease) {
    Board g;
    ASSERT_TRUE(ComputeGrid(1600, 1200, 1000, g)); // 48-pixel cells: the narrowest bands
    // Extremes first: 0 and 32767 reach both ends of the band.
    std::vector<int> values;
    for (int i = 0; i < g.columns + g.rows; ++i)
        values.push_back(i % 3 == 0 ? 0 : i % 3 == 1 ? 11 : 32767);
    ScriptedRandom script{values};
    PlaceGridLines(g, script.Source());
    const std::vector<int32_t>& cols = g.colStart;
    const std::vector<int32_t>& rows = g.rowStart;
    EXPECT_EQ(script.calls, static_cast<size_t>(g.columns - 1 + g.rows - 1));
    EXPECT_EQ(cols[0], 0);
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(cols[1], 0 + 48 - 6);
    EXPECT_EQ(cols[2], 11 + 96 - 6);
    EXPECT_EQ(cols[3], 32767 % 12 + 144 - 6);
    for (const std::vector<int32_t>* lines : {&cols, &rows})
        for (size_t i = 1; i < lines->size(); ++i) {
            EXPECT_GE((*lines)[i], int(i) * 48 - 6);
            EXPECT_LE((*lines)[i], int(i) * 48 - 6 + 11);
            EXPECT_GT((*lines)[i], (*lines)[i - 1]);
        }
    EXPECT_LT(cols[g.columns - 1], g.areaWidth);
    EXPECT_LT(rows[g.rows - 1], g.areaHeight);
}

TEST(ChooseTabSidesTest, EvenDrawGivesTheTabToThisCell) {
    ScriptedRandom script{{4, 7, 32767, 0, 1, 2, 3, 10}};
    Board b;
    b.columns = b.rows = 2;
    ChooseTabSides(b, script.Source());
    EXPECT_EQ(script.calls, 8u); // both bytes of every cell, the unused ones included
    EXPECT_EQ(b.tabMap, (std::vector<uint8_t>{1, 0, 0, 1, 0, 1, 0, 1}));
}

namespace {

// A 200 x 100 picture cut in two 100-pixel cells side by side with the line at x = 100, and the
// one right edge's four draws given.
std::vector<uint16_t> CutTwoCells(uint8_t tabByte, std::vector<int> tabDraws) {
    Board g;
    EXPECT_TRUE(ComputeGrid(200, 100, 2, g));
    EXPECT_EQ(g.columns, 2);
    EXPECT_EQ(g.rows, 1);
    g.colStart = {0, 100};
    g.rowStart = {0};
    g.tabMap = {tabByte, 0, 0, 0};
    ScriptedRandom script{std::move(tabDraws)};
    BuildOwnerMap(g, script.Source());
    EXPECT_EQ(script.calls, 4u);
    return g.ownerMap;
}

} // namespace

TEST(BuildOwnerMapTest, TabIsTheEllipseAroundFociBeyondTheEdge) {
    // R = 0 everywhere: a = 100 / 6, b = 3, shift direction +1, centre at the edge's middle
    // (0 + 99) / 2 = 49.5. The left piece owns the tab: foci at x = 100 + 0.4a, y = 49.5 ± 3;
    // the ellipse reaches x = 106.7 + √(a² − b²) ≈ 123.1 and y = 49.5 ± 16.7.
    // Then the right piece owns it, shifted up (odd draw) by the full eighth of a cell: the centre
    // moves to y = 49.5 − 12.5 = 37 and the foci to x = 100 − 0.4a. Triples: x, y, owner.
    const std::vector<uint16_t> maps[] = {CutTwoCells(1, {0, 0, 0, 0}), CutTwoCells(0, {0, 0, 1, 32767})};
    const int pixels[2][27] = {{99, 49,  0,  100, 49,  0,  123, 49,  0,  124, 49,  1,  107, 34,
                                0,  107, 31, 1,   107, 65, 0,   107, 68, 1,   100, 10, 1},
                               {93, 37, 1,  77, 37,  1,  76, 37,  0,  93, 52, 1,  93, 55,
                                0,  99, 49, 1,  100, 37, 1,  101, 37, 1,  99, 60, 0}};
    for (int owner = 0; owner < 2; ++owner)
        for (const int* p = pixels[owner]; p < pixels[owner] + 27; p += 3)
            EXPECT_EQ(maps[owner][p[1] * 200 + p[0]], p[2]) << "x " << p[0] << " y " << p[1];
}

TEST(BuildOwnerMapTest, SinglePieceHasNoLinesNoTabsAndOwnsEverything) {
    Board g;
    ASSERT_TRUE(ComputeGrid(49, 49, 4, g));
    ScriptedRandom script;
    PlaceGridLines(g, script.Source());
    script.values = {3, 3};
    ChooseTabSides(g, script.Source());
    BuildOwnerMap(g, script.Source());
    EXPECT_EQ(script.calls, 2u);
    EXPECT_EQ(g.ownerMap, std::vector<uint16_t>(49 * 49, 0));
}

TEST(BuildOwnerMapTest, EveryPixelLiesInItsOwnersExtendedRectangle) {
    struct Case {
        int width, height, count;
        unsigned seed;
    } cases[] = {{800, 600, 100, 1}, {1600, 1200, 1000, 77}, {1000, 60, 12, 5}, {60, 1000, 12, 9}};
    for (const Case& t : cases) {
        SCOPED_TRACE(testing::Message() << t.width << " x " << t.height << ", seed " << t.seed);
        Board g;
        ASSERT_TRUE(ComputeGrid(t.width, t.height, t.count, g));
        RandomSource random = WindowsRandom(t.seed);
        PlaceGridLines(g, random);
        ChooseTabSides(g, random);
        BuildOwnerMap(g, random);
        const std::vector<int32_t>&cols = g.colStart, &rows = g.rowStart;
        const std::vector<uint8_t>& tabs = g.tabMap;
        const std::vector<uint16_t>& map = g.ownerMap;

        auto tab = [&](int r, int c, int edge) { return tabs[(r * g.columns + c) * 2 + edge]; };
        int foreignPixels = 0;
        for (int y = 0; y < g.areaHeight; ++y) {
            for (int x = 0; x < g.areaWidth; ++x) {
                const int n = map[static_cast<size_t>(y) * g.areaWidth + x];
                ASSERT_LT(n, g.pieceCount);
                const int c = n % g.columns;
                const int r = n / g.columns;
                int left = cols[c], right = c + 1 < g.columns ? cols[c + 1] : g.areaWidth;
                int top = rows[r], bottom = r + 1 < g.rows ? rows[r + 1] : g.areaHeight;
                foreignPixels += x < left || x >= right || y < top || y >= bottom;
                left -= c > 0 && tab(r, c - 1, 0) == 0 ? g.cellWidth / 4 : 0;
                right += c + 1 < g.columns && tab(r, c, 0) == 1 ? g.cellWidth / 4 : 0;
                top -= r > 0 && tab(r - 1, c, 1) == 0 ? g.cellHeight / 4 : 0;
                bottom += r + 1 < g.rows && tab(r, c, 1) == 1 ? g.cellHeight / 4 : 0;
                ASSERT_TRUE(x >= left && x < right && y >= top && y < bottom)
                    << "pixel " << x << ", " << y << " of piece " << n;
            }
        }
        EXPECT_GT(foreignPixels, 0); // tabs were painted at all
    }
}

TEST(ScatterPiecesTest, PiecesStartInsideTheBoundsInNumberOrder) {
    Board g;
    ASSERT_TRUE(ComputeGrid(49, 49, 4, g));
    ScriptedRandom script{{0, 32767}};
    const std::vector<BoardPiece>& pieces = g.pieces;
    ScatterPieces(g, script.Source());
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_FLOAT_EQ(pieces[0].x, 0.0f);
    EXPECT_FLOAT_EQ(pieces[0].y, 26.5f);
    EXPECT_EQ(pieces[0].joined, 0);

    ASSERT_TRUE(ComputeGrid(800, 600, 100, g));
    g.pieces.clear();
    ScatterPieces(g, WindowsRandom(3));
    ASSERT_EQ(pieces.size(), 108u);
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].number, i);
        EXPECT_EQ(pieces[i].joined, 0);
        EXPECT_TRUE(pieces[i].x >= 0 && pieces[i].x <= 1404.0f - 66 && pieces[i].y >= 0 &&
                    pieces[i].y <= 1107.0f - 66)
            << pieces[i].x << ", " << pieces[i].y;
    }
}
