// Direct3D 9's rules, checked the same way on both devices: this source is built once against the
// OpenGL device (DEVICE_GL, under Xvfb) and once against the recording device. Drawing cases
// render into an offscreen target and read its pixels: the OpenGL device's framebuffer, or the
// recording device's clears and flat quads painted from its log.
#include "platform/Direct3D9.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#if DEVICE_GL
#include "platform/linux/Hooks.h"

#include <SDL.h>
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
        window = SDL_CreateWindow("d3d9", 0, 0, 800, 600, SDL_WINDOW_OPENGL);
        ASSERT_NE(window, nullptr) << SDL_GetError();
#endif
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p = Parameters();
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.hDeviceWindow,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
                  D3D_OK);
        device->SetFVF(kFvf);
    }

    void TearDown() override {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d)
            d3d->Release();
#if DEVICE_GL
        if (window)
            SDL_DestroyWindow(static_cast<SDL_Window*>(window));
#endif
    }

    D3DPRESENT_PARAMETERS Parameters() {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 800;
        p.BackBufferHeight = 600;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = static_cast<HWND>(window);
        p.Windowed = TRUE;
        p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return p;
    }

    // The device as a full-screen device switched away from: TestCooperativeLevel answers lost
    // once, then not-reset.
    void Lose() {
#if DEVICE_GL
        layer::ForceDeviceLoss(device, 1);
#else
        static_cast<CRecordingDevice*>(device)->LoseDevice();
#endif
    }

    // The current render target's pixels, top row first.
    std::vector<DWORD> Pixels(UINT* width) {
        UINT w = 0, h = 0;
#if DEVICE_GL
        std::vector<DWORD> pixels = layer::ReadRenderTarget(device, &w, &h);
#else
        auto* recorder = static_cast<CRecordingDevice*>(device);
        IDirect3DSurface9* target = recorder->CurrentRenderTarget();
        D3DSURFACE_DESC desc{};
        target->GetDesc(&desc);
        w = desc.Width;
        h = desc.Height;
        std::vector<DWORD> pixels(size_t(w) * h, 0);
        for (const RecordedCall& call : recorder->Calls()) {
            if (FAILED(call.result))
                continue;
            if (call.kind == CallKind::Clear && call.object == target) {
                std::fill(pixels.begin(), pixels.end(), call.args[2]);
            } else if (call.draw != size_t(-1) && recorder->Draws()[call.draw].state.renderTarget == target) {
                // Flat quads: the box of the vertices in the first vertex's colour.
                const std::vector<RecordedVertex>& v = recorder->Draws()[call.draw].vertices;
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
        *width = w;
        return pixels;
    }

    IDirect3DTexture9* Texture(UINT w, UINT h, DWORD usage = 0, D3DPOOL pool = D3DPOOL_MANAGED) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, 1, usage, D3DFMT_A8R8G8B8, pool, &texture, nullptr), D3D_OK);
        return texture;
    }

    void* window = nullptr; // the SDL window of the OpenGL device
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

