#include "game/BoardView.h"

#include "framework/Gfx.h"
#include "game/logic/AtlasTexture.h"
#include "game/logic/PlayRules.h"

namespace {

const D3DCOLOR kOpaque = 0xFFFFFFFF;
const D3DCOLOR kSeeThrough = 0x60FFFFFF;
const D3DCOLOR kShadow = 0x60000000;
const D3DCOLOR kNoShadow = 0x00000000;

} // namespace

void BoardTextures::Release() {
    ReleaseObject(thumbnail);
    ReleaseObject(puzzle);
}

void CBoardView::OnKey(uint32_t key, bool down) {
    switch (key) {
    case VK_TAB:
        m_state.keyTab = down;
        break;
    case VK_CONTROL:
        m_state.keyCtrl = down;
        break;
    case VK_LEFT:
        m_state.keyLeft = down;
        break;
    case VK_UP:
        m_state.keyUp = down;
        break;
    case VK_RIGHT:
        m_state.keyRight = down;
        break;
    case VK_DOWN:
        m_state.keyDown = down;
        break;
    default:
        break;
    }
}

void CBoardView::Step(Board& board, uint32_t elapsed, float barSlide, int cursorX, int cursorY) {
    ScrollKeys keys;
    keys.left = m_state.keyLeft;
    keys.right = m_state.keyRight;
    keys.up = m_state.keyUp;
    keys.down = m_state.keyDown;
    int h = 0, v = 0;
    ScrollDirection(keys, cursorX, cursorY, h, v);
    ScrollStep(m_state.scrollX, m_state.scrollY, h, v, elapsed, board.boardWidth, board.boardHeight,
               barSlide);

    if (m_state.dragging && !board.pieces.empty()) {
        BoardPiece& p = board.pieces.back();
        p.x =
            ClampDragCoordinate(static_cast<float>(cursorX) + m_state.scrollX - m_state.dragOffsetX,
                                board.boardWidth - static_cast<float>(board.columnWidth(board.ColumnOf(p))));
        p.y = ClampDragCoordinate(static_cast<float>(cursorY) + m_state.scrollY - m_state.dragOffsetY,
                                  board.boardHeight - static_cast<float>(board.rowHeight(board.RowOf(p))));
    }
}

void CBoardView::Grab(Board& board, float x, float y) {
    const float bx = x + m_state.scrollX;
    const float by = y + m_state.scrollY;
    const int hit = FindPieceAt(board, board.pieces, bx, by);
    if (hit < 0)
        return;
    m_state.dragOffsetX = bx - board.pieces[hit].x;
    m_state.dragOffsetY = by - board.pieces[hit].y;
    m_state.dragging = true;
    MoveToTop(board.pieces, static_cast<size_t>(hit));
}

bool CBoardView::EndDrag() {
    const bool was = m_state.dragging;
    m_state.dragging = false;
    return was;
}

// Pieces whose quad lies wholly outside the frame are not drawn: they would cover no pixel, so
// the frame is the same, and a large board stays cheap to draw.
void CBoardView::Draw(const Board& board, const BoardTextures& textures) const {
    if (ShowsPreview()) {
        DrawThumbnail(textures.thumbnail);
        return;
    }
    if (m_gfx)
        m_gfx->DrawDesktop(board.boardWidth, board.boardHeight, m_state.scrollX, m_state.scrollY);
    const size_t count = board.pieces.size();
    const size_t loose = m_state.dragging && count > 0 ? count - 1 : count;
    for (size_t i = 0; i < loose; ++i)
        DrawPiece(board, textures.puzzle, board.pieces[i], 0.0f, 0.0f, false);
    if (loose < count) {
        DrawPiece(board, textures.puzzle, board.pieces.back(), 0.0f, 0.0f, true);
        DrawPiece(board, textures.puzzle, board.pieces.back(), -3.0f, -3.0f, false);
    }
}

void CBoardView::DrawPiece(const Board& board, IDirect3DTexture9* atlas, const BoardPiece& p, float dx,
                           float dy, bool shadow) const {
    if (board.columns <= 0 || board.atlasSize <= 0)
        return;
    const PieceQuad q = ComputePieceQuad(board, p, dx, dy, m_state.scrollX, m_state.scrollY);
    if (!QuadTouchesView(q))
        return;
    const bool seeThrough = m_state.keyCtrl || m_state.seeThroughToggle;
    D3DCOLOR colour;
    if (shadow)
        colour = seeThrough ? kNoShadow : kShadow;
    else
        colour = seeThrough ? kSeeThrough : kOpaque;
    ScreenVertex v[4];
    MakeQuad(v, q.x0, q.y0, q.x1, q.y1, colour, AtlasU(board, q.s0), AtlasV(board, q.t0), AtlasU(board, q.s1),
             AtlasV(board, q.t1));
    SetModulateStage(m_device, atlas, shadow ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE);
    DrawQuad(m_device, v);
}

void CBoardView::DrawThumbnail(IDirect3DTexture9* thumbnail) const {
    ScreenVertex v[4];
    MakeQuad(v, 144.0f, 44.0f, 656.0f, 556.0f, kOpaque, 0.0f, 0.0f, 1.0f, 1.0f);
    SetModulateStage(m_device, thumbnail);
    DrawQuad(m_device, v);
}
