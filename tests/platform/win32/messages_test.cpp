// Windows messages made from real SDL events (SDL's dummy video driver, no display needed).
#include "platform/Win32.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_received.push_back({hwnd, message, wParam, lParam});
    return message == WM_USER + 1 ? LRESULT(wParam * 2) : 0;
}

constexpr DWORD kWindowed = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void RegisterOnce(const char* name, UINT style) {
    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = RecordingProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

class Messages : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        RegisterOnce("DBL_CLASS", CS_DBLCLKS);
        RegisterOnce("PLAIN_CLASS", 0);
    }
    void TearDown() override {
        for (HWND w : windows)
            DestroyWindow(w);
        Drain();
        g_received.clear();
    }

    HWND Create(const char* className, DWORD style = kWindowed, int width = 800, int height = 600) {
        RECT rect{0, 0, width, height};
        if (!(style & WS_POPUP))
            AdjustWindowRectEx(&rect, style, FALSE, 0);
        HWND hwnd =
            CreateWindowExA(0, className, "Test", style, CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left,
                            rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
        if (hwnd)
            windows.push_back(hwnd);
        Drain();
        g_received.clear();
        return hwnd;
    }
    static void Drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            continue;
    }
    // The next message that is not window-state noise from the driver itself.
    static MSG Next() {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_SETFOCUS && msg.message != WM_KILLFOCUS)
                return msg;
        return MSG{};
    }
    static Uint32 Id(HWND hwnd) { return SDL_GetWindowID(reinterpret_cast<SDL_Window*>(hwnd)); }

    static void Key(HWND hwnd, Uint32 type, SDL_Scancode code, SDL_Keycode sym, Uint8 repeat = 0,
                    Uint16 mod = 0) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = Id(hwnd);
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    static void Text(HWND hwnd, const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = Id(hwnd);
        SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
        SDL_PushEvent(&e);
    }
    static void Motion(HWND hwnd, int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = Id(hwnd);
        e.motion.x = x;
        e.motion.y = y;
        SDL_PushEvent(&e);
    }
    static void Button(HWND hwnd, Uint32 type, Uint8 button, int x, int y, Uint8 clicks = 1) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = Id(hwnd);
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = clicks;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
    static void WindowEvent(HWND hwnd, Uint8 event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = Id(hwnd);
        e.window.event = event;
        SDL_PushEvent(&e);
    }

    std::vector<HWND> windows;
};

#define EXPECT_MSG(msg, expectedMessage, expectedWParam, expectedLParam)                                     \
    do {                                                                                                     \
        MSG m_ = (msg);                                                                                      \
        EXPECT_EQ(m_.message, UINT(expectedMessage));                                                        \
        EXPECT_EQ(m_.wParam, WPARAM(expectedWParam));                                                        \
        EXPECT_EQ(m_.lParam, LPARAM(expectedLParam));                                                        \
    } while (0)

} // namespace

TEST_F(Messages, WindowedClientAreaIsTheRectangleMinusTheAdjustedFrame) {
    RECT rect{0, 0, 800, 600};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, kWindowed, FALSE, 0));
    EXPECT_GT(rect.right - rect.left, 800);
    EXPECT_GT(rect.bottom - rect.top, 600);

    g_received.clear();
    HWND hwnd =
        CreateWindowExA(0, "DBL_CLASS", "Tarvenkol \xB9\xE6", kWindowed, CW_USEDEFAULT, CW_USEDEFAULT,
                        rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    windows.push_back(hwnd);
    // WM_CREATE reached the procedure before the call returned.
    ASSERT_FALSE(g_received.empty());
    EXPECT_EQ(g_received.front().message, UINT(WM_CREATE));
    EXPECT_EQ(g_received.front().hwnd, hwnd);
    int w = 0, h = 0;
    SDL_GetWindowSize(reinterpret_cast<SDL_Window*>(hwnd), &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(800, 600));
    EXPECT_STREQ(SDL_GetWindowTitle(reinterpret_cast<SDL_Window*>(hwnd)), "Tarvenkol ąć");
}

