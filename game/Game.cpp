#include "game/Game.h"

#include "framework/Gfx.h"
#include "game/BarDraw.h"
#include "game/logic/GzipWriter.h"
#include "game/logic/SaveAhead.h"
#include "game/logic/PlayRules.h"

namespace {

const uint32_t kFlashLength = 3000;

template <typename T> void Free(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

} // namespace

CGame::CGame(HWND window, IDirect3DDevice9* device, CGfx* gfx)
    : CScene(window, device, gfx), m_view(device, gfx) {}

CGame::~CGame() {
    m_panel.reset();
    // The application releases resources before deleting a screen; this only catches a screen
    // torn down without that step.
    DeleteResources();
}

void CGame::SetStartRequest(const StartRequest& request) {
    m_mode = request.kind;
    m_path = request.path;
    m_requestedCount = request.pieceCount;
}

void CGame::CreateResources() {
    // What saves cut off by a kill left in the folder where saves go.
    RemoveStaleTemporaryFiles(".");
    if (m_mode == START_NEW)
        NewGame();
    else if (m_mode == START_OPEN)
        LoadGame();
    m_bar.shownCount = m_board.pieceCount;
}

void CGame::DeleteResources() {
    m_saveAhead.reset(); // it reads the maps freed below
    Free(m_board.tabMap);
    Free(m_board.ownerMap);
    Free(m_board.colStart);
    Free(m_board.rowStart);
    m_textures.Release();
}

void CGame::Update(uint32_t now, uint32_t elapsed) {
    if (m_flashStart != 0) {
        const uint32_t d = now - m_flashStart;
        const bool over = d > kFlashLength;
        if (m_device) {
            D3DGAMMARAMP ramp;
            if (over)
                FillIdentityRamp(ramp.red, ramp.green, ramp.blue);
            else
                FillFlashRamp(d, ramp.red, ramp.green, ramp.blue);
            m_device->SetGammaRamp(0, over ? D3DSGR_CALIBRATE : D3DSGR_NO_CALIBRATION, &ramp);
        }
        if (over)
            m_flashStart = 0;
    }

    SaveAheadStep();
    m_bar.Update(now, elapsed);
    if (m_bar.TakeClick(BAR_RAISE))
        RaiseLoosePieces(m_board.pieces, m_view.Dragging());
    m_view.State().seeThroughToggle = m_bar.buttons[BAR_SEE_THROUGH].pressed;
    m_view.State().previewToggle = m_bar.buttons[BAR_PREVIEW].pressed;
    if (m_bar.TakeClick(BAR_SAVE))
        ShowSaveNotice(SaveGame());
    if (m_bar.TakeClick(BAR_QUIT))
        AskQuit();

    if (m_panel) {
        if (m_panel->kind == PANEL_QUESTION && m_panel->TakeClick(0))
            m_quitRequested = true;
        else if (m_panel->TakeClick(m_panel->kind == PANEL_QUESTION ? 1 : 0))
            m_panel.reset();
        return;
    }

    if (!m_solved)
        m_board.playTime = AdvancePlayClock(m_board.playTime, elapsed);
    m_view.Step(m_board, elapsed, m_bar.slide, m_cursorX, m_cursorY);
}

void CGame::OnKeyDown(uint32_t key) {
    if (m_panel) {
        m_panel->OnKeyDown(key);
        return;
    }
    switch (key) {
    case VK_SPACE:
        m_bar.ToggleVisible();
        break;
    case VK_ESCAPE:
        AskQuit();
        break;
    case VK_SHIFT:
        RaiseLoosePieces(m_board.pieces, m_view.Dragging());
        break;
    default:
        m_view.OnKey(key, true);
        break;
    }
}

void CGame::OnKeyUp(uint32_t key) {
    if (!m_panel)
        m_view.OnKey(key, false);
}

CGame::Target CGame::Route(Mouse event, float x, float y) {
    if (m_panel) {
        if (event == Mouse::Move)
            m_panel->OnMouseMove(x, y);
        else if (event == Mouse::Down)
            m_panel->OnMouseDown(x, y);
        else
            m_panel->OnMouseUp(x, y);
        return Target::Panel;
    }
    bool inBar = true;
    if (event == Mouse::Move)
        m_bar.OnMouseMove(x, y);
    else if (event == Mouse::Down)
        inBar = m_bar.OnMouseDown(x, y);
    else
        inBar = m_bar.OnMouseUp(x, y);
    return inBar || m_view.ShowsPreview() ? Target::Bar : Target::Board;
}

void CGame::OnMouseMove(uint32_t x, uint32_t y) {
    Route(Mouse::Move, static_cast<float>(x), static_cast<float>(y));
}

void CGame::OnMouseDown(uint32_t x, uint32_t y, int button) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    if (Route(Mouse::Down, fx, fy) != Target::Board || button != 0 || m_solved || m_board.pieces.empty() ||
        m_board.columns <= 0)
        return;
    m_view.Grab(m_board, fx, fy);
}

// A left release outside the window ends a drag whatever else it reaches (bar, preview, panel):
// the piece is dropped where it was last shown, never left in hand.
void CGame::OnMouseUp(uint32_t x, uint32_t y, int button) {
    const bool board = Route(Mouse::Up, static_cast<float>(x), static_cast<float>(y)) == Target::Board;
    if (!(board || OutsideFrame(x, y)) || button != 0 || !m_view.EndDrag() || m_board.pieces.empty())
        return;
    std::vector<BoardPiece>& pieces = m_board.pieces;
    const int d = FindSnapTarget(m_board, pieces);
    if (d < 0) {
        pieces.back().joined = 0;
        return;
    }
    pieces.back().joined = 1;
    pieces[d].joined = 1;
    MoveToBottom(pieces, static_cast<size_t>(d));
    MoveToBottom(pieces, pieces.size() - 1);
    if (::IsSolved(m_board, pieces)) {
        m_solved = true;
        m_flashStart = GetTickCount();
    }
}

int CGame::GetNextScreen() {
    return m_quitRequested ? SCREEN_QUIT : SCREEN_STAY;
}

// A panel already shown (a save notice made in the same frame step) is replaced.
void CGame::AskQuit() {
    m_panel = std::make_unique<MessagePanel>(PANEL_QUESTION, "Czy na pewno chcesz wyjść?");
}

D3DCOLOR CGame::GetClearColor() {
    return m_view.ShowsPreview() ? 0xFFFFFFFF : 0xFF000000;
}

void CGame::Render() {
    m_view.Draw(m_board, m_textures);
    m_bar.shownTime = m_board.playTime;
    DrawBar(m_device, m_gfx, m_bar);
    if (m_panel)
        DrawPanel(m_device, m_gfx, *m_panel);
    if (m_gfx)
        m_gfx->DrawCursor(m_cursorX, m_cursorY);
}
