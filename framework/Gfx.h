// CGfx: the images and the font that several screens share, and the screen-space quads drawn
// with them. One object per process, reached through g_pGfx; all drawing goes through g_pDevice.
#pragma once

#include "platform/D3DX9.h"

#include <cstddef>
#include <cstdint>

// The pre-transformed vertex of all drawing (FVF 0x144, 28 bytes).
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

#define SCREEN_VERTEX_FVF (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)

// ---- Drawing helpers of every screen ----

// Releases the object and clears the pointer; nothing for a null pointer.
template <typename T> void ReleaseObject(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// Stage 0 samples `texture` (coordinates 0, the given filter for both minification and
// magnification) and combines it with the vertex colour: colour by `colourOp` with the texture
// as first and the vertex colour as second argument, alpha modulated.
void SetModulateStage(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture,
                      DWORD colourOp = D3DTOP_MODULATE, D3DTEXTUREFILTERTYPE filter = D3DTEXF_LINEAR);

// A quad in triangle-strip order (top-left, bottom-left, top-right, bottom-right), one colour.
void MakeQuad(ScreenVertex (&vertices)[4], float left, float top, float right, float bottom, D3DCOLOR colour,
              float u0, float v0, float u1, float v1);
// Draws it as two triangles of SCREEN_VERTEX_FVF with the states already set.
void DrawQuad(IDirect3DDevice9* device, const ScreenVertex (&vertices)[4]);

// A bold Verdana `height` pixels high in the character set `charSet`, the face of every text.
HRESULT CreateBoldVerdana(IDirect3DDevice9* device, int height, BYTE charSet, ID3DXFont** font);

// Level 0 of a managed texture (or the rectangle `area` of it) locked for as long as the object
// lives, when `hr` succeeded. A pitch shorter than `rowBytes` would make row copies overrun the
// level, so it counts as a failed lock.
class CTextureLock {
  public:
    CTextureLock(IDirect3DTexture9* texture, DWORD flags, size_t rowBytes, const RECT* area = nullptr);
    ~CTextureLock();
    CTextureLock(const CTextureLock&) = delete;
    CTextureLock& operator=(const CTextureLock&) = delete;

    uint8_t* Row(int y) const {
        return static_cast<uint8_t*>(rect.pBits) + static_cast<ptrdiff_t>(y) * rect.Pitch;
    }

    HRESULT hr;
    D3DLOCKED_RECT rect{};

  private:
    IDirect3DTexture9* m_texture;
};

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
