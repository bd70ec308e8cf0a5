#include "framework/App.h"

#include "framework/Error.h"
#include "framework/Gfx.h"

#include <cstring>
#include <string>

CApp* g_pApp = nullptr;
int CApp::s_pauseCount = 0;

namespace {

// An argument keeps at most this many characters, as in a 260-character buffer.
const size_t kArgumentCharacters = 259;

LRESULT CALLBACK ForwardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_pApp)
        return DefWindowProcA(window, message, wParam, lParam);
    return g_pApp->WindowProc(window, message, wParam, lParam);
}

} // namespace

CApp::CApp() {
    g_pApp = this;
    // One application per process: a new one starts from an unpaused count.
    s_pauseCount = 0;
    Pause(true);
}

CApp::~CApp() {
    ReleaseObject(m_direct3d);
    if (g_pApp == this)
        g_pApp = nullptr;
}

void CApp::HandleArgument(const char* argument) {
    if (std::strcmp(argument, "-w") == 0 || std::strcmp(argument, "--window") == 0)
        m_windowed = true;
}

void CApp::ParseCommandLine(const char* commandLine) {
    // Characters are UTF-8 sequences: the limit counts them as a Windows-1250 program counts its
    // bytes, and a character is kept or dropped whole.
    std::string argument;
    size_t characters = 0;
    bool keeping = true;
    bool quoted = false;
    for (const char* p = commandLine ? commandLine : "";; ++p) {
        char c = *p;
        if (c == '\0' || (c == ' ' && !quoted)) {
            HandleArgument(argument.c_str());
            argument.clear();
            characters = 0;
            keeping = true;
            if (c == '\0')
                break;
        } else if (c == '"') {
            quoted = !quoted;
        } else if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
            if (keeping)
                argument += c;
        } else {
            keeping = characters < kArgumentCharacters;
            if (keeping) {
                argument += c;
                ++characters;
            }
        }
    }
}

bool CApp::Init(HINSTANCE instance, const char* commandLine) {
    ParseCommandLine(commandLine);
    if (!CanStart())
        return false;

    m_direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_direct3d)
        throw CError(ERR_NORMAL, "Nie można utworzyć obiektu Direct3D 9.", "App.cpp", 81, 0);

    WNDCLASSA wndClass{};
    wndClass.style = CS_DBLCLKS;
    wndClass.lpfnWndProc = ForwardWindowProc;
    wndClass.hInstance = instance;
    wndClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wndClass.lpszClassName = m_className;
    if (!RegisterClassA(&wndClass))
        throw CError(ERR_WIN32, "Nie można zarejestrować klasy okna", "App.cpp", 87, 0);

    RECT rect = {0, 0, m_width, m_height};
    DWORD style;
    DWORD exStyle;
    if (m_windowed) {
        style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        exStyle = 0;
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    } else {
        style = WS_POPUP | WS_VISIBLE;
        exStyle = WS_EX_TOPMOST;
    }
    m_window =
        CreateWindowExA(exStyle, m_className, m_title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                        rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    if (!m_window)
        throw CError(ERR_WIN32, "Nie można utworzyć okna.", "App.cpp", 112, 0);

    try {
        OnWindowCreated();
        CreateDevice();
    } catch (...) {
        // A device that outlived a failed restore is torn down here, so that nothing of it
        // stays behind when the error leaves Init.
        if (m_device)
            DestroyDevice();
        ReleaseObject(m_direct3d);
        throw;
    }

    Pause(false);
    return true;
}

void CApp::CreateDevice() {
    if (!m_windowed)
        ShowCursor(FALSE);

    m_presentParameters = {};
    m_presentParameters.BackBufferWidth = static_cast<UINT>(m_width);
    m_presentParameters.BackBufferHeight = static_cast<UINT>(m_height);
    if (m_windowed) {
        D3DDISPLAYMODE mode{};
        m_direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        m_presentParameters.BackBufferFormat = mode.Format;
    } else {
        m_presentParameters.BackBufferFormat = D3DFMT_A8R8G8B8;
    }
    m_presentParameters.BackBufferCount = 1;
    m_presentParameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_presentParameters.MultiSampleQuality = 0;
    m_presentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_presentParameters.hDeviceWindow = m_window;
    m_presentParameters.Windowed = m_windowed ? TRUE : FALSE;
    m_presentParameters.EnableAutoDepthStencil = FALSE;
    m_presentParameters.AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    m_presentParameters.Flags = 0;
    m_presentParameters.FullScreen_RefreshRateInHz = 0;
    m_presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    HRESULT hr =
        m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &m_presentParameters, &m_device);
    if (FAILED(hr)) {
        m_device = nullptr;
        hr = m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &m_presentParameters, &m_device);
        if (FAILED(hr)) {
            m_device = nullptr;
            throw CError(ERR_DIRECTX, "Nie można utworzyć urządzenia", "App.cpp", 211, hr);
        }
    }

    try {
        CreateResources();
    } catch (...) {
        DeleteResources();
        DestroyDevice();
        throw;
    }
    m_resourcesCreated = true;

    RestoreDeviceObjectsOrUndo();
    m_deviceObjectsReady = true;
}

