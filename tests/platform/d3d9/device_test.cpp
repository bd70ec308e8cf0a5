// The two Direct3D 9 devices: this source is built once against the OpenGL device (DEVICE_GL,
// under Xvfb) and once against the recording device. The Conformance cases check Direct3D's rules
// the same way on both; drawing cases render into an offscreen target and read its pixels (the
// OpenGL device's framebuffer, or the recording device's clears and flat quads painted from its
// log). Then each device's own contract: the OpenGL device's pixels, batching and presenting; the
// recording device's log, snapshots and failure knobs, the yardstick of every drawing test.
#include "platform/Direct3D9.h"
#include "tests/platform/d3d9/WindowedParameters.h"
#include "tests/platform/d3dx/LogFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#if DEVICE_GL
#include "platform/linux/Hooks.h"
#include "platform/linux/d3d9/Objects.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#else
#include "platform/test/RecordingDevice.h"
#endif

namespace {

struct Vertex {
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class Conformance : public ::testing::Test {
  protected:
    void SetUp() override {
#if DEVICE_GL
        // SDL's video stays up for the whole run: quitting it would unload the OpenGL driver, and
        // the leak checker could no longer tell the driver's own allocations from ours.
        static bool videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        ASSERT_TRUE(videoStarted) << SDL_GetError();
        m_window = SDL_CreateWindow("d3d9", 0, 0, 800, 600, SDL_WINDOW_OPENGL);
        ASSERT_NE(m_window, nullptr) << SDL_GetError();
#endif
#if !DEVICE_GL
        ResetRecording();
#endif
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        ASSERT_EQ(CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &m_device), D3D_OK);
        m_device->SetFVF(kFvf);
    }

    void TearDown() override {
        if (m_device) {
            EXPECT_EQ(m_device->Release(), 0u);
        }
        if (m_d3d)
            m_d3d->Release();
#if DEVICE_GL
        if (m_window)
            SDL_DestroyWindow(static_cast<SDL_Window*>(m_window));
#else
        ResetRecording();
#endif
    }

    D3DPRESENT_PARAMETERS Parameters() {
        return WindowedParameters(static_cast<HWND>(m_window));
    }

    HRESULT CreateDevice(DWORD flags, IDirect3DDevice9** out) {
        D3DPRESENT_PARAMETERS p = Parameters();
        return m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.hDeviceWindow, flags, &p, out);
    }

    // The device as a full-screen device switched away from: TestCooperativeLevel answers lost
    // once, then not-reset.
    void Lose() {
#if DEVICE_GL
        layer::ForceDeviceLoss(m_device, 1);
#else
        static_cast<CRecordingDevice*>(m_device)->LoseDevice();
#endif
    }

    // The current render target's pixels, top row first.
    std::vector<DWORD> Pixels() {
        UINT w = 0, h = 0;
#if DEVICE_GL
        std::vector<DWORD> pixels = layer::ReadRenderTarget(m_device, &w, &h);
#else
        auto* m_recorder = static_cast<CRecordingDevice*>(m_device);
        IDirect3DSurface9* target = m_recorder->CurrentRenderTarget();
        D3DSURFACE_DESC desc{};
        target->GetDesc(&desc);
        w = desc.Width;
        h = desc.Height;
        std::vector<DWORD> pixels(size_t(w) * h, 0);
        for (const RecordedCall& call : m_recorder->Calls()) {
            if (FAILED(call.result))
                continue;
            if (call.kind == CallKind::Clear && call.object == target) {
                std::fill(pixels.begin(), pixels.end(), call.args[2]);
            } else if (call.draw != size_t(-1) &&
                       m_recorder->Draws()[call.draw].state.renderTarget == target) {
                // Flat quads: the box of the vertices in the first vertex's colour.
                const std::vector<RecordedVertex>& v = m_recorder->Draws()[call.draw].vertices;
                auto [left, right] =
                    std::minmax_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.x < b.x; });
                auto [top, bottom] =
                    std::minmax_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.y < b.y; });
                for (UINT y = UINT(top->y); y < UINT(bottom->y) && y < h; ++y)
                    for (UINT x = UINT(left->x); x < UINT(right->x) && x < w; ++x)
                        pixels[y * w + x] = v[0].diffuse;
            }
        }
