#pragma once

#include "framework/Scene.h"

// The logo on white, shown after the intro until a key or mouse button is pressed.
class CLogo : public CPressToLeave {
  public:
    CLogo(HWND window, IDirect3DDevice9* device, CGfx* gfx)
        : CPressToLeave(window, device, gfx, SCREEN_GAME) {}

    void Render() override;
    D3DCOLOR GetClearColor() override;
};
