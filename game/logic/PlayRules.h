// The rules of play over plain board data: hit test on the ownership map, stacking order,
// snapping, the solved test, raising loose pieces, scrolling and dragging bounds, the play
// clock, the flash ramp and the geometry of a piece quad. No device, no window.
#pragma once

#include "game/logic/Board.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Whether board point (bx, by) falls on one of p's own pixels (tabs included, the parts of its
// cell that belong to neighbours excluded). False outside the puzzle area.
bool HitTestPiece(const Board& grid, float bx, float by, const BoardPiece& p);

// Index of the topmost piece hit at board point (bx, by), testing from the last element down;
// -1 when none is hit.
int FindPieceAt(const Board& grid, const std::vector<BoardPiece>& pieces, float bx, float by);

// Move one element to the end / the front; the other elements keep their order.
void MoveToTop(std::vector<BoardPiece>& pieces, size_t index);
void MoveToBottom(std::vector<BoardPiece>& pieces, size_t index);

// Snap test for the last element D: the first grid neighbour of D from the front of the list
// that lies within 8 pixels (inclusive, both axes) of its place beside D. On success D is moved
// exactly into place and the neighbour's index is returned; otherwise -1 and D is untouched.
int FindSnapTarget(const Board& grid, std::vector<BoardPiece>& pieces);

// Every piece lies less than 8 pixels (both axes) off its place relative to piece 0. An empty
// list or one without piece 0 is not solved.
bool IsSolved(const Board& grid, const std::vector<BoardPiece>& pieces);

// Joined pieces stay at the front in their order; loose pieces follow in reverse order; while
// dragging, the last element is left out of the shuffle and stays last.
void RaiseLoosePieces(std::vector<BoardPiece>& pieces, bool dragging);

// Keeps the 800 x 600 view inside the board; the shown bar (slide) lengthens the vertical range.
// A board smaller than the view does not scroll.
void ClampScroll(float& scrollX, float& scrollY, float boardWidth, float boardHeight, float slide);

struct ScrollKeys {
    bool left = false, right = false, up = false, down = false;
};

// Scroll direction from held arrows and the cursor against a screen edge (x <= 3 or > 797,
// y <= 3 or > 597): -1, 0 or +1 on each axis.
void ScrollDirection(const ScrollKeys& keys, int cursorX, int cursorY, int& h, int& v);

// One board pixel per millisecond in each direction held, then clamped.
void ScrollStep(float& scrollX, float& scrollY, int h, int v, uint32_t elapsed, float boardWidth,
                float boardHeight, float slide);

// A dragged piece's coordinate: at most limit (board size minus the cell size), then at least 0.
float ClampDragCoordinate(float value, float limit);

// The play clock adds at most one second a frame.
uint64_t AdvancePlayClock(uint64_t playTime, uint32_t elapsed);

// Gamma ramp entries (3 x 256, red, green, blue) of the colour cycle at d milliseconds into the
// flash (d <= 3000), and the identity ramp.
void FillFlashRamp(uint32_t d, uint16_t red[256], uint16_t green[256], uint16_t blue[256]);
void FillIdentityRamp(uint16_t red[256], uint16_t green[256], uint16_t blue[256]);

// Screen rectangle (x0..x1, y0..y1) and atlas texels (s0..s1, t0..t1) of a piece quad, already
// widened on the sides whose tab the piece owns and shifted by the scroll offset.
struct PieceQuad {
    float x0, y0, x1, y1;
    int s0, t0, s1, t1;
};
PieceQuad ComputePieceQuad(const Board& grid, const BoardPiece& p, float dx, float dy, float scrollX,
                           float scrollY);

// Whether a mouse point (client pixels read as unsigned) lies outside the 800 x 600 frame: only a
// release can, that of a drag which left the window.
inline bool OutsideFrame(uint32_t x, uint32_t y) {
    return x >= 800 || y >= 600;
}

// Whether any part of the quad can reach the 800 x 600 frame.
inline bool QuadTouchesView(const PieceQuad& q) {
    return q.x1 >= 0.0f && q.x0 <= 800.0f && q.y1 >= 0.0f && q.y0 <= 600.0f;
}