#endif
        m_width = w;
        return pixels;
    }
    DWORD At(const std::vector<DWORD>& pixels, UINT x, UINT y) {
        return pixels[y * m_width + x];
    }

    IDirect3DTexture9* Texture(UINT w, UINT h, DWORD usage = 0, D3DPOOL pool = D3DPOOL_MANAGED) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(w, h, 1, usage, D3DFMT_A8R8G8B8, pool, &texture, nullptr), D3D_OK);
        return texture;
    }
    IDirect3DTexture9* Target() {
        return Texture(32, 16, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    }
    IDirect3DSurface9* Level(IDirect3DTexture9* texture) {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
        return surface;
    }
    IDirect3DSurface9* BackBuffer() {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(m_device->GetRenderTarget(0, &surface), D3D_OK);
        return surface;
    }
    HRESULT Present() {
        return m_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    HRESULT Quad(float x0, float y0, float x1, float y1, DWORD color, float u0 = 0, float v0 = 0,
                 float u1 = 1, float v1 = 1) {
        Vertex v[4] = {{x0, y0, 0, 1, color, u0, v0},
                       {x0, y1, 0, 1, color, u0, v1},
                       {x1, y0, 0, 1, color, u1, v0},
                       {x1, y1, 0, 1, color, u1, v1}};
        return m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
    }
    DWORD* Row(const D3DLOCKED_RECT& locked, int y) {
        return reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
    }

    void* m_window = nullptr; // the SDL window of the OpenGL device
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    UINT m_width = 0; // of the last Pixels()
};

TEST_F(Conformance, ReferenceCounts) {
    IDirect3DTexture9* texture = Texture(4, 4);
    EXPECT_EQ(m_device->AddRef(), 3u); // the test's, the texture's and this one
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner->Release(), 3u);
    EXPECT_EQ(m_device->Release(), 2u);

    IDirect3DSurface9* level = Level(texture); // counts on its texture
    EXPECT_EQ(texture->AddRef(), 3u);
    texture->Release();
    EXPECT_EQ(level->Release(), 1u);

    // The back buffer counts its own references and holds the device while it is held.
    IDirect3DSurface9* backBuffer = BackBuffer();
    EXPECT_EQ(backBuffer->AddRef(), 2u);
    EXPECT_EQ(backBuffer->Release(), 1u);
    EXPECT_EQ(m_device->AddRef(), 4u);
    m_device->Release();

    // The device holds its render target; a bound texture is not held.
    IDirect3DTexture9* target = Target();
    level = Level(target);
    ASSERT_EQ(m_device->SetRenderTarget(0, level), D3D_OK);
    EXPECT_EQ(level->Release(), 2u);
    EXPECT_EQ(m_device->SetRenderTarget(0, backBuffer), D3D_OK);
    EXPECT_EQ(backBuffer->Release(), 0u);
    m_device->SetTexture(0, target);
    EXPECT_EQ(target->Release(), 0u);
    m_device->SetTexture(0, texture);
    EXPECT_EQ(texture->Release(), 0u);

    // A leaked resource shows as a count above 0 on the device's last release.
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(28 * 6, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    EXPECT_EQ(m_device->Release(), 1u);
    m_device = nullptr;
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(Conformance, LossAndReset) {
    D3DPRESENT_PARAMETERS p = Parameters();
    IDirect3DTexture9* managed = Texture(4, 4);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    Row(locked, 0)[1] = 0xFF123456u;
    managed->UnlockRect(0);

    ASSERT_EQ(Present(), D3D_OK);
    Lose();
    EXPECT_EQ(Present(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->Reset(&p), D3DERR_DEVICELOST); // cannot be restored yet
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    // Default-pool resources must go first, the render target the device holds included.
    IDirect3DTexture9* target = Target();
    IDirect3DSurface9 *level = Level(target), *backBuffer = BackBuffer();
    m_device->SetRenderTarget(0, level);
    level->Release();
    target->Release();
    EXPECT_EQ(m_device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(Present(), D3DERR_DEVICELOST);
    m_device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    EXPECT_EQ(m_device->Reset(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Reset(&p), D3D_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(Present(), D3D_OK);

    // A refused Reset leaves a device that was fine needing one.
    target = Target();
    EXPECT_EQ(m_device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target->Release();
    EXPECT_EQ(m_device->Reset(&p), D3D_OK);

    // Managed textures keep their contents.
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(Row(locked, 0)[1], 0xFF123456u);
    managed->UnlockRect(0);
    managed->Release();
}

TEST_F(Conformance, TextureLocks) {
    IDirect3DTexture9* texture = Texture(4, 3);
    D3DLOCKED_RECT locked{};
    RECT outside{2, 0, 5, 1}, empty{1, 1, 1, 2}, negative{-1, 0, 1, 1};
    struct {
        UINT level;
        D3DLOCKED_RECT* out;
        const RECT* rect;
    } refused[] = {{1, &locked, nullptr},
                   {0, nullptr, nullptr},
                   {0, &locked, &outside},
                   {0, &locked, &empty},
                   {0, &locked, &negative}};
    for (const auto& c : refused)
        EXPECT_EQ(texture->LockRect(c.level, c.out, c.rect, 0), D3DERR_INVALIDCALL) << &c - refused;
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL); // not locked

    // Rows lie the given pitch apart; a rectangle starts at its own corner.
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // locked already
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            Row(locked, y)[x] = DWORD(0xFF000000 | y << 8 | x);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    RECT part{1, 1, 3, 3};
    ASSERT_EQ(texture->LockRect(0, &locked, &part, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(Row(locked, 0)[0], 0xFF000101u);
    EXPECT_EQ(Row(locked, 1)[1], 0xFF000202u);
    texture->UnlockRect(0);
    texture->Release();

    IDirect3DTexture9* target = Target();
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    target->Release();
}

TEST_F(Conformance, RefusedCalls) {
    D3DCAPS9 caps{};
    ASSERT_EQ(m_device->GetDeviceCaps(&caps), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    struct {
        UINT width, height;
        DWORD usage;
        D3DPOOL pool;
    } textures[] = {{0, 4, 0, D3DPOOL_MANAGED},
                    {caps.MaxTextureWidth + 1, 4, 0, D3DPOOL_MANAGED},
                    {4, caps.MaxTextureHeight + 1, 0, D3DPOOL_MANAGED},
                    {4, 4, D3DUSAGE_RENDERTARGET, D3DPOOL_MANAGED}};
    for (const auto& c : textures) {
        EXPECT_EQ(m_device->CreateTexture(c.width, c.height, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, &texture,
                                          nullptr),
                  D3DERR_INVALIDCALL)
            << &c - textures;
        EXPECT_EQ(texture, nullptr);
    }
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(m_device->CreateVertexBuffer(0, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(m_device->BeginScene(), D3D_OK);
    EXPECT_EQ(m_device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->EndScene(), D3D_OK);

    // Only render-target surfaces can be drawn into.
    texture = Texture(4, 4);
    IDirect3DSurface9* level = Level(texture);
    EXPECT_EQ(m_device->SetRenderTarget(0, level), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    level->Release();
    texture->Release();
}

// A vertex buffer may be locked again while locked; each Lock needs its Unlock, and nothing draws
// from it (nor outside a scene) until then.
TEST_F(Conformance, DrawsIntoAnOffscreenTargetWithinTheRules) {
    IDirect3DTexture9* target = Target();
    IDirect3DSurface9 *level = Level(target), *backBuffer = BackBuffer();
    ASSERT_EQ(m_device->SetRenderTarget(0, level), D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(6 * 28, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void *data = nullptr, *again = nullptr;
    EXPECT_EQ(buffer->Lock(100, 100, &data, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    ASSERT_EQ(buffer->Lock(28, 28, &again, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(again) - static_cast<BYTE*>(data), 28);
    auto corner = [](float x, float y, DWORD color) { return Vertex{x, y, 0, 1, color, 0, 0}; };
    Vertex list[6] = {corner(2, 2, 0xFFFF00FF),  corner(10, 2, 0xFFFF00FF),  corner(2, 10, 0xFFFF00FF),
                      corner(10, 2, 0xFFFF00FF), corner(10, 10, 0xFFFF00FF), corner(2, 10, 0xFFFF00FF)};
    Vertex strip[4] = {corner(20, 4, 0xFF00FF00), corner(28, 4, 0xFF00FF00), corner(20, 12, 0xFF00FF00),
                       corner(28, 12, 0xFF00FF00)};
    std::memcpy(data, list, sizeof list);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    m_device->SetStreamSource(0, buffer, 0, 28);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL); // outside a scene
    ASSERT_EQ(m_device->BeginScene(), D3D_OK);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000080, 1, 0), D3D_OK);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL); // locked once more
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 2), D3DERR_INVALIDCALL); // past the end
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(m_device->EndScene(), D3D_OK);

    std::vector<DWORD> p = Pixels();
    ASSERT_EQ(m_width, 32u);
    struct {
        UINT x, y;
        DWORD color;
    } expected[] = {{2, 2, 0xFF00FF},  {9, 9, 0xFF00FF},   {10, 10, 0x000080},
                    {20, 4, 0x00FF00}, {27, 11, 0x00FF00}, {28, 12, 0x000080}};
    for (const auto& e : expected)
        EXPECT_EQ(At(p, e.x, e.y) & 0xFFFFFF, e.color) << e.x << ", " << e.y;
    m_device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    level->Release();
    target->Release();
    buffer->Release();
}

#if DEVICE_GL
// What only the OpenGL device can get wrong: pixels, batching, presenting.

int Red(DWORD c) {
    return int(c >> 16 & 255);
}
// The largest difference between the red, green and blue of two colours.
int Distance(DWORD a, DWORD b) {
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(int(a >> shift & 255) - int(b >> shift & 255)));
    return most;
}

// The game's usual states, inside a scene.
class D3D9Device : public Conformance {
  protected:
    void SetUp() override {
        Conformance::SetUp();
        if (HasFatalFailure())
            return;
        Prepare();
        m_device->BeginScene();
    }
    SDL_Window* Window() const { return static_cast<SDL_Window*>(m_window); }

    // Blending with source alpha, modulate, point filtering.
    void Prepare() {
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        Stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        Filter(D3DTEXF_POINT);
    }

    void Stage(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
               DWORD alphaArg2) {
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG2, colorArg2);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, alphaArg2);
    }

    void Filter(DWORD filter) {
        m_device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    }

    IDirect3DTexture9* Filled(UINT w, UINT h, const std::function<DWORD(UINT, UINT)>& texel) {
        IDirect3DTexture9* texture = Texture(w, h);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                Row(locked, int(y))[x] = texel(x, y);
        texture->UnlockRect(0);
        return texture;
    }
};

TEST_F(D3D9Device, StageZeroCombinationsOfTheGame) {
    IDirect3DTexture9* texture = Filled(4, 4, [](UINT, UINT) { return D3DCOLOR_ARGB(0x80, 200, 100, 50); });
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 0), 1, 0);
    m_device->SetTexture(0, texture);

    // Modulate colour and alpha: (200, 100, 50) x (255, 128, 255), alpha 0x80 x 1 over black.
    Quad(0, 0, 10, 10, D3DCOLOR_ARGB(255, 255, 128, 255));
    // Select the texture colour, alpha disabled: opaque whatever the texture's alpha.
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(10, 0, 20, 10, D3DCOLOR_ARGB(255, 0, 255, 0));
    // Shadow: the diffuse colour (argument 2) with texture alpha x diffuse alpha.
    Stage(D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(20, 0, 30, 10, D3DCOLOR_ARGB(255, 0, 0, 255));
    // Flat quad: no texture, so the "texture" is opaque white and modulate yields the diffuse.
    m_device->SetTexture(0, nullptr);
    Stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(30, 0, 40, 10, D3DCOLOR_ARGB(255, 10, 20, 30));
    // Source alpha and inverse source alpha over white (cleared there alone); then unblended.
    D3DRECT white{40, 0, 56, 10};
    m_device->Clear(1, &white, D3DCLEAR_TARGET, 0xFFFFFFFF, 1, 0);
    Quad(40, 0, 48, 8, D3DCOLOR_ARGB(0x40, 0, 0, 255));
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Quad(48, 0, 56, 8, D3DCOLOR_ARGB(0x40, 0, 0, 255));

    std::vector<DWORD> p = Pixels();
    EXPECT_LE(Distance(At(p, 5, 5), D3DCOLOR_ARGB(0, 100, 25, 25)), 2) << std::hex << At(p, 5, 5);
    EXPECT_LE(Distance(At(p, 15, 5), D3DCOLOR_ARGB(0, 200, 100, 50)), 1) << std::hex << At(p, 15, 5);
    EXPECT_LE(Distance(At(p, 25, 5), D3DCOLOR_ARGB(0, 0, 0, 128)), 2) << std::hex << At(p, 25, 5);
    EXPECT_LE(Distance(At(p, 35, 5), D3DCOLOR_ARGB(0, 10, 20, 30)), 1) << std::hex << At(p, 35, 5);
    EXPECT_LE(Distance(At(p, 44, 4), D3DCOLOR_ARGB(0, 191, 191, 255)), 2) << std::hex << At(p, 44, 4);
    EXPECT_EQ(At(p, 52, 4) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(At(p, 52, 9), 0xFFFFFFFFu);
    texture->Release();
}

TEST_F(D3D9Device, PointAndLinearFilteringAndWrapping) {
    // Two texels, black and white, stretched over 64 pixels.
    IDirect3DTexture9* bw = Filled(2, 1, [](UINT x, UINT) { return x ? 0xFFFFFFFFu : 0xFF000000u; });
    m_device->SetTexture(0, bw);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Quad(0, 0, 64, 4, 0xFFFFFFFF);
    Filter(D3DTEXF_LINEAR);
    Quad(0, 4, 64, 8, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    EXPECT_EQ(At(p, 31, 1) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(At(p, 32, 1) & 0xFFFFFF, 0xFFFFFFu);
    int middle = Red(At(p, 32, 6));
    EXPECT_GT(middle, 100);
    EXPECT_LT(middle, 155);
    EXPECT_EQ(At(p, 2, 6) & 0xFFFFFF, 0x000000u);
    bw->Release();

    // Wrap (the default): u from 0 to 3.9 over 156 pixels repeats a 4-texel row every 40 pixels.
    IDirect3DTexture9* row = Filled(4, 1, [](UINT x, UINT) { return 0xFF000000u | (x * 60 + 10) << 16; });
    m_device->SetTexture(0, row);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    Filter(D3DTEXF_POINT);
    Quad(0, 10, 156, 14, 0xFFFFFFFF, 0, 0, 3.9f, 1);
    p = Pixels();
    for (UINT x : {5u, 45u, 85u, 125u})
        EXPECT_EQ(Red(At(p, x, 12)), 10) << x;
    for (UINT x : {35u, 75u, 115u})
        EXPECT_EQ(Red(At(p, x, 12)), 190) << x;
    EXPECT_EQ(Red(At(p, 155, 12)), 190);
    row->Release();
}

TEST_F(D3D9Device, PixelCentresMatchDirect3D) {
    // A 32 x 32 quad from integer coordinates shows each texel of a 32 x 32 texture exactly once.
    auto texel = [](UINT x, UINT y) { return D3DCOLOR_ARGB(255, x * 8, y * 8, 77); };
    IDirect3DTexture9* texture = Filled(32, 32, texel);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    m_device->SetTexture(0, texture);
    Quad(0, 0, 32, 32, 0xFFFFFFFF);
    Quad(100, 200, 132, 232, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    for (UINT oy : {0u, 200u}) {
        UINT ox = oy ? 100 : 0;
        int wrong = 0;
        for (UINT y = 0; y < 32; ++y)
            for (UINT x = 0; x < 32; ++x)
                wrong += (At(p, ox + x, oy + y) & 0xFFFFFF) != (texel(x, y) & 0xFFFFFF);
        EXPECT_EQ(wrong, 0);
        for (UINT i = 0; i < 33; ++i) {
            EXPECT_EQ(At(p, ox + 32, oy + i) & 0xFFFFFF, 0u) << "column right of the quad, row " << i;
            EXPECT_EQ(At(p, ox + i, oy + 32) & 0xFFFFFF, 0u) << "row below the quad, column " << i;
        }
        if (ox > 0) {
            EXPECT_EQ(At(p, ox - 1, oy) & 0xFFFFFF, 0u);
        }
    }
    texture->Release();

    // Linear filtering on a 1:1 quad samples pixel i at u = i / width, halfway between texels
    // i - 1 and i, as Direct3D 9 does (OpenGL's own convention would hit the texel centres).
    IDirect3DTexture9* row =
        Filled(4, 1, [](UINT x, UINT) { return D3DCOLOR_ARGB(255, (x % 2) * 200, 0, 0); });
    m_device->SetTexture(0, row);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Filter(D3DTEXF_LINEAR);
    Quad(300, 300, 304, 301, 0xFFFFFFFF);
    p = Pixels();
    EXPECT_EQ(Red(At(p, 300, 300)), 0);
    for (UINT x = 301; x < 304; ++x)
        EXPECT_NEAR(Red(At(p, x, 300)), 100, 2) << x;
    row->Release();
}

TEST_F(D3D9Device, RenderTargetTextureIsDrawnIntoThenSampledTheRightWayUp) {
    IDirect3DTexture9* target = Target();
    IDirect3DSurface9 *backBuffer = BackBuffer(), *surface = Level(target);
    ASSERT_EQ(m_device->SetRenderTarget(0, surface), D3D_OK);
    m_device->SetTexture(0, nullptr);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Quad(0, 0, 32, 8, 0xFFFF0000); // top half red
    Quad(0, 8, 32, 16, 0xFF0000FF);
    m_device->SetRenderTarget(0, backBuffer);
    surface->Release();
    backBuffer->Release();

    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0);
    m_device->SetTexture(0, target);
    Quad(100, 100, 132, 132, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    EXPECT_EQ(At(p, 110, 102), 0xFFFF0000u);
    EXPECT_EQ(At(p, 110, 130), 0xFF0000FFu);
    EXPECT_EQ(At(p, 99, 99) & 0xFFFFFF, 0x00FF00u);
    target->Release();
}

TEST_F(D3D9Device, FullScreenCoversTheDesktopAndResetsBackToAWindow) {
    m_device->Release();
    m_device = nullptr;
    D3DPRESENT_PARAMETERS p = Parameters();
    p.Windowed = FALSE;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    ASSERT_EQ(m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, static_cast<HWND>(m_window),
                                  D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &m_device),
              D3D_OK);
    EXPECT_TRUE(SDL_GetWindowFlags(Window()) & SDL_WINDOW_FULLSCREEN);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GE(mode.Width, 800u);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1, 0);
    EXPECT_EQ(Present(), D3D_OK);
    UINT w = 0, h = 0;
    std::vector<DWORD> shown = layer::ReadPresentedFrame(m_device, &w, &h);
    EXPECT_EQ(w, 800u); // the frame keeps its size; only the window scales it
    EXPECT_EQ(h, 600u);

    p = Parameters();
    EXPECT_EQ(m_device->Reset(&p), D3D_OK);
    EXPECT_FALSE(SDL_GetWindowFlags(Window()) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(D3D9Device, GammaRampAppliesToThePresentedFrameOnly) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 10, 100, 200), 1, 0);
    ASSERT_EQ(Present(), D3D_OK);
    UINT w = 0, h = 0;
    std::vector<DWORD> shown = layer::ReadPresentedFrame(m_device, &w, &h);
    ASSERT_EQ(w * h, 800u * 600u);
    EXPECT_EQ(shown[300 * 800 + 400], D3DCOLOR_ARGB(255, 10, 100, 200)); // identity by default

    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i) {
        ramp.red[i] = WORD((255 - i) * 257);
        ramp.green[i] = WORD(((i + 28) % 256) * 257);
        ramp.blue[i] = WORD(i * 257);
    }
    m_device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 10, 100, 200), 1, 0);
    ASSERT_EQ(Present(), D3D_OK);
    shown = layer::ReadPresentedFrame(m_device, &w, &h);
    EXPECT_EQ(shown[0], D3DCOLOR_ARGB(255, 245, 128, 200));
    EXPECT_EQ(shown[599 * 800 + 799], D3DCOLOR_ARGB(255, 245, 128, 200));
    EXPECT_EQ(Pixels()[0] & 0xFFFFFF, 0x0A64C8u);
}

// An unchanged scene redrawn every refresh costs nothing: a frame that repeats the one before
// (clears, states, vertices, texture contents) is shown again without drawing; any change, a
// texture's texels included, draws the frame.
TEST_F(D3D9Device, AFrameThatRepeatsTheLastIsShownWithoutBeingDrawnAgain) {
    DWORD colour = D3DCOLOR_ARGB(255, 200, 0, 0);
    IDirect3DTexture9* texture = Filled(4, 4, [&](UINT, UINT) { return colour; });
    m_device->SetTexture(0, texture);
    float left = 0;
    auto frame = [&] {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 80), 1, 0);
        Quad(left, 0, left + 10, 10, 0xFFFFFFFF);
        unsigned long long before = layer::GetDrawCallCount(m_device);
        EXPECT_EQ(Present(), D3D_OK);
        UINT w = 0, h = 0;
        std::vector<DWORD> shown = layer::ReadPresentedFrame(m_device, &w, &h);
        return std::make_pair(layer::GetDrawCallCount(m_device) - before, shown[5 * 800 + 5]);
    };
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    EXPECT_EQ(frame(), std::make_pair(0ull, colour));
    colour = D3DCOLOR_ARGB(255, 0, 200, 0);
    texture->Release();
    texture = Filled(4, 4, [&](UINT, UINT) { return colour; });
    m_device->SetTexture(0, texture);
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    left = 2;
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    // A read-back in the middle of a frame sends it at once; the frame still shows.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 80), 1, 0);
    Quad(left, 0, left + 10, 10, 0xFFFFFFFF);
    EXPECT_EQ(At(Pixels(), 5, 5), colour);
    EXPECT_EQ(Present(), D3D_OK);
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    texture->Release();
}

// An idle scene is not put into the window again; whatever may have changed what the window
// shows is: a new frame, an exposure or other window event, a gamma ramp, a reset.
TEST_F(D3D9Device, ARepeatedFrameReachesTheWindowOnlyWhenTheWindowNeedsIt) {
    DWORD colour = D3DCOLOR_ARGB(255, 0, 0, 80);
    D3DGAMMARAMP identity;
    for (int i = 0; i < 256; ++i)
        identity.red[i] = identity.green[i] = identity.blue[i] = WORD(i * 257);
    auto window = [&](Uint8 what) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(Window());
        e.window.event = what;
        SDL_PushEvent(&e);
        SDL_FlushEvent(SDL_WINDOWEVENT);
    };
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"first frame", [] {}},
        {"repeated", [] {}},
        {"new colour", [&] { colour = D3DCOLOR_ARGB(255, 0, 80, 0); }},
        {"repeated", [] {}},
        {"exposed", [&] { window(SDL_WINDOWEVENT_EXPOSED); }},
        {"pointer enters", [&] { window(SDL_WINDOWEVENT_ENTER); }},
        {"resized", [&] { window(SDL_WINDOWEVENT_SIZE_CHANGED); }},
        {"gamma ramp", [&] { m_device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &identity); }},
        {"reset",
         [&] {
             D3DPRESENT_PARAMETERS p = Parameters();
             EXPECT_EQ(m_device->Reset(&p), D3D_OK);
         }},
        {"repeated", [] {}},
    };
    const unsigned long expected[] = {1, 0, 1, 0, 1, 0, 1, 1, 1, 0};
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].second();
        const unsigned long before = layer::GetWindowPresentCount(m_device);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1, 0);
        EXPECT_EQ(Present(), D3D_OK);
        EXPECT_EQ(layer::GetWindowPresentCount(m_device) - before, expected[i]) << steps[i].first;
        UINT w = 0, h = 0;
        EXPECT_EQ(layer::ReadPresentedFrame(m_device, &w, &h)[0], colour) << steps[i].first;
    }
}

