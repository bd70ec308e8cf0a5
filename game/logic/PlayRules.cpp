#include "game/logic/PlayRules.h"

#include <algorithm>
#include <cmath>

bool HitTestPiece(const Board& grid, float bx, float by, const BoardPiece& p) {
    float fx = bx - p.x;
    float fy = by - p.y;
    // Offsets this far out cannot land in the area whatever the cell start; rejecting them first
    // also keeps the truncation below within int range.
    if (!(fx > -static_cast<float>(grid.areaWidth) - 1.0f && fx < static_cast<float>(grid.areaWidth)))
        return false;
    if (!(fy > -static_cast<float>(grid.areaHeight) - 1.0f && fy < static_cast<float>(grid.areaHeight)))
        return false;
    int px = static_cast<int>(fx) + grid.colStart[grid.ColumnOf(p)];
    int py = static_cast<int>(fy) + grid.rowStart[grid.RowOf(p)];
    if (px < 0 || py < 0 || px >= grid.areaWidth || py >= grid.areaHeight)
        return false;
    return grid.ownerMap[static_cast<size_t>(py) * grid.areaWidth + px] == p.number;
}

int FindPieceAt(const Board& grid, const std::vector<BoardPiece>& pieces, float bx, float by) {
    for (size_t i = pieces.size(); i-- > 0;) {
        if (HitTestPiece(grid, bx, by, pieces[i]))
            return static_cast<int>(i);
    }
    return -1;
}

void MoveToTop(std::vector<BoardPiece>& pieces, size_t index) {
    if (index >= pieces.size())
        return;
    std::rotate(pieces.begin() + index, pieces.begin() + index + 1, pieces.end());
}

void MoveToBottom(std::vector<BoardPiece>& pieces, size_t index) {
    if (index >= pieces.size())
        return;
    std::rotate(pieces.begin(), pieces.begin() + index, pieces.begin() + index + 1);
}

namespace {

// Along one axis, where D (index iD, cell size sizeD) follows or precedes Q (iQ, sizeQ): turns
// delta, D's position less Q's, into how far D lies off its place beside Q. False when the two
// are not next to each other on this axis.
bool OffFromNeighbour(int iD, int iQ, int sizeQ, int sizeD, float& delta) {
    if (iD == iQ + 1)
        delta -= static_cast<float>(sizeQ);
    else if (iD == iQ - 1)
        delta += static_cast<float>(sizeD);
    else
        return false;
    return true;
}

} // namespace

