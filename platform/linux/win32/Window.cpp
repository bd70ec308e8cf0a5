// Window classes and windows over SDL2. A window handle is the SDL_Window itself.
#include "platform/linux/Letterbox.h"
#include "platform/linux/ProgramIcon.h"
#include "platform/linux/SdlVideo.h"
#include "platform/linux/win32/Internal.h"

#include <SDL.h>
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xutil.h>
#endif
#include <algorithm>
#include <cmath>
#include <map>
#include <strings.h>

namespace {

struct ClassRecord {
    std::string name;
    WNDCLASSA data{};
    ATOM atom = 0;
};

std::vector<ClassRecord> g_classes;
ATOM g_nextAtom = 0xC000;
// Creation order matters: the first window receives input that names no window.
std::vector<std::pair<HWND, layer::WindowRecord>> g_windows;
int g_cursorCount = 0;

constexpr DWORD kBorder = 0x00800000L;
constexpr DWORD kDialogFrame = 0x00400000L;

ClassRecord* FindClass(const char* name) {
    if (!name)
        return nullptr;
    // MAKEINTATOM: the atom itself in place of a name.
    if (reinterpret_cast<uintptr_t>(name) <= 0xFFFF) {
        for (ClassRecord& c : g_classes)
            if (c.atom == ATOM(reinterpret_cast<uintptr_t>(name)))
                return &c;
        return nullptr;
    }
    for (ClassRecord& c : g_classes)
        if (strcasecmp(c.name.c_str(), name) == 0)
            return &c;
    return nullptr;
}

// The frame Windows draws around the client area, with the classic metrics: a sizing frame
// of 4 pixels, a fixed (dialog) frame of 3, a thin border of 1, a caption and a menu bar of
// 19 each. A pop-up window without these has none.
void FrameInsets(DWORD style, BOOL menu, RECT& inset) {
    int frame = (style & WS_THICKFRAME) ? 4 : (style & kDialogFrame) ? 3 : (style & kBorder) ? 1 : 0;
    inset = {frame, frame, frame, frame};
    if ((style & WS_CAPTION) == WS_CAPTION)
        inset.top += 19;
    if (menu)
        inset.top += 19;
}

bool EnsureVideo() {
    // Closing the last window is the window's own WM_CLOSE; SDL's quit event then only
    // stands for a termination request from outside. (Read when a window closes, so it is
    // set even when someone else started SDL's video first.)
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    layer::EnsureEvents();
    return layer::InitVideo();
}

// What a desktop needs to know about a new, not yet shown window: the window class (X11's
// WM_CLASS, so that task bars group the windows under their desktop entry) and the program's
// icon. Both are set before the window is mapped, where window managers read them.
void DescribeToDesktop(SDL_Window* window, const char* className) {
    if (&layer::g_programIcon && layer::g_programIcon.argb) {
        const layer::ProgramIcon& icon = layer::g_programIcon;
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceFrom(const_cast<uint32_t*>(icon.argb), icon.width, icon.height, 32,
                                     icon.width * 4, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        if (surface) {
            SDL_SetWindowIcon(window, surface);
            SDL_FreeSurface(surface);
        }
    }
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        std::string name = className;
        XClassHint hint{name.data(), name.data()};
        XSetClassHint(info.info.x11.display, info.info.x11.window, &hint);
    }
#else
    (void)className;
#endif
}

} // namespace

