// The message queue: posted messages and SDL events turned into Windows messages.
//
// Retrieval follows Windows' priorities: posted messages, then input (keys, mouse, window
// changes), then WM_QUIT, then WM_PAINT. Input is translated as soon as SDL delivers it, so
// the order of input messages is the order of the events.
#include "platform/linux/win32/Internal.h"
#include "platform/linux/win32/Keys.h"

#include <SDL.h>
#include <algorithm>
#include <ctime>
#include <deque>
#include <mutex>

namespace {

std::mutex g_postedMutex; // PostMessageA may come from another thread
std::deque<MSG> g_posted;
bool g_quitPosted = false;
int g_quitCode = 0;
Uint32 g_wakeEvent = 0;

std::deque<MSG> g_input;
std::vector<HWND> g_paintPending;
bool g_keyDown[256] = {};
unsigned g_buttons = 0; // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON
POINT g_cursorScreen = {0, 0};

bool Matches(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd && msg.hwnd != hwnd)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    msg.pt = g_cursorScreen;
    return msg;
}

void Queue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_input.push_back(MakeMessage(hwnd, message, wParam, lParam));
}

HWND WindowOf(Uint32 windowId) {
    if (windowId != 0 && SDL_WasInit(SDL_INIT_VIDEO)) {
        HWND hwnd = reinterpret_cast<HWND>(SDL_GetWindowFromID(windowId));
        return layer::FindWindowRecord(hwnd) ? hwnd : nullptr;
    }
    return layer::FirstWindow();
}

WPARAM MouseKeyFlags() {
    WPARAM flags = g_buttons;
    if (g_keyDown[VK_SHIFT])
        flags |= MK_SHIFT;
    if (g_keyDown[VK_CONTROL])
        flags |= MK_CONTROL;
    return flags;
}

