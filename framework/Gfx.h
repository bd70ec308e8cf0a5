// CGfx: the images and the font that several screens share, and the screen-space quads drawn
// with them. One object per process, reached through g_pGfx; all drawing goes through g_pDevice.
#pragma once

#include "platform/D3DX9.h"

#include <cstdint>

// The pre-transformed vertex of all drawing (FVF 0x144, 28 bytes).
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

#define SCREEN_VERTEX_FVF (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)

class CGfx {
  public:
    CGfx() = default;
    ~CGfx() = default;

    // Throws CError for the first image that cannot be loaded; earlier ones stay loaded.
    void LoadTextures();
    void ReleaseTextures();
    void CreateTextFont();
    void ReleaseTextFont();

    // Drawing: only between BeginScene and EndScene. Each call sets every state it needs.
    void DrawDesktop(float width, float height, float scrollX, float scrollY);
    void DrawLogo();
    void DrawTexturedQuad(float left, float top, float right, float bottom, IDirect3DTexture9* texture);
    void DrawCursor();

    IDirect3DTexture9* cursorTexture = nullptr;
    IDirect3DTexture9* desktopTexture = nullptr;
    IDirect3DTexture9* logoTexture = nullptr;
    IDirect3DTexture9* buttonsTexture = nullptr;
    ID3DXFont* textFont = nullptr;
};

// Process-wide values maintained by the application.
extern IDirect3DDevice9* g_pDevice;
extern CGfx* g_pGfx;
extern int g_cursorX;
extern int g_cursorY;