// The settings read when a device is made, and the refusal of hardware vertex processing.
TEST_F(D3D9Device, EnvironmentAndHooksShapeANewDevice) {
    m_device->Release();
    m_device = nullptr;
    // A folder of this run's own: two runs at once must not read each other's frames.
    std::string pattern = ::testing::TempDir() + "d3d9_dump_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    std::string folder = pattern + "/";
    setenv("D3D9_MAX_TEXTURE_SIZE", "256", 1);
    setenv("D3D9_LOSE_DEVICE_AT_FRAME", "4", 1);
    setenv("D3D9_DUMP_PATH", (folder + "gl%%frame%03d.png").c_str(), 1);
    setenv("D3D9_DUMP_FRAMES", "2,3", 1);
    layer::SetRefuseHardwareVertexProcessing(true);
    IDirect3DDevice9* other = nullptr;
    EXPECT_TRUE(FAILED(CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &other)));
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(CreateDevice(D3DCREATE_SOFTWARE_VERTEXPROCESSING, &m_device), D3D_OK);
    layer::SetRefuseHardwareVertexProcessing(false);
    for (const char* name :
         {"D3D9_MAX_TEXTURE_SIZE", "D3D9_LOSE_DEVICE_AT_FRAME", "D3D9_DUMP_PATH", "D3D9_DUMP_FRAMES"})
        unsetenv(name);

    D3DCAPS9 caps{};
    ASSERT_EQ(m_device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureWidth, 256u);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_TRUE(
        FAILED(m_device->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)));
    ASSERT_EQ(m_device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 1u); // one level only
    texture->Release();

    for (int frame = 1; frame <= 3; ++frame) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, frame, 50, 200), 1, 0);
        ASSERT_EQ(Present(), D3D_OK);
    }
    EXPECT_EQ(Present(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    // The pixels of the dumped frames are read by the end-to-end tests.
    EXPECT_FALSE(std::ifstream(folder + "gl%frame001.png").good());
    for (const char* name : {"gl%frame002.png", "gl%frame003.png"}) {
        char signature[8] = {};
        std::ifstream(folder + name, std::ios::binary).read(signature, 8);
        EXPECT_EQ(std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8), 0) << name;
    }
    std::filesystem::remove_all(pattern);
}

