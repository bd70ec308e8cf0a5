// SDL keys -> Windows virtual-key codes.
#include "platform/linux/win32/Keys.h"

namespace layer {

BYTE VirtualKey(const SDL_Keysym& key) {
    // Letters follow the keyboard layout, as Windows' virtual keys do; everything else is
    // the key's position.
    if (key.sym >= SDLK_a && key.sym <= SDLK_z)
        return BYTE('A' + (key.sym - SDLK_a));
    const SDL_Scancode code = key.scancode;
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z)
        return BYTE('A' + (code - SDL_SCANCODE_A));
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9)
        return BYTE('1' + (code - SDL_SCANCODE_1));
    if (code == SDL_SCANCODE_0)
        return '0';
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12)
        return BYTE(VK_F1 + (code - SDL_SCANCODE_F1));
    if (code >= SDL_SCANCODE_F13 && code <= SDL_SCANCODE_F24)
        return BYTE(VK_F1 + 12 + (code - SDL_SCANCODE_F13));
    const bool numLock = key.mod & KMOD_NUM;
    // The keypad's digit keys are digits with Num Lock on and the cursor block with it off.
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9) {
        static constexpr BYTE kCursorBlock[9] = {VK_END,   VK_DOWN, VK_NEXT, VK_LEFT, 0x0C /* VK_CLEAR */,
                                                 VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
        const int digit = code - SDL_SCANCODE_KP_1;
        return numLock ? BYTE(VK_NUMPAD0 + 1 + digit) : kCursorBlock[digit];
    }
    switch (code) {
    case SDL_SCANCODE_BACKSPACE:
        return VK_BACK;
    case SDL_SCANCODE_TAB:
        return VK_TAB;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_RETURN2:
    case SDL_SCANCODE_KP_ENTER:
        return VK_RETURN;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
        return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
        return VK_MENU;
    case SDL_SCANCODE_PAUSE:
        return VK_PAUSE;
    case SDL_SCANCODE_CAPSLOCK:
        return VK_CAPITAL;
    case SDL_SCANCODE_ESCAPE:
        return VK_ESCAPE;
    case SDL_SCANCODE_SPACE:
        return VK_SPACE;
    case SDL_SCANCODE_PAGEUP:
        return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN:
        return VK_NEXT;
    case SDL_SCANCODE_END:
        return VK_END;
    case SDL_SCANCODE_HOME:
        return VK_HOME;
    case SDL_SCANCODE_LEFT:
        return VK_LEFT;
    case SDL_SCANCODE_UP:
        return VK_UP;
    case SDL_SCANCODE_RIGHT:
        return VK_RIGHT;
    case SDL_SCANCODE_DOWN:
        return VK_DOWN;
    case SDL_SCANCODE_INSERT:
        return VK_INSERT;
    case SDL_SCANCODE_DELETE:
        return VK_DELETE;
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return VK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK:
        return VK_SCROLL;
    case SDL_SCANCODE_PRINTSCREEN:
        return 0x2C; // VK_SNAPSHOT
    case SDL_SCANCODE_LGUI:
        return 0x5B; // VK_LWIN
    case SDL_SCANCODE_RGUI:
        return 0x5C; // VK_RWIN
    case SDL_SCANCODE_APPLICATION:
        return 0x5D; // VK_APPS
    case SDL_SCANCODE_KP_MULTIPLY:
        return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS:
        return VK_ADD;
    case SDL_SCANCODE_KP_MINUS:
        return VK_SUBTRACT;
    case SDL_SCANCODE_KP_DIVIDE:
        return VK_DIVIDE;
    case SDL_SCANCODE_KP_0:
        return numLock ? VK_NUMPAD0 : VK_INSERT;
    case SDL_SCANCODE_KP_PERIOD:
        return numLock ? VK_DECIMAL : VK_DELETE;
    // The punctuation keys of a US layout carry the OEM codes.
    case SDL_SCANCODE_SEMICOLON:
        return 0xBA;
    case SDL_SCANCODE_EQUALS:
        return 0xBB;
    case SDL_SCANCODE_COMMA:
        return 0xBC;
    case SDL_SCANCODE_MINUS:
        return 0xBD;
    case SDL_SCANCODE_PERIOD:
        return 0xBE;
    case SDL_SCANCODE_SLASH:
        return 0xBF;
    case SDL_SCANCODE_GRAVE:
        return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET:
        return 0xDB;
    case SDL_SCANCODE_BACKSLASH:
        return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET:
        return 0xDD;
    case SDL_SCANCODE_APOSTROPHE:
        return 0xDE;
    case SDL_SCANCODE_NONUSBACKSLASH:
        return 0xE2;
    default:
        return 0;
    }
}

// What Windows' TranslateMessage makes of keys that SDL's text input leaves out.
int ControlCharacter(BYTE virtualKey, bool control) {
    switch (virtualKey) {
    case VK_BACK:
        return 8;
    case VK_TAB:
        return 9;
    case VK_RETURN:
        return control ? 10 : 13;
    case VK_ESCAPE:
        return 27;
    default:
        break;
    }
    if (control && virtualKey >= 'A' && virtualKey <= 'Z')
        return virtualKey - 'A' + 1;
    return -1;
}

} // namespace layer