void CApp::RestoreDeviceObjectsOrUndo() {
    try {
        RestoreDeviceObjects();
    } catch (...) {
        InvalidateDeviceObjects();
        throw;
    }
}

void CApp::ResetDevice() {
    if (m_deviceObjectsReady) {
        m_deviceObjectsReady = false;
        InvalidateDeviceObjects();
    }
    HRESULT hr = m_device->Reset(&m_presentParameters);
    if (FAILED(hr))
        throw CError(ERR_DIRECTX, "Błąd podczas resetowania urządzenia", "App.cpp", 250, hr);
    RestoreDeviceObjectsOrUndo();
    m_deviceObjectsReady = true;
}

void CApp::DestroyDevice() {
    if (m_device) {
        if (m_deviceObjectsReady) {
            m_deviceObjectsReady = false;
            InvalidateDeviceObjects();
        }
        if (m_resourcesCreated) {
            m_resourcesCreated = false;
            DeleteResources();
        }
        if (m_device->Release() > 0)
            Beep(1500, 333);
        m_device = nullptr;
    }
    if (!m_windowed)
        ShowCursor(TRUE);
}

void CApp::Pause(bool pause) {
    s_pauseCount += pause ? 1 : -1;
    m_active = s_pauseCount == 0;
    if (s_pauseCount == 0) {
        m_lastFrameTime = m_fpsWindowStart = GetTickCount();
        m_framesInWindow = 0;
        m_framesPerSecond = 0;
    }
}

void CApp::Frame() {
    if (m_deviceLost) {
        HRESULT hr = m_device->TestCooperativeLevel();
        if (hr == D3DERR_DEVICELOST)
            return;
        if (hr == D3DERR_DEVICENOTRESET) {
            ResetDevice();
            return;
        }
        if (FAILED(hr))
            throw CError(ERR_DIRECTX, "Błąd podczas testowania poziomu kooperatywności urządzenia", "App.cpp",
                         308, hr);
        m_deviceLost = false;
    }

    uint32_t now = GetTickCount();
    ++m_framesInWindow;
    if (now > m_fpsWindowStart + 1000u) {
        m_framesPerSecond = m_framesInWindow;
        m_framesInWindow = 0;
        m_fpsWindowStart += 1000u;
    }

    Update(now, now - m_lastFrameTime);
    Render();
    if (m_device->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST)
        m_deviceLost = true;
    m_lastFrameTime = now;
}

int CApp::Run() {
    MSG msg{}; // WM_NULL
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);

    while (msg.message != WM_QUIT) {
        BOOL received =
            m_active ? PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) : GetMessageA(&msg, nullptr, 0, 0);
        if (received) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (m_deviceLost)
            Sleep(100);
        if (m_active) {
            try {
                Frame();
            } catch (...) {
                SendMessageA(m_window, WM_CLOSE, 0, 0);
            }
        }
    }

    DestroyDevice();
    return static_cast<int>(msg.wParam);
}

void CApp::Quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    ReleaseObject(m_direct3d);
    OnClose();
    PostQuitMessage(0);
}

LRESULT CApp::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            Pause(true);
            m_minimized = true;
        } else if (wParam == SIZE_RESTORED && m_minimized) {
            Pause(false);
            m_minimized = false;
        }
        break;
    case WM_PAINT:
        if (m_device && !m_active && m_windowed && m_resourcesCreated && m_deviceObjectsReady) {
            Render();
            m_device->Present(nullptr, nullptr, nullptr, nullptr);
        }
        break;
    case WM_CLOSE:
        Quit();
        return 0;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
        Pause(true);
        break;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE:
        Pause(false);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