TEST(D3D9FramePattern, OnlyOneIntegerConversionReachesPrintf) {
    std::string prefix, conversion, suffix;
    EXPECT_TRUE(layer::d3d9::SplitFramePattern("/tmp/run/frame%04d.png", prefix, conversion, suffix));
    EXPECT_EQ(prefix + "|" + conversion + "|" + suffix, "/tmp/run/frame|%04d|.png");
    EXPECT_TRUE(layer::d3d9::SplitFramePattern("100%%/f%d", prefix, conversion, suffix));
    EXPECT_EQ(prefix + "|" + conversion + "|" + suffix, "100%/f|%d|");
    for (const char* bad : {"frame.png", "%s.png", "%d-%d.png", "%n", "%9999999d", "f%"})
        EXPECT_FALSE(layer::d3d9::SplitFramePattern(bad, prefix, conversion, suffix)) << bad;

    EXPECT_TRUE(layer::d3d9::FrameSelected("every:5", 10));
    EXPECT_FALSE(layer::d3d9::FrameSelected("every:5", 11));
    EXPECT_FALSE(layer::d3d9::FrameSelected("every:0", 1));
    EXPECT_TRUE(layer::d3d9::FrameSelected("1, 30,100", 30));
    EXPECT_FALSE(layer::d3d9::FrameSelected("1,30,100", 3));
}

