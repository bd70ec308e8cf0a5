#pragma once

#include "framework/Scene.h"

// The opening screen: the maker's name and "prezentuje" sliding across a black frame in three
// copies each while they fade in and out over 7.5 seconds, with the community logo fading in
// the bottom-right corner. The time-out, any key or any mouse button ends it (next screen: logo).
class CIntro : public CPressToLeave {
  public:
    CIntro(HWND window, IDirect3DDevice9* device) : CPressToLeave(window, device, nullptr, SCREEN_LOGO) {}

    // The vertex buffer of the six text rectangles and the logo texture.
    void CreateResources() override;
    // The render-target texture with the two words drawn into it.
    void RestoreDeviceObjects() override;
    void InvalidateDeviceObjects() override;
    void DeleteResources() override;
    void Render() override;
    // The first call fixes the start time; every call rewrites the 36 vertices from now.
    void Update(uint32_t now, uint32_t elapsed) override;

  private:
    IDirect3DTexture9* m_textTexture = nullptr;
    IDirect3DTexture9* m_logoTexture = nullptr;
    IDirect3DVertexBuffer9* m_vertexBuffer = nullptr;
    uint32_t m_startTime = 0;
    uint32_t m_currentTime = 0;
};