TEST_F(Messages, ClassesAndWindowsFailAsWindowsDoes) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "dbl_class"; // class names ignore case
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(CreateWindowExA(0, "NO_CLASS", "", kWindowed, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ((std::vector<int>{ShowCursor(FALSE), ShowCursor(FALSE), ShowCursor(TRUE), ShowCursor(TRUE)}),
              (std::vector<int>{-1, -2, -1, 0}));
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(&wc), WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Messages, KeysBecomeVirtualKeysWithRepeatAndTransitionBits) {
    HWND hwnd = Create("DBL_CLASS");
    Key(hwnd, SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
    Key(hwnd, SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, 1);
    Key(hwnd, SDL_KEYUP, SDL_SCANCODE_A, SDLK_a);
    EXPECT_MSG(Next(), WM_KEYDOWN, 'A', 1);
    EXPECT_MSG(Next(), WM_KEYDOWN, 'A', 1 | (1 << 30));
    EXPECT_MSG(Next(), WM_KEYUP, 'A', LPARAM(1 | (1u << 30) | (1u << 31)));

    const std::pair<SDL_Scancode, int> keys[] = {{SDL_SCANCODE_RSHIFT, VK_SHIFT},
                                                 {SDL_SCANCODE_LCTRL, VK_CONTROL},
                                                 {SDL_SCANCODE_RCTRL, VK_CONTROL},
                                                 {SDL_SCANCODE_7, '7'},
                                                 {SDL_SCANCODE_0, '0'},
                                                 {SDL_SCANCODE_F1, VK_F1},
                                                 {SDL_SCANCODE_F12, VK_F1 + 11},
                                                 {SDL_SCANCODE_LEFT, VK_LEFT},
                                                 {SDL_SCANCODE_DOWN, VK_DOWN},
                                                 {SDL_SCANCODE_SPACE, VK_SPACE},
                                                 {SDL_SCANCODE_DELETE, VK_DELETE},
                                                 {SDL_SCANCODE_PAGEUP, VK_PRIOR}};
    for (auto [code, vk] : keys) {
        Key(hwnd, SDL_KEYDOWN, code, SDL_GetKeyFromScancode(code));
        Key(hwnd, SDL_KEYUP, code, SDL_GetKeyFromScancode(code));
        MSG down = Next(), up = Next();
        EXPECT_EQ((std::vector<WPARAM>{down.message, down.wParam, up.message, up.wParam}),
                  (std::vector<WPARAM>{WM_KEYDOWN, WPARAM(vk), WM_KEYUP, WPARAM(vk)}))
            << SDL_GetScancodeName(code);
    }
    // A letter follows the layout: the key that types 'z' is Z wherever it sits.
    Key(hwnd, SDL_KEYDOWN, SDL_SCANCODE_Y, SDLK_z);
    EXPECT_EQ(Next().wParam, WPARAM('Z'));
    // With Alt held keys are system keys.
    Key(hwnd, SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT);
    Key(hwnd, SDL_KEYDOWN, SDL_SCANCODE_X, SDLK_x, 0, KMOD_LALT);
    MSG alt = Next(), x = Next();
    EXPECT_EQ(alt.message, UINT(WM_SYSKEYDOWN));
    EXPECT_EQ(alt.wParam, WPARAM(VK_MENU));
    EXPECT_EQ(x.message, UINT(WM_SYSKEYDOWN));
    EXPECT_EQ(x.wParam, WPARAM('X'));
    EXPECT_TRUE(x.lParam & (1 << 29));
    Key(hwnd, SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT);
    EXPECT_EQ(Next().message, UINT(WM_SYSKEYUP));
}

TEST_F(Messages, CharactersAreWindows1250AndControlKeysTypeTheirCodes) {
    HWND hwnd = Create("DBL_CLASS");
    Text(hwnd, "ą");
    Text(hwnd, "aŻ€я");
    EXPECT_MSG(Next(), WM_CHAR, 0xB9, 1);
    EXPECT_EQ(Next().wParam, WPARAM('a'));
    EXPECT_EQ(Next().wParam, WPARAM(0xAF));
    EXPECT_EQ(Next().wParam, WPARAM(0x80));
    EXPECT_EQ(Next().wParam, WPARAM('?'));

    const std::pair<SDL_Scancode, int> controls[] = {{SDL_SCANCODE_RETURN, 13},
                                                     {SDL_SCANCODE_ESCAPE, 27},
                                                     {SDL_SCANCODE_TAB, 9},
                                                     {SDL_SCANCODE_BACKSPACE, 8}};
    for (auto [code, character] : controls) {
        Key(hwnd, SDL_KEYDOWN, code, SDL_GetKeyFromScancode(code));
        Key(hwnd, SDL_KEYDOWN, code, SDL_GetKeyFromScancode(code), 1);
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_EQ(Next().message, UINT(WM_KEYDOWN));
            MSG ch = Next();
            EXPECT_EQ(ch.message, UINT(WM_CHAR)) << SDL_GetScancodeName(code);
            EXPECT_EQ(ch.wParam, WPARAM(character));
        }
        Key(hwnd, SDL_KEYUP, code, SDL_GetKeyFromScancode(code));
        EXPECT_EQ(Next().message, UINT(WM_KEYUP));
    }
    EXPECT_EQ(Next().message, UINT(WM_NULL));
}

TEST_F(Messages, MouseMessagesCarryClientPointsAndKeyFlags) {
    HWND hwnd = Create("DBL_CLASS");
    Motion(hwnd, 100, 50);
    EXPECT_MSG(Next(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 50));

    Key(hwnd, SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    Button(hwnd, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 799, 599);
    Motion(hwnd, 700, 500);
    Button(hwnd, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 700, 500);
    Button(hwnd, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 700, 500);
    Key(hwnd, SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    Button(hwnd, SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 1, 2);
    Button(hwnd, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 3, 4);
    Next(); // shift down
    EXPECT_MSG(Next(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(799, 599));
    EXPECT_MSG(Next(), WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(700, 500));
    EXPECT_MSG(Next(), WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON | MK_SHIFT, MAKELPARAM(700, 500));
    EXPECT_MSG(Next(), WM_LBUTTONUP, MK_RBUTTON | MK_SHIFT, MAKELPARAM(700, 500));
    Next(); // shift up
    EXPECT_MSG(Next(), WM_RBUTTONUP, 0, MAKELPARAM(1, 2));
    EXPECT_MSG(Next(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(3, 4));
    Button(hwnd, SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 3, 4);
    EXPECT_EQ(Next().message, UINT(WM_MBUTTONUP));

    // A drag that leaves the window moves along the nearest edge of the client area; its
    // release is reported where it happened, outside.
    Button(hwnd, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 10);
    Motion(hwnd, -30, -5);
    Motion(hwnd, 900, 650);
    Motion(hwnd, 400, -1);
    Button(hwnd, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, -30, 300);
    Button(hwnd, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 400, 700);
    Button(hwnd, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 400, 650);
    EXPECT_MSG(Next(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_MSG(Next(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(0, 0));
    EXPECT_MSG(Next(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(799, 599));
    EXPECT_MSG(Next(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(400, 0));
    EXPECT_MSG(Next(), WM_LBUTTONUP, 0, MAKELPARAM(-30, 300));
    EXPECT_MSG(Next(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 599));
    EXPECT_MSG(Next(), WM_LBUTTONUP, 0, MAKELPARAM(400, 650));
}

TEST_F(Messages, SecondPressOfADoubleClickOnlyWithDoubleClickClasses) {
    HWND dbl = Create("DBL_CLASS");
    for (Uint8 clicks = 1; clicks <= 3; ++clicks) {
        Button(dbl, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, clicks);
        Button(dbl, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5, clicks);
    }
    Button(dbl, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 5, 2);
    const UINT expected[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                             WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDBLCLK};
    for (UINT message : expected)
        EXPECT_EQ(Next().message, message);
    Button(dbl, SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 5, 2);
    Drain();

    HWND plain = Create("PLAIN_CLASS");
    Button(plain, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 1);
    Button(plain, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5, 1);
    Button(plain, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 2);
    EXPECT_EQ(Next().message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(Next().message, UINT(WM_LBUTTONUP));
    MSG second = Next();
    EXPECT_EQ(second.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(second.hwnd, plain);
    Button(plain, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5, 2);
}

TEST_F(Messages, WindowChangesBecomeSizeCloseAndPaint) {
    HWND hwnd = Create("DBL_CLASS");
    WindowEvent(hwnd, SDL_WINDOWEVENT_EXPOSED);
    WindowEvent(hwnd, SDL_WINDOWEVENT_MINIMIZED);
    WindowEvent(hwnd, SDL_WINDOWEVENT_RESTORED);
    WindowEvent(hwnd, SDL_WINDOWEVENT_EXPOSED);
    WindowEvent(hwnd, SDL_WINDOWEVENT_CLOSE);
    EXPECT_MSG(Next(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_MSG(Next(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));
    EXPECT_MSG(Next(), WM_CLOSE, 0, 0);
    // Paint comes after all other input, once for both exposures.
    MSG paint = Next();
    EXPECT_EQ(paint.message, UINT(WM_PAINT));
    EXPECT_EQ(paint.hwnd, hwnd);
    EXPECT_EQ(Next().message, UINT(WM_NULL));
}

TEST_F(Messages, PostedMessagesComeFirstThenInputThenQuit) {
    HWND hwnd = Create("DBL_CLASS");
    Motion(hwnd, 1, 1);
    PostMessageA(hwnd, WM_USER, 7, 8);
    PostQuitMessage(3);
    PostMessageA(nullptr, WM_USER + 2, 0, 0);

    MSG peeked{};
    ASSERT_TRUE(PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_MSG(peeked, WM_USER, 7, 8);
    // A filter skips what it does not cover.
    ASSERT_TRUE(PeekMessageA(&peeked, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
    EXPECT_EQ(peeked.message, UINT(WM_MOUSEMOVE));

    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_MSG(msg, WM_USER, 7, 8);
    EXPECT_EQ(msg.hwnd, hwnd);
    g_received.clear();
    DispatchMessageA(&msg);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, UINT(WM_USER));

    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(3));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, SendMessageRunsTheProcedureBeforeReturning) {
    HWND hwnd = Create("DBL_CLASS");
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 21, 0), 42);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, UINT(WM_USER + 1));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_USER, WM_USER + 1, PM_REMOVE));

    // The default for WM_CLOSE destroys the window, with WM_DESTROY sent on the way.
    g_received.clear();
    EXPECT_EQ(DefWindowProcA(hwnd, WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, UINT(WM_DESTROY));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    windows.clear();
}

TEST_F(Messages, GetMessageWaitsForInputFromAnotherThread) {
    HWND hwnd = Create("DBL_CLASS");
    std::atomic<bool> motionTaken{false};
    std::thread poster([&] {
        Motion(hwnd, 9, 9); // SDL_PushEvent may be called from any thread
        // The posted message only once the motion has been taken, so that the second
        // GetMessage has nothing to return until this thread posts.
        while (!motionTaken)
            std::this_thread::yield();
        PostMessageA(nullptr, WM_USER + 5, 0, 0);
    });
    MSG msg{};
    EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UINT(WM_MOUSEMOVE));
    motionTaken = true;
    EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UINT(WM_USER + 5));
    poster.join();
}

TEST_F(Messages, FullScreenMousePositionsAreClientPixelsOfTheScaledFrame) {
    HWND hwnd = Create("DBL_CLASS", WS_POPUP | WS_VISIBLE, 800, 600);
    ASSERT_NE(hwnd, nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(reinterpret_cast<SDL_Window*>(hwnd), &w, &h);
    ASSERT_GT(w, 0);
    Motion(hwnd, w / 2, h / 2);
    Motion(hwnd, 0, 0);
    Motion(hwnd, w - 1, h - 1);
    Button(hwnd, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, w / 4, h / 4);
    EXPECT_MSG(Next(), WM_MOUSEMOVE, 0, MAKELPARAM(400, 300));
    EXPECT_MSG(Next(), WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
    EXPECT_MSG(Next(), WM_MOUSEMOVE, 0, MAKELPARAM(799, 599));
    EXPECT_MSG(Next(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 150));
    Button(hwnd, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, w / 4, h / 4);
}
