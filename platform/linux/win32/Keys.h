// Keyboard translation of the Win32 layer.
#pragma once

#include "platform/Win32.h"

#include <SDL.h>

namespace layer {

// The Windows virtual-key code of a key, 0 for keys without one.
BYTE VirtualKey(const SDL_Keysym& key);
// The WM_CHAR character that Windows gives for a key SDL produces no text for (Backspace 8,
// Tab 9, Enter 13 or with Ctrl 10, Esc 27, Ctrl+letter 1..26); -1 for every other key.
int ControlCharacter(BYTE virtualKey, bool control);

} // namespace layer