TEST_F(D3D9Device, MergedAndSeparateDrawsGiveTheSamePixels) {
    IDirect3DTexture9* texture =
        Filled(16, 16, [](UINT x, UINT y) { return D3DCOLOR_ARGB(x * 16 + 15, y * 16, 255 - x * 16, 128); });
    auto key = [](int i) { return (i % 7 == 0) * 2 + (i % 11 == 0); };
    unsigned long long runs = 0;
    for (int i = 0; i < 300; ++i)
        runs += i == 0 || key(i) != key(i - 1);
    auto scene = [&] {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1, 0);
        for (int i = 0; i < 300; ++i) {
            m_device->SetTexture(0, texture);
            bool shadow = i % 7 == 0;
            Stage(shadow ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
                  D3DTA_TEXTURE, D3DTA_DIFFUSE);
            Filter(i % 11 == 0 ? D3DTEXF_POINT : D3DTEXF_LINEAR);
            m_device->SetFVF(0x144);
            float x = float((i * 37) % 760), y = float((i * 53) % 560);
            Quad(x, y, x + 40.5f, y + 33, D3DCOLOR_ARGB(200 + i % 56, 255, i % 256, 255));
        }
        return Pixels();
    };
    unsigned long long before = layer::GetDrawCallCount(m_device);
    std::vector<DWORD> merged = scene();
    unsigned long long mergedDraws = layer::GetDrawCallCount(m_device) - before;
    layer::SetDrawMerging(false);
    std::vector<DWORD> separate = scene();
    unsigned long long separateDraws = layer::GetDrawCallCount(m_device) - before - mergedDraws;
    layer::SetDrawMerging(true);
    EXPECT_TRUE(merged == separate);
    EXPECT_EQ(separateDraws, 300u);
    EXPECT_EQ(mergedDraws, runs); // one draw per run of equal states

    // Repeating the same states does not split a batch; a real change does.
    before = layer::GetDrawCallCount(m_device);
    for (int i = 0; i < 50; ++i) {
        Prepare();
        m_device->SetTexture(0, texture);
        Quad(float(i), 0, float(i) + 10, 10, 0xFFFFFFFF);
    }
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Quad(0, 0, 10, 10, 0xFFFFFFFF);
    Pixels();
    EXPECT_EQ(layer::GetDrawCallCount(m_device) - before, 2u);
    texture->Release();
}