// The client point of a mouse message. While a button is held the system keeps reporting the
// mouse outside the window. Moves and presses there are held to the nearest edge of the client
// area, as a Windows program without mouse capture never sees a point outside it. A release
// outside is reported where it happened, as Windows reports it to a window holding the capture
// (a negative coordinate in two's complement in its 16-bit word): a drag that leaves the window
// ends with its release, and the program can tell that release from one on its edge.
LPARAM ClientPoint(HWND hwnd, int wx, int wy, bool holdToEdge = true) {
    int cx = 0, cy = 0;
    layer::WindowToClient(hwnd, wx, wy, cx, cy);
    const layer::WindowRecord* record = holdToEdge ? layer::FindWindowRecord(hwnd) : nullptr;
    if (record) {
        cx = std::clamp(cx, 0, std::max(record->clientWidth - 1, 0));
        cy = std::clamp(cy, 0, std::max(record->clientHeight - 1, 0));
    }
    int left = 0, top = 0;
    SDL_GetWindowPosition(reinterpret_cast<SDL_Window*>(hwnd), &left, &top);
    g_cursorScreen = {left + wx, top + wy};
    return MAKELPARAM(cx, cy);
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    HWND hwnd = WindowOf(event.windowID);
    layer::WindowRecord* record = layer::FindWindowRecord(hwnd);
    if (!record)
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        if (std::find(g_paintPending.begin(), g_paintPending.end(), hwnd) == g_paintPending.end())
            g_paintPending.push_back(hwnd);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        Queue(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        Queue(hwnd, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(record->clientWidth, record->clientHeight));
        break;
    case SDL_WINDOWEVENT_RESTORED:
        Queue(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(record->clientWidth, record->clientHeight));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (record->resizable &&
            (event.data1 != record->clientWidth || event.data2 != record->clientHeight)) {
            record->clientWidth = event.data1;
            record->clientHeight = event.data2;
            Queue(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(event.data1, event.data2));
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Queue(hwnd, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        // Keys released elsewhere never report here; forget them as Windows does.
        std::fill(std::begin(g_keyDown), std::end(g_keyDown), false);
        Queue(hwnd, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        Queue(hwnd, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void TranslateKey(const SDL_KeyboardEvent& event) {
    BYTE vk = layer::VirtualKey(event.keysym);
    if (vk == 0)
        return;
    const bool down = event.type == SDL_KEYDOWN;
    const bool wasDown = g_keyDown[vk] || event.repeat;
    g_keyDown[vk] = down;
    HWND hwnd = WindowOf(event.windowID);
    if (!hwnd)
        return;
    const bool alt = g_keyDown[VK_MENU] || (event.keysym.mod & KMOD_ALT) || vk == VK_MENU;
    const bool control = g_keyDown[VK_CONTROL] || (event.keysym.mod & KMOD_CTRL);
    // Alt (without Ctrl, which makes it AltGr) and F10 are system keys on Windows.
    const bool system = (alt && !control) || vk == VK_F1 + 9;
    LPARAM lParam = 1;
    if (alt)
        lParam |= LPARAM(1) << 29;
    if (!down || wasDown)
        lParam |= LPARAM(1) << 30;
    if (!down)
        lParam |= LPARAM(DWORD(1) << 31);
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    Queue(hwnd, message, vk, lParam);
    if (down && !system) {
        int character = layer::ControlCharacter(vk, control);
        if (character >= 0)
            Queue(hwnd, WM_CHAR, WPARAM(character), lParam);
    }
}

void TranslateText(const SDL_TextInputEvent& event) {
    HWND hwnd = WindowOf(event.windowID);
    if (!hwnd)
        return;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(event.text);
    while (*p) {
        char32_t c = *p;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0x7F;
        ++p;
        for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i, ++p)
            c = (c << 6) | (*p & 0x3F);
        if (c >= 0x20 && c != 0x7F)
            Queue(hwnd, WM_CHAR, WPARAM(static_cast<unsigned char>(layer::CodePointToCp1250(c))), 1);
    }
}

void TranslateButton(const SDL_MouseButtonEvent& event) {
    unsigned flag = 0;
    UINT downMessage = 0;
    if (event.button == SDL_BUTTON_LEFT)
        flag = MK_LBUTTON, downMessage = WM_LBUTTONDOWN;
    else if (event.button == SDL_BUTTON_RIGHT)
        flag = MK_RBUTTON, downMessage = WM_RBUTTONDOWN;
    else if (event.button == SDL_BUTTON_MIDDLE)
        flag = MK_MBUTTON, downMessage = WM_MBUTTONDOWN;
    else
        return;
    // The button state is the system's, whichever window the event names.
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    if (down)
        g_buttons |= flag;
    else
        g_buttons &= ~flag;
    HWND hwnd = WindowOf(event.windowID);
    layer::WindowRecord* record = layer::FindWindowRecord(hwnd);
    if (!record)
        return;
    LPARAM point = ClientPoint(hwnd, event.x, event.y, down);
    UINT message = down ? downMessage : downMessage + 1;
    // Windows makes the second press of a double click a double-click message, only for
    // classes that ask for it; a third press starts over.
    if (down && event.clicks >= 2 && event.clicks % 2 == 0 && (record->classStyle & CS_DBLCLKS))
        message = downMessage + 2;
    Queue(hwnd, message, MouseKeyFlags(), point);
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        // A termination request from outside: the main window is asked to close.
        if (HWND hwnd = layer::FirstWindow())
            Queue(hwnd, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(event.key);
        break;
    case SDL_TEXTINPUT:
        TranslateText(event.text);
        break;
    case SDL_MOUSEMOTION: {
        HWND hwnd = WindowOf(event.motion.windowID);
        if (hwnd)
            Queue(hwnd, WM_MOUSEMOVE, MouseKeyFlags(), ClientPoint(hwnd, event.motion.x, event.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        TranslateButton(event.button);
        break;
    default:
        break;
    }
}

void Pump() {
    SDL_Event event;
    while (SDL_PollEvent(&event))
        Translate(event);
}

// The first message of the queue that passes the filter, taken out of it when remove is set.
bool TakeFirst(std::deque<MSG>& queue, MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
    auto it = std::find_if(queue.begin(), queue.end(),
                           [&](const MSG& m) { return Matches(m, hwnd, filterMin, filterMax); });
    if (it == queue.end())
        return false;
    msg = *it;
    if (remove)
        queue.erase(it);
    return true;
}

bool Retrieve(MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
    {
        std::lock_guard<std::mutex> lock(g_postedMutex);
        if (TakeFirst(g_posted, msg, hwnd, filterMin, filterMax, remove))
            return true;
    }
    if (TakeFirst(g_input, msg, hwnd, filterMin, filterMax, remove))
        return true;
    {
        // WM_QUIT is a flag rather than a queued message and passes every filter.
        std::lock_guard<std::mutex> lock(g_postedMutex);
        if (g_quitPosted) {
            msg = MakeMessage(nullptr, WM_QUIT, WPARAM(g_quitCode), 0);
            if (remove)
                g_quitPosted = false;
            return true;
        }
    }
    for (auto it = g_paintPending.begin(); it != g_paintPending.end(); ++it) {
        MSG paint = MakeMessage(*it, WM_PAINT, 0, 0);
        if (Matches(paint, hwnd, filterMin, filterMax)) {
            msg = paint;
            if (remove)
                g_paintPending.erase(it);
            return true;
        }
    }
    return false;
}

void Wake() {
    if (g_wakeEvent != 0 && g_wakeEvent != Uint32(-1)) {
        SDL_Event event{};
        event.type = g_wakeEvent;
        SDL_PushEvent(&event);
    }
}

} // namespace

namespace layer {

void EnsureEvents() {
    if (SDL_WasInit(SDL_INIT_EVENTS))
        return;
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) == 0 && g_wakeEvent == 0)
        g_wakeEvent = SDL_RegisterEvents(1);
}

void ForgetWindowMessages(HWND hwnd) {
    auto forWindow = [hwnd](const MSG& msg) { return msg.hwnd == hwnd; };
    {
        std::lock_guard<std::mutex> lock(g_postedMutex);
        g_posted.erase(std::remove_if(g_posted.begin(), g_posted.end(), forWindow), g_posted.end());
    }
    g_input.erase(std::remove_if(g_input.begin(), g_input.end(), forWindow), g_input.end());
    g_paintPending.erase(std::remove(g_paintPending.begin(), g_paintPending.end(), hwnd),
                         g_paintPending.end());
}

} // namespace layer

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg)
        return FALSE;
    layer::EnsureEvents();
    Pump();
    return Retrieve(*msg, hwnd, filterMin, filterMax, removeFlags & PM_REMOVE) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    layer::EnsureEvents();
    for (;;) {
        Pump();
        if (Retrieve(*msg, hwnd, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        // Sleeps in the event wait until SDL or a posting thread has something.
        SDL_Event event;
        if (SDL_WaitEvent(&event)) {
            Translate(event);
        } else {
            // No event source at all (SDL failed to start): only posts can still arrive.
            timespec pause{0, 10 * 1000000L};
            nanosleep(&pause, nullptr);
        }
    }
}

BOOL TranslateMessage(const MSG* msg) {
    // Characters are already queued behind their key message when the input is read.
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg)
        return 0;
    layer::WindowRecord* record = layer::FindWindowRecord(msg->hwnd);
    if (!record)
        return 0;
    return record->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    layer::WindowRecord* record = layer::FindWindowRecord(hwnd);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return record->procedure(hwnd, message, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // A null window posts a message for the thread itself, as PostThreadMessage does.
    if (hwnd && !layer::FindWindowRecord(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(g_postedMutex);
        g_posted.push_back(MakeMessage(hwnd, message, wParam, lParam));
    }
    Wake();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(g_postedMutex);
        g_quitPosted = true;
        g_quitCode = exitCode;
    }
    Wake();
}
