#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/PlayGrid.h"

namespace {

const uint32_t kFlashLength = 3000;

void SetFlashRamp(bool identity, uint32_t d) {
    if (!g_pDevice)
        return;
    D3DGAMMARAMP ramp;
    if (identity)
        FillIdentityRamp(ramp.red, ramp.green, ramp.blue);
    else
        FillFlashRamp(d, ramp.red, ramp.green, ramp.blue);
    g_pDevice->SetGammaRamp(0, identity ? D3DSGR_CALIBRATE : D3DSGR_NO_CALIBRATION, &ramp);
}

} // namespace

void CGame::Update(uint32_t now, uint32_t elapsed) {
    if (flashStart != 0) {
        uint32_t d = now - flashStart;
        if (d > kFlashLength) {
            SetFlashRamp(true, 0);
            flashStart = 0;
        } else {
            SetFlashRamp(false, d);
        }
    }

    buttonBar.Update(now, elapsed);
    if (buttonBar.TakeClick(0))
        RaiseLoosePieces();
    seeThroughToggle = buttonBar.buttons[1].pressed;
    previewToggle = buttonBar.buttons[2].pressed;
    if (buttonBar.TakeClick(3))
        SaveGame();
    if (buttonBar.TakeClick(4))
        AskQuit();

    if (messagePanel) {
        if (messagePanel->kind == PANEL_QUESTION) {
            if (messagePanel->TakeClick(0)) {
                quitRequested = true;
            } else if (messagePanel->TakeClick(1)) {
                delete messagePanel;
                messagePanel = nullptr;
            }
        } else if (messagePanel->TakeClick(0)) {
            delete messagePanel;
            messagePanel = nullptr;
        }
        return;
    }

    if (!solved)
        playTime = AdvancePlayClock(playTime, elapsed);

    ScrollKeys keys;
    keys.left = keyLeft;
    keys.right = keyRight;
    keys.up = keyUp;
    keys.down = keyDown;
    int h = 0, v = 0;
    ScrollDirection(keys, g_cursorX, g_cursorY, h, v);
    ScrollStep(scrollX, scrollY, h, v, elapsed, boardWidth, boardHeight, buttonBar.slide);

    if (dragging && !pieces.empty()) {
        BoardPiece& p = pieces.back();
        const int c = p.number % columns;
        const int r = p.number / columns;
        p.x = ClampDragCoordinate(static_cast<float>(g_cursorX) + scrollX - dragOffsetX,
                                  boardWidth - static_cast<float>(columnWidth(c)));
        p.y = ClampDragCoordinate(static_cast<float>(g_cursorY) + scrollY - dragOffsetY,
                                  boardHeight - static_cast<float>(rowHeight(r)));
    }
}

void CGame::OnKeyDown(uint32_t key) {
    if (messagePanel) {
        messagePanel->OnKeyDown(key);
        return;
    }
    switch (key) {
    case VK_SPACE:
        buttonBar.ToggleVisible();
        break;
    case VK_ESCAPE:
        AskQuit();
        break;
    case VK_TAB:
        keyTab = true;
        break;
    case VK_SHIFT:
        RaiseLoosePieces();
        break;
    case VK_CONTROL:
        keyCtrl = true;
        break;
    case VK_LEFT:
        keyLeft = true;
        break;
    case VK_UP:
        keyUp = true;
        break;
    case VK_RIGHT:
        keyRight = true;
        break;
    case VK_DOWN:
        keyDown = true;
        break;
    default:
        break;
    }
}

void CGame::OnKeyUp(uint32_t key) {
    if (messagePanel)
        return;
    switch (key) {
    case VK_TAB:
        keyTab = false;
        break;
    case VK_CONTROL:
        keyCtrl = false;
        break;
    case VK_LEFT:
        keyLeft = false;
        break;
    case VK_UP:
        keyUp = false;
        break;
    case VK_RIGHT:
        keyRight = false;
        break;
    case VK_DOWN:
        keyDown = false;
        break;
    default:
        break;
    }
}

void CGame::OnMouseMove(uint32_t x, uint32_t y) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    if (messagePanel)
        messagePanel->OnMouseMove(fx, fy);
    else
        buttonBar.OnMouseMove(fx, fy);
}

void CGame::OnMouseDown(uint32_t x, uint32_t y, int button) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    if (messagePanel) {
        messagePanel->OnMouseDown(fx, fy);
        return;
    }
    if (keyTab || previewToggle) {
        buttonBar.OnMouseDown(fx, fy);
        return;
    }
    const bool inBar = buttonBar.OnMouseDown(fx, fy);
    if (inBar || button != 0 || solved || pieces.empty() || columns <= 0)
        return;

    const float bx = fx + scrollX;
    const float by = fy + scrollY;
    const int hit = FindPieceAt(GridOf(*this), pieces, bx, by);
    if (hit < 0)
        return;
    dragOffsetX = bx - pieces[hit].x;
    dragOffsetY = by - pieces[hit].y;
    dragging = true;
    BringToTop(static_cast<size_t>(hit));
}

void CGame::OnMouseUp(uint32_t x, uint32_t y, int button) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    if (messagePanel) {
        messagePanel->OnMouseUp(fx, fy);
        return;
    }
    if (keyTab || previewToggle) {
        buttonBar.OnMouseUp(fx, fy);
        return;
    }
    const bool handled = buttonBar.OnMouseUp(fx, fy);
    if (handled || button != 0 || !dragging)
        return;

    dragging = false;
    if (pieces.empty())
        return;
    const int d = FindSnapTarget();
    if (d < 0) {
        pieces.back().joined = 0;
        return;
    }
    pieces.back().joined = 1;
    pieces[d].joined = 1;
    SendToBottom(static_cast<size_t>(d));
    SendToBottom(pieces.size() - 1);
    if (IsSolved()) {
        solved = true;
        flashStart = GetTickCount();
    }
}

int CGame::GetNextScreen() {
    return quitRequested ? SCREEN_QUIT : SCREEN_STAY;
}

bool CGame::HitTest(float bx, float by, const BoardPiece& p) const {
    return HitTestPiece(GridOf(*this), bx, by, p);
}

void CGame::BringToTop(size_t index) {
    MoveToTop(pieces, index);
}

void CGame::SendToBottom(size_t index) {
    MoveToBottom(pieces, index);
}

int CGame::FindSnapTarget() {
    return ::FindSnapTarget(GridOf(*this), pieces);
}

bool CGame::IsSolved() const {
    return ::IsSolved(GridOf(*this), pieces);
}

void CGame::RaiseLoosePieces() {
    ::RaiseLoosePieces(pieces, dragging);
}

// A panel already shown (a save notice made in the same frame step) is replaced, not leaked.
void CGame::AskQuit() {
    delete messagePanel;
    messagePanel = new MessagePanel(PANEL_QUESTION, "Czy na pewno chcesz wyjść?");
}

void CGame::ClampScroll() {
    ::ClampScroll(scrollX, scrollY, boardWidth, boardHeight, buttonBar.slide);
}