TEST_F(D3D9Device, LockedBitsAreBlueGreenRedAlphaRowsPitchApart) {
    IDirect3DTexture9* texture = Texture(3, 2);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            BYTE* t = static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * 4;
            t[0] = BYTE(1 + x), t[1] = BYTE(2 + y), t[2] = 3, t[3] = 0xF4;
        }
    texture->UnlockRect(0);

    // A rectangle is read and written on its own, its rows the given pitch apart.
    RECT right{1, 0, 3, 2};
    ASSERT_EQ(texture->LockRect(0, &locked, &right, 0), D3D_OK);
    EXPECT_EQ(Row(locked, 1)[0], 0xF4030302u);
    Row(locked, 1)[1] = 0xF4090909u;
    texture->UnlockRect(0);

    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    m_device->SetTexture(0, texture);
    Quad(0, 0, 3, 2, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    EXPECT_EQ(At(p, 0, 0), 0xF4030201u);
    EXPECT_EQ(At(p, 1, 1), 0xF4030302u);
    EXPECT_EQ(At(p, 2, 1), 0xF4090909u);
    texture->Release();
}

#else

class RecordingDeviceTest : public Conformance {
  protected:
    void SetUp() override {
        Conformance::SetUp();
        m_recorder = static_cast<CRecordingDevice*>(m_device);
        m_recorder->ClearRecording();
    }
    CRecordingDevice* m_recorder = nullptr;
};

