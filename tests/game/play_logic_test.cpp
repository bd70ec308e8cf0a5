// The rules of play on a hand-made 3 x 2 board: cells 100 x 80 (the last column 110 wide),
// piece 0 owning a tab that reaches 20 pixels into piece 1's cell.
#include "game/logic/PlayRules.h"
#include "tests/game/TestBoard.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TestBoard {
    Board grid;

    TestBoard() : grid(ThreeByTwoBoard()) {
        std::vector<uint16_t>& owner = grid.ownerMap;
        // Piece 0's tab: x 100..119, y 30..49 of piece 1's cell.
        for (int y = 30; y < 50; ++y)
            for (int x = 100; x < 120; ++x)
                owner[y * 310 + x] = 0;
        grid.tabMap[0] = 1; // cell (0,0) owns its right edge's tab
    }
};

BoardPiece Piece(uint16_t number, float x, float y, uint8_t joined = 0) {
    return BoardPiece{x, y, number, joined, 0};
}

std::vector<int> Numbers(const std::vector<BoardPiece>& pieces) {
    std::vector<int> out;
    for (const BoardPiece& p : pieces)
        out.push_back(p.number);
    return out;
}

TEST(PlayRulesTest, HitTestUsesTheOwnershipMapNotTheBoundingBox) {
    TestBoard b;
    BoardPiece p0 = Piece(0, 1000, 500);
    BoardPiece p1 = Piece(1, 2000, 500);
    EXPECT_TRUE(HitTestPiece(b.grid, 1000, 500, p0));
    EXPECT_TRUE(HitTestPiece(b.grid, 1000 + 110, 500 + 40, p0)) << "its tab, outside its cell";
    EXPECT_FALSE(HitTestPiece(b.grid, 1000 + 130, 500 + 40, p0));
    EXPECT_FALSE(HitTestPiece(b.grid, 2000 + 5, 500 + 40, p1)) << "the cut-away part of its cell";
    EXPECT_TRUE(HitTestPiece(b.grid, 2000 + 25, 500 + 40, p1));
    // Offsets are truncated toward zero: half a pixel left of piece 1's corner is still column 100.
    EXPECT_TRUE(HitTestPiece(b.grid, 2000 - 0.5f, 500, p1));
    EXPECT_FALSE(HitTestPiece(b.grid, 999, 500, p0)) << "left of the puzzle area";
    EXPECT_FALSE(HitTestPiece(b.grid, 1000 + 400, 500, p0));
    EXPECT_FALSE(HitTestPiece(b.grid, 1e30f, 500, p0));
}

TEST(PlayRulesTest, PressOnATransparentCornerPicksThePieceBelow) {
    TestBoard b;
    // Piece 1 lies on top; the point is in its cell but on piece 0's tab pixels, so it belongs to
    // piece 0's shape. Underneath, piece 3 covers the point with its own pixels.
    std::vector<BoardPiece> pieces{Piece(3, 500, 300), Piece(1, 500, 300)};
    EXPECT_EQ(FindPieceAt(b.grid, pieces, 505, 340), 0);
    std::vector<BoardPiece> alone{Piece(1, 500, 300)};
    EXPECT_EQ(FindPieceAt(b.grid, alone, 505, 340), -1);
    // The topmost of two overlapping pieces wins.
    std::vector<BoardPiece> stacked{Piece(4, 500, 300), Piece(3, 500, 300)};
    EXPECT_EQ(FindPieceAt(b.grid, stacked, 550, 340), 1);
}

TEST(PlayRulesTest, MovesKeepTheOrderOfTheOthers) {
    std::vector<BoardPiece> pieces{Piece(0, 0, 0), Piece(1, 0, 0), Piece(2, 0, 0), Piece(3, 0, 0)};
    MoveToTop(pieces, 1);
    EXPECT_EQ(Numbers(pieces), (std::vector<int>{0, 2, 3, 1}));
    MoveToBottom(pieces, 2);
    EXPECT_EQ(Numbers(pieces), (std::vector<int>{3, 0, 2, 1}));
}

TEST(PlayRulesTest, SnapToleranceIsEightPixelsInclusiveOnBothAxes) {
    TestBoard b;
    struct Case {
        float dx, dy;
        bool snaps;
    } cases[] = {{8, 8, true}, {-8, -8, true}, {8.5f, 0, false}, {0, 8.5f, false}, {-8.5f, 0, false}};
    for (const Case& c : cases) {
        std::vector<BoardPiece> pieces{Piece(0, 300, 200), Piece(1, 300 + 100 + c.dx, 200 + c.dy)};
        int target = FindSnapTarget(b.grid, pieces);
        if (c.snaps) {
            EXPECT_EQ(target, 0) << c.dx << "," << c.dy;
            EXPECT_EQ(std::pair(pieces[1].x, pieces[1].y), std::pair(400.0f, 200.0f));
        } else {
            EXPECT_EQ(target, -1) << c.dx << "," << c.dy;
            EXPECT_EQ(pieces[1].x, 400.0f + c.dx) << "a piece that does not snap stays where dropped";
        }
    }
}

