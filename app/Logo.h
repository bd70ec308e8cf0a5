#pragma once

#include "framework/Scene.h"

// The logo on white, shown after the intro until a key or mouse button is pressed.
class CLogo : public CScene {
  public:
    CLogo(HWND window, IDirect3DDevice9* device) : CScene(window, device) {}

    void Render() override;
    void OnKeyDown(uint32_t key) override;
    void OnMouseDown(uint32_t x, uint32_t y, int button) override;
    int GetNextScreen() override;
    D3DCOLOR GetClearColor() override;

  private:
    bool m_done = false;
};
