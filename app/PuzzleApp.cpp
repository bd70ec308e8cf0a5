#include "app/PuzzleApp.h"

#include "framework/Error.h"
#include "framework/Gfx.h"
#include "app/Logo.h"
#include "game/Game.h"
#include "intro/Intro.h"
#include "platform/CRT.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

CPuzzleApp::CPuzzleApp() {
    m_className = "TARVENKOL_PUZZLE";
    m_title = "Tarvenkol Puzzle";
    m_width = 800;
    m_height = 600;
    SetProgramFolder();
    g_pGfx = new (std::nothrow) CGfx;
}

CPuzzleApp::~CPuzzleApp() {
    // Only a start-up that failed before the device existed can leave a screen behind.
    delete m_screen;
    m_screen = nullptr;
    delete g_pGfx;
    g_pGfx = nullptr;
    g_pDevice = nullptr;
}

void CPuzzleApp::SetProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length >= MAX_PATH)
        length = MAX_PATH - 1;
    path[length] = '\0';
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    char name[_MAX_FNAME];
    char ext[_MAX_EXT];
    _splitpath(path, drive, dir, name, ext);
    std::string folder = std::string(drive) + dir;
    SetCurrentDirectoryA(folder.c_str());
}

void CPuzzleApp::HandleArgument(const char* argument) {
    if (std::strcmp(argument, "-f") == 0 || std::strcmp(argument, "--framerate") == 0) {
        m_showFps = true;
        return;
    }
    if (TakeStartOption(argument, m_startRequest))
        return;
    CApp::HandleArgument(argument);
}

bool CPuzzleApp::CanStart() {
    if (m_startRequest.kind == START_NONE) {
        WinExec("Puzzle.exe", SW_SHOWNORMAL);
        return false;
    }
    return true;
}

void CPuzzleApp::CreateResources() {
    g_pDevice = m_device;
    POINT point;
    if (GetCursorPos(&point) && ScreenToClient(m_window, &point)) {
        g_cursorX = point.x;
        g_cursorY = point.y;
    }
    if (g_pGfx)
        g_pGfx->LoadTextures(m_device);
    Show(new CIntro(m_window, m_device));
    m_screen->CreateResources();
}

void CPuzzleApp::RestoreDeviceObjects() {
    m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    m_device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    if (g_pGfx)
        g_pGfx->CreateTextFont();
    if (m_screen)
        m_screen->RestoreDeviceObjects();
}

void CPuzzleApp::InvalidateDeviceObjects() {
    if (g_pGfx)
        g_pGfx->ReleaseTextFont();
    if (m_screen)
        m_screen->InvalidateDeviceObjects();
}

void CPuzzleApp::DeleteResources() {
    if (m_screen) {
        m_screen->DeleteResources();
        delete m_screen;
        m_screen = nullptr;
    }
    if (g_pGfx)
        g_pGfx->ReleaseTextures();
}

void CPuzzleApp::Update(uint32_t now, uint32_t elapsed) {
    if (!m_screen)
        return;
    m_screen->Update(now, elapsed);
    int code = m_screen->GetNextScreen();
    if (code == SCREEN_LOGO || code == SCREEN_GAME)
        SwitchScreen(code);
    else if (code == SCREEN_QUIT)
        Quit();
}

void CPuzzleApp::Show(CScene* screen) {
    m_screen = screen;
    m_screen->SetCursor(g_cursorX, g_cursorY);
}

void CPuzzleApp::SwitchScreen(int code) {
    if (m_deviceObjectsReady)
        m_screen->InvalidateDeviceObjects();
    if (m_resourcesCreated)
        m_screen->DeleteResources();
    delete m_screen;
    m_screen = nullptr;

    if (code == SCREEN_LOGO) {
        Show(new CLogo(m_window, m_device, g_pGfx));
    } else {
        CGame* game = new CGame(m_window, m_device, g_pGfx);
        Show(game);
        game->SetStartRequest(m_startRequest);
    }
    if (m_resourcesCreated)
        m_screen->CreateResources();
    if (m_deviceObjectsReady)
        m_screen->RestoreDeviceObjects();
}

void CPuzzleApp::Render() {
    if (!m_screen)
        return;
    D3DCOLOR color = m_screen->GetClearColor();
    if (color != 0) {
        HRESULT hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
        if (FAILED(hr))
            throw CError(ERR_DIRECTX, "Nie można wyczyścić urządzenia", "Puzzle.cpp", 330, hr);
    }
    if (FAILED(m_device->BeginScene()))
        return;
    m_screen->Render();
    if (m_showFps)
        DrawFps();
    m_device->EndScene();
}

void CPuzzleApp::DrawFps() {
    if (!g_pGfx || !g_pGfx->textFont)
        return;
    char text[32];
    std::snprintf(text, sizeof text, "FPS: %u", FramesPerSecond());
    RECT rect = {8, 8, m_width - 16, m_height - 16};
    g_pGfx->textFont->Begin();
    g_pGfx->textFont->DrawTextA(text, -1, &rect, 0, 0xFFFFFFFF);
    g_pGfx->textFont->End();
}

LRESULT CPuzzleApp::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    uint32_t x = LOWORD(lParam);
    uint32_t y = HIWORD(lParam);
    auto key = static_cast<uint32_t>(wParam);
    if (message == WM_MOUSEMOVE) {
        g_cursorX = static_cast<int>(x);
        g_cursorY = static_cast<int>(y);
    }
    if (m_screen) {
        switch (message) {
        case WM_KEYDOWN:
            m_screen->OnKeyDown(key);
            break;
        case WM_KEYUP:
            m_screen->OnKeyUp(key);
            break;
        case WM_CHAR:
            m_screen->OnChar(key);
            break;
        case WM_MOUSEMOVE:
            m_screen->SetCursor(g_cursorX, g_cursorY);
            m_screen->OnMouseMove(x, y);
            break;
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
            m_screen->OnMouseDown(x, y, message == WM_LBUTTONDOWN ? 0 : message == WM_MBUTTONDOWN ? 1 : 2);
            break;
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP:
            m_screen->OnMouseUp(x, y, message == WM_LBUTTONUP ? 0 : message == WM_MBUTTONUP ? 1 : 2);
            break;
        default:
            break;
        }
    }
    return CApp::WindowProc(window, message, wParam, lParam);
}