TEST_F(Conformance, ReferenceCounts) {
    IDirect3DTexture9* texture = Texture(4, 4);
    EXPECT_EQ(device->AddRef(), 3u); // the test's, the texture's and this one
    EXPECT_EQ(device->Release(), 2u);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    EXPECT_EQ(owner->Release(), 2u);

    // A level counts on its texture.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);
    texture->Release();
    EXPECT_EQ(level->Release(), 1u);

    // The back buffer counts its own references and holds the device while it is held.
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
    EXPECT_EQ(backBuffer->AddRef(), 2u);
    EXPECT_EQ(backBuffer->Release(), 1u);
    EXPECT_EQ(device->AddRef(), 4u);
    device->Release();

    // The device holds its render target; a bound texture is not held.
    IDirect3DTexture9* target = Texture(8, 8, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    ASSERT_EQ(target->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    EXPECT_EQ(level->Release(), 2u);
    EXPECT_EQ(device->SetRenderTarget(0, backBuffer), D3D_OK);
    EXPECT_EQ(backBuffer->Release(), 0u);
    device->SetTexture(0, target);
    EXPECT_EQ(target->Release(), 0u);
    device->SetTexture(0, texture);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(device->AddRef(), 2u);
    device->Release();

    // A leaked resource shows as a count above 0 on the device's last release.
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(28 * 6, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    EXPECT_EQ(device->Release(), 1u);
    device = nullptr;
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(Conformance, LossAndReset) {
    D3DPRESENT_PARAMETERS p = Parameters();
    IDirect3DTexture9* managed = Texture(4, 4);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(locked.pBits)[1] = 0xFF123456u;
    managed->UnlockRect(0);

    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    Lose();
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST); // cannot be restored yet
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    // Default-pool resources must go first, the render target included.
    IDirect3DTexture9* target = Texture(8, 8, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    IDirect3DSurface9 *level = nullptr, *backBuffer = nullptr;
    target->GetSurfaceLevel(0, &level);
    device->GetRenderTarget(0, &backBuffer);
    device->SetRenderTarget(0, level);
    level->Release();
    target->Release();
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // A reset that fails (default-pool texture alive) leaves a device that was fine needing one.
    target = Texture(8, 8, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target->Release();
    EXPECT_EQ(device->Reset(&p), D3D_OK);

    // Managed textures keep their contents.
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(locked.pBits)[1], 0xFF123456u);
    managed->UnlockRect(0);
    managed->Release();
}

TEST_F(Conformance, TextureLocks) {
    IDirect3DTexture9* texture = Texture(4, 3);
    D3DLOCKED_RECT locked{};
    RECT outside{2, 0, 5, 1}, empty{1, 1, 1, 2}, negative{-1, 0, 1, 1};
    struct {
        const char* name;
        UINT level;
        D3DLOCKED_RECT* out;
        const RECT* rect;
    } refused[] = {{"level 1", 1, &locked, nullptr},
                   {"no result", 0, nullptr, nullptr},
                   {"outside", 0, &locked, &outside},
                   {"empty", 0, &locked, &empty},
                   {"negative", 0, &locked, &negative}};
    for (const auto& c : refused)
        EXPECT_EQ(texture->LockRect(c.level, c.out, c.rect, 0), D3DERR_INVALIDCALL) << c.name;
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL); // not locked

    // Rows lie the given pitch apart; a rectangle starts at its own corner.
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // locked already
    ASSERT_GE(locked.Pitch, 16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                DWORD(0xFF000000 | y << 8 | x);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    RECT part{1, 1, 3, 3};
    ASSERT_EQ(texture->LockRect(0, &locked, &part, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x];
    };
    EXPECT_EQ(at(0, 0), 0xFF000101u);
    EXPECT_EQ(at(1, 1), 0xFF000202u);
    texture->UnlockRect(0);
    texture->Release();

    IDirect3DTexture9* target = Texture(8, 8, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    target->Release();
}

TEST_F(Conformance, RefusedCalls) {
    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    struct {
        const char* name;
        UINT width, height;
        DWORD usage;
        D3DPOOL pool;
    } textures[] = {{"no width", 0, 4, 0, D3DPOOL_MANAGED},
                    {"too wide", caps.MaxTextureWidth + 1, 4, 0, D3DPOOL_MANAGED},
                    {"too high", 4, caps.MaxTextureHeight + 1, 0, D3DPOOL_MANAGED},
                    {"managed render target", 4, 4, D3DUSAGE_RENDERTARGET, D3DPOOL_MANAGED}};
    for (const auto& c : textures) {
        EXPECT_EQ(
            device->CreateTexture(c.width, c.height, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, &texture, nullptr),
            D3DERR_INVALIDCALL)
            << c.name;
        EXPECT_EQ(texture, nullptr) << c.name;
    }
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);

    // Only render-target surfaces can be drawn into.
    texture = Texture(4, 4);
    IDirect3DSurface9* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    EXPECT_EQ(device->SetRenderTarget(0, level), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    level->Release();
    texture->Release();
}

// A vertex buffer may be locked again while locked; each Lock needs its Unlock, and nothing draws
// from it (nor outside a scene) until then.
TEST_F(Conformance, DrawsIntoAnOffscreenTargetWithinTheRules) {
    IDirect3DTexture9* target = Texture(32, 16, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    IDirect3DSurface9 *level = nullptr, *backBuffer = nullptr;
    target->GetSurfaceLevel(0, &level);
    device->GetRenderTarget(0, &backBuffer);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);

    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(6 * 28, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void *data = nullptr, *again = nullptr;
    EXPECT_EQ(buffer->Lock(100, 100, &data, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    ASSERT_EQ(buffer->Lock(28, 28, &again, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(again) - static_cast<BYTE*>(data), 28);
    Vertex v[6] = {{2, 2, 0, 1, 0xFFFF00FF, 0, 0},   {10, 2, 0, 1, 0xFFFF00FF, 0, 0},
                   {2, 10, 0, 1, 0xFFFF00FF, 0, 0},  {10, 2, 0, 1, 0xFFFF00FF, 0, 0},
                   {10, 10, 0, 1, 0xFFFF00FF, 0, 0}, {2, 10, 0, 1, 0xFFFF00FF, 0, 0}};
    std::memcpy(data, v, sizeof v);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    device->SetStreamSource(0, buffer, 0, 28);
    device->SetTexture(0, nullptr);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL); // outside a scene
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000080, 1, 0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL); // locked once more
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 2), D3DERR_INVALIDCALL); // past the end
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    Vertex strip[4] = {{20, 4, 0, 1, 0xFF00FF00, 0, 0},
                       {28, 4, 0, 1, 0xFF00FF00, 0, 0},
                       {20, 12, 0, 1, 0xFF00FF00, 0, 0},
                       {28, 12, 0, 1, 0xFF00FF00, 0, 0}};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);

    UINT width = 0;
    std::vector<DWORD> p = Pixels(&width);
    ASSERT_EQ(width, 32u);
    auto at = [&](UINT x, UINT y) { return p[y * width + x] & 0xFFFFFF; };
    EXPECT_EQ(at(2, 2), 0xFF00FFu);
    EXPECT_EQ(at(9, 9), 0xFF00FFu);
    EXPECT_EQ(at(10, 10), 0x000080u);
    EXPECT_EQ(at(20, 4), 0x00FF00u);
    EXPECT_EQ(at(27, 11), 0x00FF00u);
    EXPECT_EQ(at(28, 12), 0x000080u);

    device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    level->Release();
    target->Release();
    buffer->Release();
}

} // namespace