namespace layer {

WindowRecord* FindWindowRecord(HWND hwnd) {
    for (auto& entry : g_windows)
        if (entry.first == hwnd)
            return &entry.second;
    return nullptr;
}

HWND FirstWindow() {
    return g_windows.empty() ? nullptr : g_windows.front().first;
}

void WindowToClient(HWND hwnd, int wx, int wy, int& cx, int& cy) {
    cx = wx, cy = wy;
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return;
    auto* window = reinterpret_cast<SDL_Window*>(hwnd);
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (!record->fullScreen && width == record->clientWidth && height == record->clientHeight)
        return;
    // Scaled or letterboxed: the same rectangle the device presents into, in drawable
    // pixels (which differ from window units on high-density screens).
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    if (drawableWidth <= 0 || drawableHeight <= 0)
        drawableWidth = width, drawableHeight = height;
    if (width <= 0 || height <= 0)
        return;
    int px = int(std::floor(double(wx) * drawableWidth / width));
    int py = int(std::floor(double(wy) * drawableHeight / height));
    Letterbox box = Letterbox::Fit(record->clientWidth, record->clientHeight, drawableWidth, drawableHeight);
    box.ToClient(record->clientWidth, record->clientHeight, px, py, cx, cy);
}

} // namespace layer

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
    if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName || !*wndClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(wndClass->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ClassRecord record;
    record.name = wndClass->lpszClassName;
    record.data = *wndClass;
    record.data.lpszClassName = nullptr;
    record.data.lpszMenuName = nullptr;
    record.atom = g_nextAtom++;
    g_classes.push_back(record);
    return record.atom;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    (void)exStyle;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT inset;
    FrameInsets(style, menu, inset);
    rect->left -= inset.left;
    rect->top -= inset.top;
    rect->right += inset.right;
    rect->bottom += inset.bottom;
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    ClassRecord* windowClass = FindClass(className);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (!EnsureVideo()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const bool fullScreen = style & WS_POPUP;
    int clientWidth = width, clientHeight = height;
    if (width == CW_USEDEFAULT || height == CW_USEDEFAULT) {
        clientWidth = 640, clientHeight = 480;
    } else if (!fullScreen) {
        RECT inset;
        FrameInsets(style, menu != nullptr, inset);
        clientWidth = width - inset.left - inset.right;
        clientHeight = height - inset.top - inset.bottom;
    }
    clientWidth = std::max(1, clientWidth);
    clientHeight = std::max(1, clientHeight);

    // Made hidden and shown once the desktop knows its class and icon.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (fullScreen)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    if (!fullScreen && (style & WS_THICKFRAME))
        flags |= SDL_WINDOW_RESIZABLE;
    if (exStyle & WS_EX_TOPMOST)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    int left = x == CW_USEDEFAULT ? int(SDL_WINDOWPOS_UNDEFINED) : x;
    int top = x == CW_USEDEFAULT ? int(SDL_WINDOWPOS_UNDEFINED) : y;
    // A full-screen window is made at the desktop's size from the start. SDL's desktop full
    // screen asks the window manager to enlarge the window; with no window manager (a bare X
    // server) nobody does, and the window would keep the client size while SDL reports the
    // desktop's, so the letterboxed frame would land off the window.
    int windowWidth = clientWidth, windowHeight = clientHeight;
    SDL_Rect desktop;
    if (fullScreen && SDL_GetDisplayBounds(0, &desktop) == 0) {
        left = desktop.x, top = desktop.y;
        windowWidth = desktop.w, windowHeight = desktop.h;
    }
    std::string title = layer::Cp1250ToUtf8(windowName);
    SDL_Window* window = SDL_CreateWindow(title.c_str(), left, top, windowWidth, windowHeight, flags);
    if (!window && SDL_strcmp(SDL_GetCurrentVideoDriver(), "dummy") == 0) {
        // The dummy driver (window-free tests with a recording device) has no OpenGL.
        window =
            SDL_CreateWindow(title.c_str(), left, top, windowWidth, windowHeight, flags & ~SDL_WINDOW_OPENGL);
    }
    if (!window) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    DescribeToDesktop(window, windowClass->name.c_str());
    if (style & WS_VISIBLE)
        SDL_ShowWindow(window);
    SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    SDL_StartTextInput();

    HWND hwnd = reinterpret_cast<HWND>(window);
    layer::WindowRecord record;
    record.procedure = windowClass->data.lpfnWndProc;
    record.classStyle = windowClass->data.style;
    record.clientWidth = clientWidth;
    record.clientHeight = clientHeight;
    record.fullScreen = fullScreen;
    record.resizable = flags & SDL_WINDOW_RESIZABLE;
    g_windows.emplace_back(hwnd, record);

    CREATESTRUCTA create{param, instance, menu,        parent,     height,    width,
                         y,     x,        LONG(style), windowName, className, exStyle};
    if (record.procedure(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    layer::WindowRecord* record = layer::FindWindowRecord(hwnd);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    record->procedure(hwnd, WM_DESTROY, 0, 0);
    layer::ForgetWindowMessages(hwnd);
    g_windows.erase(std::remove_if(g_windows.begin(), g_windows.end(),
                                   [hwnd](const auto& entry) { return entry.first == hwnd; }),
                    g_windows.end());
    SDL_DestroyWindow(reinterpret_cast<SDL_Window*>(hwnd));
    return TRUE;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window, as the system menu's default does.
        if (wParam == VK_F1 + 3 && (lParam & (1 << 29)))
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

int ShowCursor(BOOL show) {
    // Windows keeps a display count: the cursor shows while it is 0 or more.
    g_cursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursorCount;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int x = 0, y = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_GetGlobalMouseState(&x, &y);
    point->x = x;
    point->y = y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    if (!point || !layer::FindWindowRecord(hwnd)) {
        SetLastError(point ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(reinterpret_cast<SDL_Window*>(hwnd), &wx, &wy);
    int cx = 0, cy = 0;
    layer::WindowToClient(hwnd, point->x - wx, point->y - wy, cx, cy);
    point->x = cx;
    point->y = cy;
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Only the system's standard cursors (IDC_ARROW and its neighbours) exist here; SDL
    // shows the arrow by default.
    static char s_standardCursor;
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (!instance && id >= 32512 && id <= 32651)
        return reinterpret_cast<HCURSOR>(&s_standardCursor);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}