TEST_F(RecordingDeviceTest, DrawsKeepTheStateAndVerticesOfTheirMoment) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(m_recorder->CreateTexture(64, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    m_recorder->BeginScene();
    m_recorder->SetTexture(0, texture);
    m_recorder->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_recorder->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_recorder->SetFVF(0x144);
    Quad(10, 20, 30, 40, 0xFF112233);
    m_recorder->SetTexture(0, nullptr);
    m_recorder->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    Quad(99, 20, 30, 40, 0xFF112233); // the first draw keeps its own copy
    m_recorder->EndScene();

    ASSERT_EQ(m_recorder->Draws().size(), 2u);
    const RecordedDraw& first = m_recorder->Draws()[0];
    EXPECT_EQ(first.state.texture, texture);
    EXPECT_EQ(first.state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_SELECTARG1));
    EXPECT_EQ(first.state.Stage(D3DTSS_ALPHAOP), DWORD(D3DTOP_SELECTARG1)); // Direct3D's default
    EXPECT_EQ(first.state.Sampler(D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(first.state.Sampler(D3DSAMP_MAGFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(first.state.Render(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(first.state.fvf, 0x144u);
    EXPECT_EQ(first.state.renderTarget, m_recorder->BackBuffer());
    ASSERT_EQ(first.vertices.size(), 4u);
    EXPECT_EQ(first.vertices[0].x, 10);
    EXPECT_EQ(first.vertices[3].y, 40);
    EXPECT_EQ(first.vertices[1].diffuse, 0xFF112233u);
    EXPECT_EQ(first.vertices[2].u, 1);
    const RecordedDraw& second = m_recorder->Draws()[1];
    EXPECT_EQ(second.state.texture, nullptr);
    EXPECT_EQ(second.state.Render(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
    EXPECT_EQ(second.vertices[0].x, 99);

    std::vector<std::string> expected = {"CreateTexture(64, 32, 1, 0, 21, 1)",
                                         "BeginScene()",
                                         "SetTexture(0)",
                                         "SetTextureStageState(0, 1, 2)",
                                         "SetSamplerState(0, 6, 2)",
                                         "SetFVF(324)",
                                         "DrawPrimitiveUP(5, 2, 28)",
                                         "SetTexture(0)",
                                         "SetRenderState(27, 1)",
                                         "DrawPrimitiveUP(5, 2, 28)",
                                         "EndScene()"};
    EXPECT_EQ(m_recorder->CallLog(), expected);
    EXPECT_EQ(m_recorder->Calls()[6].draw, 0u);
    texture->Release();
}

TEST_F(RecordingDeviceTest, FailureKnobs) {
    IDirect3DTexture9* texture = nullptr;
    m_recorder->knobs.maxTextureSize = 256;
    D3DCAPS9 caps{};
    m_recorder->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.MaxTextureWidth, 256u);
    EXPECT_EQ(m_recorder->CreateTexture(512, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    m_recorder->knobs.failCreateTextureCall = 3;
    EXPECT_EQ(m_recorder->CreateTexture(256, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    texture->Release();
    EXPECT_TRUE(
        FAILED(m_recorder->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)));
    m_recorder->knobs.failLockRect = true;
    m_recorder->knobs.failCreateTextureCall = 0;
    ASSERT_EQ(m_recorder->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_TRUE(FAILED(texture->LockRect(0, &locked, nullptr, 0)));
    texture->Release();
    m_recorder->knobs.failClear = m_recorder->knobs.failBeginScene = m_recorder->knobs.failVertexBufferLock =
        true;
    EXPECT_TRUE(FAILED(m_recorder->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0)));
    EXPECT_TRUE(FAILED(m_recorder->BeginScene()));
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(m_recorder->CreateVertexBuffer(28, 0, 0x144, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_TRUE(FAILED(buffer->Lock(0, 0, &data, 0)));
    buffer->Release();
    m_recorder->knobs.failCreateVertexBuffer = true;
    EXPECT_TRUE(FAILED(m_recorder->CreateVertexBuffer(28, 0, 0x144, D3DPOOL_MANAGED, &buffer, nullptr)));
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(RecordingDeviceTest, LossAndResetKnobs) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    m_recorder->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_recorder->knobs.loseDeviceAtPresent = 2;
    m_recorder->knobs.lostTestsBeforeNotReset = 2;
    EXPECT_EQ(m_recorder->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(m_recorder->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(m_recorder->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_recorder->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_recorder->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    m_recorder->knobs.failReset = true;
    EXPECT_EQ(m_recorder->Reset(&pp), D3DERR_INVALIDCALL);
    m_recorder->knobs.failReset = false;
    EXPECT_EQ(m_recorder->Reset(&pp), D3D_OK);
    EXPECT_EQ(m_recorder->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(m_recorder->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(m_recorder->RenderState(D3DRS_LIGHTING), DWORD(TRUE)); // states are back at their defaults

    D3DGAMMARAMP ramp{};
    ramp.green[255] = 0x1234;
    m_recorder->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    ramp.green[255] = 0;
    ASSERT_EQ(m_recorder->GammaRamps().size(), 1u);
    EXPECT_EQ(m_recorder->GammaRamps()[0].green[255], 0x1234);
}

TEST_F(RecordingDeviceTest, FontCallsAreRecordedInOrderWithTheDraws) {
    const LOGFONTA lf = MakeLogFont();
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontIndirect(m_recorder, &lf, &font), D3D_OK);
    m_recorder->BeginScene();
    Quad(0, 0, 1, 1, 0);
    font->Begin();
    RECT rect{30, 540, 800, 600};
    EXPECT_EQ(font->DrawTextA("00:01:02", -1, &rect, DT_NOCLIP | DT_VCENTER, 0xFF000000), 16);
    font->DrawTextA("abcdef", 3, &rect, DT_RIGHT, 0xFFFFFFFF);
    font->End();
    m_recorder->EndScene();

    std::vector<std::string> expected = {"CreateFont(16, 700, 238)",
                                         "BeginScene()",
                                         "DrawPrimitiveUP(5, 2, 28)",
                                         "FontBegin()",
                                         "FontDrawText(-1, 260, 0xFF000000, 30, 540, 800, 600)",
                                         "FontDrawText(3, 2, -1, 30, 540, 800, 600)",
                                         "FontEnd()",
                                         "EndScene()"};
    EXPECT_EQ(m_recorder->CallLog(), expected);
    ASSERT_EQ(m_recorder->Texts().size(), 2u);
    EXPECT_EQ(m_recorder->Texts()[0].text, "00:01:02");
    EXPECT_STREQ(m_recorder->Texts()[0].logFont.lfFaceName, "Verdana");
    EXPECT_EQ(m_recorder->Texts()[1].text, "abc");
    EXPECT_EQ(m_recorder->AddRef(), 3u); // the test's, the font's and this one
    m_recorder->Release();
    EXPECT_EQ(font->Release(), 0u);

    g_recordingSettings.failFontCreation = true;
    EXPECT_TRUE(FAILED(D3DXCreateFontIndirect(m_recorder, &lf, &font)));
    EXPECT_EQ(font, nullptr);
}

#endif

} // namespace