TEST(PlayRulesTest, OnlyTheFourGridNeighboursSnap) {
    TestBoard b;
    // Left neighbour: piece 2 (column 2) dropped right of piece 1, using piece 1's width.
    std::vector<BoardPiece> right{Piece(2, 0, 0), Piece(1, 0 - 100 + 3, 2)};
    EXPECT_EQ(FindSnapTarget(b.grid, right), 0);
    EXPECT_EQ(right[1].x, -100.0f);
    // Above / below, using the upper row's height.
    std::vector<BoardPiece> below{Piece(1, 50, 50), Piece(4, 55, 50 + 80 - 4)};
    EXPECT_EQ(FindSnapTarget(b.grid, below), 0);
    EXPECT_EQ(std::pair(below[1].x, below[1].y), std::pair(50.0f, 130.0f));
    std::vector<BoardPiece> above{Piece(4, 50, 130), Piece(1, 50, 50)};
    EXPECT_EQ(FindSnapTarget(b.grid, above), 0);
    // Diagonal neighbour, exactly in place: never.
    std::vector<BoardPiece> diagonal{Piece(0, 0, 0), Piece(4, 100, 80)};
    EXPECT_EQ(FindSnapTarget(b.grid, diagonal), -1);
    // Same row but two columns apart: never.
    std::vector<BoardPiece> distant{Piece(0, 0, 0), Piece(2, 200, 0)};
    EXPECT_EQ(FindSnapTarget(b.grid, distant), -1);
    // A left neighbour is measured with its own column's width.
    std::vector<BoardPiece> wide{Piece(5, 200, 80), Piece(4, 100, 80)};
    EXPECT_EQ(FindSnapTarget(b.grid, wide), 0);
}

TEST(PlayRulesTest, FirstQualifyingNeighbourFromTheBottomWins) {
    TestBoard b;
    // Piece 1 fits both piece 0 (left) and piece 2 (right) within tolerance; piece 2 is lower.
    std::vector<BoardPiece> pieces{Piece(2, 205, 0), Piece(0, 0, 3), Piece(1, 102, 1)};
    EXPECT_EQ(FindSnapTarget(b.grid, pieces), 0);
    EXPECT_EQ(std::pair(pieces[2].x, pieces[2].y), std::pair(105.0f, 0.0f));
}

TEST(PlayRulesTest, SolvedMeasuresEveryPieceAgainstPieceZeroStrictlyUnderEight) {
    TestBoard b;
    auto layout = [](float off) {
        return std::vector<BoardPiece>{Piece(5, 700 + 200, 400 + 80),
                                       Piece(1, 700 + 100, 400),
                                       Piece(0, 700, 400),
                                       Piece(2, 700 + 200, 400),
                                       Piece(3, 700, 400 + 80 + off),
                                       Piece(4, 700 + 100 - off, 400 + 80)};
    };
    EXPECT_TRUE(IsSolved(b.grid, layout(0)));
    EXPECT_TRUE(IsSolved(b.grid, layout(7.9f)));
    EXPECT_FALSE(IsSolved(b.grid, layout(8.0f)));
    EXPECT_FALSE(IsSolved(b.grid, {}));
    EXPECT_FALSE(IsSolved(b.grid, {Piece(1, 0, 0), Piece(2, 100, 0)})) << "no piece 0";
}

TEST(PlayRulesTest, RaiseLoosePiecesReversesTheLooseOnesAboveTheJoined) {
    std::vector<BoardPiece> pieces{Piece(0, 0, 0, 1), Piece(1, 0, 0), Piece(2, 0, 0, 1),
                                   Piece(3, 0, 0),    Piece(4, 0, 0), Piece(5, 0, 0)};
    std::vector<BoardPiece> idle = pieces;
    RaiseLoosePieces(idle, false);
    EXPECT_EQ(Numbers(idle), (std::vector<int>{0, 2, 5, 4, 3, 1}));
    RaiseLoosePieces(idle, false);
    EXPECT_EQ(Numbers(idle), (std::vector<int>{0, 2, 1, 3, 4, 5})) << "a second press reverses again";

    std::vector<BoardPiece> dragged = pieces;
    RaiseLoosePieces(dragged, true);
    EXPECT_EQ(Numbers(dragged), (std::vector<int>{0, 2, 4, 3, 1, 5})) << "the dragged piece stays on top";

    std::vector<BoardPiece> empty;
    RaiseLoosePieces(empty, true);
    EXPECT_TRUE(empty.empty());
}

