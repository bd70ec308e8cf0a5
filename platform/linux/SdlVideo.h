// Starting SDL's video for a program that shows a real window.
#pragma once

#include <SDL.h>

#include <cstring>

namespace layer {

// SDL_InitSubSystem(SDL_INIT_VIDEO), except that SDL's own last resorts do not count as a
// display. When no X11 or Wayland display can be opened, SDL silently picks its "offscreen"
// driver, and a game would then run invisibly, forever, waiting for input that cannot come.
// Those drivers are taken only when SDL_VIDEODRIVER asks for them by name (as the tests do).
inline bool TryInitVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const char* chosen = SDL_GetCurrentVideoDriver();
    bool fallback = chosen && (std::strcmp(chosen, "offscreen") == 0 || std::strcmp(chosen, "dummy") == 0);
    if (fallback && !(asked && *asked)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("No display is available");
        return false;
    }
    return true;
}

// A display server can refuse a connection for a moment (an X server regenerating after its last
// client left, or one too busy to answer in time), so a failed start is tried again a few times
// over half a second before the program takes it that there is no display. The reason SDL gave
// goes to standard error.
inline bool InitVideo() {
    for (int attempt = 0;; ++attempt) {
        if (TryInitVideo())
            return true;
        if (attempt == 4) {
            SDL_Log("video cannot start: %s", SDL_GetError());
            return false;
        }
        SDL_Delay(125);
    }
}

} // namespace layer
