// Real X11 windows (run under Xvfb, 1280 x 1024): OpenGL-capable client areas, full-screen
// letterboxing of the 800 x 600 frame, and the cursor position in client pixels.
#include "platform/Win32.h"

#include <SDL.h>
#include <gtest/gtest.h>
// Xlib after GoogleTest: its macros (None, Bool...) break GoogleTest's templates.
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace {

LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

class Windows : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        WNDCLASSA wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "WINDOW_TEST";
        RegisterClassA(&wc);
    }
    void TearDown() override {
        if (hwnd)
            DestroyWindow(hwnd);
        Drain();
    }
    static void Drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            continue;
    }
    SDL_Window* Window() const { return reinterpret_cast<SDL_Window*>(hwnd); }
    // Lets the X server and SDL settle a window change; the bound only ends a broken run.
    template <class Done> static bool Settle(Done done) {
        for (int i = 0; i < 300 && !done(); ++i) {
            Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    MSG Moved(int x, int y) {
        Drain(); // the real pointer's own motion first
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = SDL_GetWindowID(Window());
        e.motion.x = x;
        e.motion.y = y;
        SDL_PushEvent(&e);
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_MOUSEMOVE)
                return msg;
        return MSG{};
    }

    HWND hwnd = nullptr;
};

} // namespace

TEST_F(Windows, WindowedClientAreaIsExactAndTakesAnOpenGLContext) {
    const DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rect{0, 0, 800, 600};
    AdjustWindowRectEx(&rect, style, FALSE, 0);
    hwnd =
        CreateWindowExA(0, "WINDOW_TEST", "Okno", style, CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(Window(), &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(800, 600));
    ASSERT_TRUE(SDL_GetWindowFlags(Window()) & SDL_WINDOW_OPENGL);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GLContext context = SDL_GL_CreateContext(Window());
    EXPECT_NE(context, nullptr) << SDL_GetError();
    if (context)
        SDL_GL_DeleteContext(context);
}

TEST_F(Windows, CursorPositionMapsBackToTheClientArea) {
    const DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    hwnd = CreateWindowExA(0, "WINDOW_TEST", "Okno", style, 100, 80, 806, 625, nullptr, nullptr, nullptr,
                           nullptr);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(Settle([&] { return SDL_GetWindowFlags(Window()) & SDL_WINDOW_SHOWN; }));
    SDL_WarpMouseInWindow(Window(), 300, 200);
    POINT point{};
    ASSERT_TRUE(Settle([&] {
        GetCursorPos(&point);
        ScreenToClient(hwnd, &point);
        return point.x == 300 && point.y == 200;
    })) << point.x
        << "," << point.y;
}

TEST_F(Windows, FullScreenShowsTheFrameLetterboxedAndMapsMouseBack) {
    hwnd = CreateWindowExA(WS_EX_TOPMOST, "WINDOW_TEST", "Pe\xB3ny", WS_POPUP | WS_VISIBLE, CW_USEDEFAULT,
                           CW_USEDEFAULT, 800, 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    SDL_DisplayMode desktop{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    if (desktop.w != 1280 || desktop.h != 1024)
        GTEST_SKIP()
            << "the expected points are for a 1280 x 1024 screen (xvfb-run -s \"-screen 0 1280x1024x24\")";
    ASSERT_TRUE(Settle([&] {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(Window(), &w, &h);
        return w == 1280 && h == 1024;
    }));
    // The X window itself covers the screen, also with no window manager to enlarge it.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(Window(), &info));
    ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes), 0);
    EXPECT_EQ(attributes.width, 1280);
    EXPECT_EQ(attributes.height, 1024);
    // 800 x 600 scaled by 1.6 is 1280 x 960, with bars of 32 pixels above and below.
    EXPECT_EQ(Moved(640, 512).lParam, MAKELPARAM(400, 300));
    EXPECT_EQ(Moved(0, 32).lParam, MAKELPARAM(0, 0));
    EXPECT_EQ(Moved(1279, 991).lParam, MAKELPARAM(799, 599));
    EXPECT_EQ(Moved(8, 40).lParam, MAKELPARAM(5, 5));
    // Bars clamp to the frame's edge.
    EXPECT_EQ(Moved(640, 10).lParam, MAKELPARAM(400, 0));
    EXPECT_EQ(Moved(640, 1020).lParam, MAKELPARAM(400, 599));
}