TEST(PlayRulesTest, ScrollingAtTheEdgesAndClamping) {
    int h, v;
    struct Edge {
        int x, y, h, v;
    } edges[] = {{3, 300, -1, 0}, {4, 300, 0, 0},   {797, 300, 0, 0}, {798, 300, 1, 0}, {400, 3, 0, -1},
                 {400, 4, 0, 0},  {400, 597, 0, 0}, {400, 598, 0, 1}, {0, 599, -1, 1}};
    for (const Edge& e : edges) {
        ScrollDirection({}, e.x, e.y, h, v);
        EXPECT_EQ(std::pair(h, v), std::pair(e.h, e.v)) << e.x << "," << e.y;
    }
    ScrollKeys both;
    both.left = both.right = true;
    ScrollDirection(both, 400, 300, h, v);
    EXPECT_EQ(h, 0) << "left and right cancel";

    // The step of 1000 pixels a second both ways and the range a hidden bar shortens are
    // PlayTest.ScrollingByCursorAndKeysWithinTheBoardAndBar's.
    float sx, sy;
    ClampScroll(sx = 9000, sy = 9000, 2000, 1500, 60);
    EXPECT_EQ(std::pair(sx, sy), std::pair(1200.0f, 960.0f));
    ClampScroll(sx = -5, sy = 9000, 700, 500, 60);
    EXPECT_EQ(std::pair(sx, sy), std::pair(0.0f, 0.0f)) << "a small board does not scroll";
}

TEST(PlayRulesTest, DragBoundsClockAndFlash) {
    EXPECT_EQ(ClampDragCoordinate(-3, 500), 0.0f);
    EXPECT_EQ(ClampDragCoordinate(600, 500), 500.0f);
    EXPECT_EQ(ClampDragCoordinate(5, -20), 0.0f) << "upper bound first, then zero";

    EXPECT_EQ(AdvancePlayClock(10, 5000), 1010u);
    EXPECT_EQ(AdvancePlayClock(10, 16), 26u);

    uint16_t r[256], g[256], bl[256];
    FillFlashRamp(0, r, g, bl);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(g[255], 0xFFFF);
    FillFlashRamp(1000, r, g, bl); // k = trunc(-256 / 3) = -85
    EXPECT_EQ(r[0], 85 * 257);
    EXPECT_EQ(bl[170], 255 * 257);
    EXPECT_EQ(bl[171], 0);
    FillIdentityRamp(r, g, bl);
    EXPECT_EQ(r[1], 257);
    EXPECT_EQ(bl[200], 200 * 257);
}

TEST(PlayRulesTest, PieceQuadWidensOnlyWhereThePieceOwnsTheTab) {
    TestBoard b;
    b.grid.tabMap[1] = 1; // cell (0,0) owns its bottom tab too
    // Piece 1: its left neighbour owns the edge, so it is not widened left; right edge byte 0.
    PieceQuad q1 = ComputePieceQuad(b.grid, Piece(1, 10, 20), 0, 0, 0, 0);
    EXPECT_EQ(q1.x0, 10.0f);
    EXPECT_EQ(q1.s0, 25 + 100 + 1) << "atlas shift of a quarter cell per column";
    // Piece 2 (last column, 110 wide): its left edge byte (cell 1's right) is 0, so it owns the tab.
    PieceQuad q2 = ComputePieceQuad(b.grid, Piece(2, 10, 20), -3, -3, 5, 7);
    EXPECT_EQ((std::vector<float>{q2.x0, q2.x1, q2.y0}),
              (std::vector<float>{10.0f - 3 - 25 - 5, 10.0f - 3 + 109 - 5, 20.0f - 3 - 7}));
    EXPECT_EQ(q2.s0, 2 * 25 + 200 + 1 - 25);
    EXPECT_EQ(q2.s1, 2 * 25 + 200 + 1 + 108);
    // Piece 3 (row 1): top edge owned by piece 0 above (its bottom byte is 1): not widened.
    PieceQuad q3 = ComputePieceQuad(b.grid, Piece(3, 0, 0), 0, 0, 0, 0);
    EXPECT_EQ(q3.y0, 0.0f);
    EXPECT_EQ(q3.t0, 20 + 80 + 1);
    EXPECT_TRUE(QuadTouchesView(q3));
    EXPECT_FALSE(QuadTouchesView(ComputePieceQuad(b.grid, Piece(3, 0, 0), 0, 0, 200, 0)));
    EXPECT_FALSE(QuadTouchesView(ComputePieceQuad(b.grid, Piece(3, 801, 0), 0, 0, 0, 0)));
}

} // namespace
