// The screen-space drawing every screen uses: the vertex, the quad, the texture-stage settings,
// the font face, a texture lock; and CGfx, the images and the font that several screens share,
// owned by the application and handed to the screens that draw them.
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

// Stage 0 shows the vertex colour alone: no texture, colour the diffuse, no alpha operation.
void SetDiffuseStage(IDirect3DDevice9* device);

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
    // The device the font and the drawing use (LoadTextures sets it too).
    explicit CGfx(IDirect3DDevice9* device = nullptr) : m_device(device) {}
    ~CGfx() = default;

    // Loads the images with the device, which the font and the drawing then use too. Throws
    // CError for the first image that cannot be loaded; earlier ones stay loaded.
    void LoadTextures(IDirect3DDevice9* device);
    void ReleaseTextures();
    void CreateTextFont();
    void ReleaseTextFont();

    // Drawing: only between BeginScene and EndScene. Each call sets every state it needs.
    void DrawDesktop(float width, float height, float scrollX, float scrollY);
    void DrawLogo();
    void DrawTexturedQuad(float left, float top, float right, float bottom, IDirect3DTexture9* texture);
    // The 32 x 32 cursor with its hot spot, the top-left corner, at client point (x, y).
    void DrawCursor(int x, int y);

    IDirect3DTexture9* cursorTexture = nullptr;
    IDirect3DTexture9* desktopTexture = nullptr;
    IDirect3DTexture9* logoTexture = nullptr;
    IDirect3DTexture9* buttonsTexture = nullptr;
    ID3DXFont* textFont = nullptr;

  private:
    IDirect3DDevice9* m_device = nullptr;
};

// Process-wide values maintained by the application, for the application: the screens are
// handed what they draw with.
extern IDirect3DDevice9* g_pDevice;
extern CGfx* g_pGfx;
extern int g_cursorX;
extern int g_cursorY;