int FindSnapTarget(const Board& grid, std::vector<BoardPiece>& pieces) {
    if (pieces.empty())
        return -1;
    BoardPiece& d = pieces.back();
    const int cD = grid.ColumnOf(d);
    const int rD = grid.RowOf(d);
    const size_t below = pieces.size() - 1;
    for (size_t i = 0; i < below; ++i) {
        const BoardPiece& q = pieces[i];
        const int cQ = grid.ColumnOf(q);
        const int rQ = grid.RowOf(q);
        float dx = d.x - q.x;
        float dy = d.y - q.y;
        const bool beside = rD == rQ
                                ? OffFromNeighbour(cD, cQ, grid.columnWidth(cQ), grid.columnWidth(cD), dx)
                            : cD == cQ ? OffFromNeighbour(rD, rQ, grid.rowHeight(rQ), grid.rowHeight(rD), dy)
                                       : false;
        if (!beside)
            continue;
        if (dx >= -8.0f && dx <= 8.0f && dy >= -8.0f && dy <= 8.0f) {
            d.x -= dx;
            d.y -= dy;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsSolved(const Board& grid, const std::vector<BoardPiece>& pieces) {
    auto first =
        std::find_if(pieces.begin(), pieces.end(), [](const BoardPiece& p) { return p.number == 0; });
    if (first == pieces.end())
        return false;
    const float x0 = first->x;
    const float y0 = first->y;
    for (const BoardPiece& p : pieces) {
        if (p.number == 0)
            continue;
        float wantX = x0 + static_cast<float>(grid.colStart[grid.ColumnOf(p)]);
        float wantY = y0 + static_cast<float>(grid.rowStart[grid.RowOf(p)]);
        if (!(std::fabs(p.x - wantX) < 8.0f && std::fabs(p.y - wantY) < 8.0f))
            return false;
    }
    return true;
}

void RaiseLoosePieces(std::vector<BoardPiece>& pieces, bool dragging) {
    auto end = pieces.end();
    if (dragging && !pieces.empty())
        --end;
    auto loose =
        std::stable_partition(pieces.begin(), end, [](const BoardPiece& p) { return p.joined != 0; });
    std::reverse(loose, end);
}

void ClampScroll(float& scrollX, float& scrollY, float boardWidth, float boardHeight, float slide) {
    scrollX = std::min(scrollX, boardWidth - 800.0f);
    if (!(scrollX > 0.0f))
        scrollX = 0.0f;
    scrollY = std::min(scrollY, boardHeight + slide - 600.0f);
    if (!(scrollY > 0.0f))
        scrollY = 0.0f;
}

void ScrollDirection(const ScrollKeys& keys, int cursorX, int cursorY, int& h, int& v) {
    h = 0;
    v = 0;
    if (keys.left || cursorX <= 3)
        h = -1;
    if (keys.up || cursorY <= 3)
        v = -1;
    if (keys.right || cursorX > 797)
        h += 1;
    if (keys.down || cursorY > 597)
        v += 1;
}

void ScrollStep(float& scrollX, float& scrollY, int h, int v, uint32_t elapsed, float boardWidth,
                float boardHeight, float slide) {
    // In float: a negative direction times an unsigned elapsed must not wrap.
    scrollX += static_cast<float>(h) * static_cast<float>(elapsed);
    scrollY += static_cast<float>(v) * static_cast<float>(elapsed);
    ClampScroll(scrollX, scrollY, boardWidth, boardHeight, slide);
}

float ClampDragCoordinate(float value, float limit) {
    value = std::min(value, limit);
    if (value < 0.0f)
        value = 0.0f;
    return value;
}

uint64_t AdvancePlayClock(uint64_t playTime, uint32_t elapsed) {
    return playTime + std::min<uint32_t>(elapsed, 1000);
}

void FillFlashRamp(uint32_t d, uint16_t red[256], uint16_t green[256], uint16_t blue[256]) {
    const float t = static_cast<float>(d) * 0.00033333333f;
    const int k = static_cast<int>(-256.0f * t);
    for (int i = 0; i < 256; ++i) {
        const uint16_t entry = static_cast<uint16_t>(((i - k) & 255) * 257);
        red[i] = green[i] = blue[i] = entry;
    }
}

void FillIdentityRamp(uint16_t red[256], uint16_t green[256], uint16_t blue[256]) {
    for (int i = 0; i < 256; ++i)
        red[i] = green[i] = blue[i] = static_cast<uint16_t>(i * 257);
}

PieceQuad ComputePieceQuad(const Board& grid, const BoardPiece& p, float dx, float dy, float scrollX,
                           float scrollY) {
    const int c = grid.ColumnOf(p);
    const int r = grid.RowOf(p);
    const int cw = grid.columnWidth(c);
    const int rh = grid.rowHeight(r);
    const int tw = TabMargin(grid.cellWidth);
    const int th = TabMargin(grid.cellHeight);

    PieceQuad q;
    q.x0 = p.x + dx;
    q.y0 = p.y + dy;
    q.x1 = q.x0 + static_cast<float>(cw) - 1.0f;
    q.y1 = q.y0 + static_cast<float>(rh) - 1.0f;
    q.s0 = c * tw + grid.colStart[c] + 1;
    q.t0 = r * th + grid.rowStart[r] + 1;
    q.s1 = q.s0 + cw - 2;
    q.t1 = q.t0 + rh - 2;

    const uint8_t* cell = grid.tabMap.data() + (static_cast<size_t>(r) * grid.columns + c) * 2;
    if (c > 0 && cell[-2] == 0) {
        q.x0 -= static_cast<float>(tw);
        q.s0 -= tw;
    }
    if (r > 0 && grid.tabMap[(static_cast<size_t>(r - 1) * grid.columns + c) * 2 + 1] == 0) {
        q.y0 -= static_cast<float>(th);
        q.t0 -= th;
    }
    if (c < grid.columns - 1 && cell[0] == 1) {
        q.x1 += static_cast<float>(tw);
        q.s1 += tw;
    }
    if (r < grid.rows - 1 && cell[1] == 1) {
        q.y1 += static_cast<float>(th);
        q.t1 += th;
    }
    q.x0 -= scrollX;
    q.x1 -= scrollX;
    q.y0 -= scrollY;
    q.y1 -= scrollY;
    return q;
}
