// What only the OpenGL Direct3D 9 device can get wrong (Direct3D's rules are checked on both
// devices by conformance_test.cpp): drawing into real framebuffers (run under Xvfb with Mesa's
// software OpenGL), batching, presenting; pixels are read back from the render target or the
// presented frame.
#include "platform/Direct3D9.h"
#include "platform/linux/Hooks.h"

#include "platform/linux/d3d9/Objects.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <functional>
#include <vector>

namespace {

struct Vertex {
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
static_assert(sizeof(Vertex) == 28);

struct Rgba {
    int a, r, g, b;
};
Rgba Split(DWORD c) {
    return {int(c >> 24), int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255)};
}

#define EXPECT_COLOR_NEAR(actual, expected, tolerance)                                                       \
    do {                                                                                                     \
        Rgba a_ = Split(actual), e_ = Split(expected);                                                       \
        EXPECT_NEAR(a_.r, e_.r, tolerance) << std::hex << (actual) << " vs " << (expected);                  \
        EXPECT_NEAR(a_.g, e_.g, tolerance) << std::hex << (actual) << " vs " << (expected);                  \
        EXPECT_NEAR(a_.b, e_.b, tolerance) << std::hex << (actual) << " vs " << (expected);                  \
    } while (0)

class D3D9Device : public ::testing::Test {
  protected:
    void SetUp() override {
        // SDL's video stays up for the whole run: quitting it would unload the OpenGL driver, and
        // the leak checker could no longer tell the driver's own allocations from ours.
        static bool videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        ASSERT_TRUE(videoStarted) << SDL_GetError();
        window = SDL_CreateWindow("d3d9", 0, 0, 800, 600, SDL_WINDOW_OPENGL);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        ASSERT_EQ(CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), D3D_OK);
        Prepare();
        device->BeginScene();
    }

    void TearDown() override {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d)
            d3d->Release();
        if (window)
            SDL_DestroyWindow(window);
    }

    D3DPRESENT_PARAMETERS Parameters() {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 800;
        p.BackBufferHeight = 600;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = reinterpret_cast<HWND>(window);
        p.Windowed = TRUE;
        p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return p;
    }

    HRESULT CreateDevice(DWORD flags, IDirect3DDevice9** out) {
        D3DPRESENT_PARAMETERS p = Parameters();
        return d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(window), flags,
                                 &p, out);
    }

    // The game's usual states: blending with source alpha, modulate, point filtering.
    void Prepare() {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        Stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        Filter(D3DTEXF_POINT);
        device->SetFVF(0x144);
    }

    void Stage(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
               DWORD alphaArg2) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, colorArg2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, alphaArg2);
    }

    void Filter(DWORD filter) {
        device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    }

    IDirect3DTexture9* Texture(UINT w, UINT h, const std::function<DWORD(UINT, UINT)>& texel) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                    texel(x, y);
        texture->UnlockRect(0);
        return texture;
    }

    HRESULT Quad(float x0, float y0, float x1, float y1, DWORD color, float u0 = 0, float v0 = 0,
                 float u1 = 1, float v1 = 1) {
        Vertex v[4] = {{x0, y0, 0, 1, color, u0, v0},
                       {x0, y1, 0, 1, color, u0, v1},
                       {x1, y0, 0, 1, color, u1, v0},
                       {x1, y1, 0, 1, color, u1, v1}};
        return device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
    }

    std::vector<DWORD> Pixels() {
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = layer::ReadRenderTarget(device, &w, &h);
        width = w;
        return pixels;
    }
    DWORD At(const std::vector<DWORD>& pixels, UINT x, UINT y) { return pixels[y * width + x]; }

    SDL_Window* window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    UINT width = 0;
};

TEST_F(D3D9Device, StageZeroCombinationsOfTheGame) {
    IDirect3DTexture9* texture = Texture(4, 4, [](UINT, UINT) { return D3DCOLOR_ARGB(0x80, 200, 100, 50); });
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 0), 1, 0);
    device->SetTexture(0, texture);

    // Modulate colour and alpha: (200, 100, 50) x (255, 128, 255), alpha 0x80 x 1 over black.
    Quad(0, 0, 10, 10, D3DCOLOR_ARGB(255, 255, 128, 255));
    // Select the texture colour, alpha disabled: opaque whatever the texture's alpha.
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(10, 0, 20, 10, D3DCOLOR_ARGB(255, 0, 255, 0));
    // Shadow: the diffuse colour (argument 2) with texture alpha x diffuse alpha.
    Stage(D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(20, 0, 30, 10, D3DCOLOR_ARGB(255, 0, 0, 255));
    // Flat quad: no texture, so the "texture" is opaque white and modulate yields the diffuse.
    device->SetTexture(0, nullptr);
    Stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(30, 0, 40, 10, D3DCOLOR_ARGB(255, 10, 20, 30));

    std::vector<DWORD> p = Pixels();
    EXPECT_COLOR_NEAR(At(p, 5, 5), D3DCOLOR_ARGB(0, 100, 25, 25), 2);
    EXPECT_COLOR_NEAR(At(p, 15, 5), D3DCOLOR_ARGB(0, 200, 100, 50), 1);
    EXPECT_COLOR_NEAR(At(p, 25, 5), D3DCOLOR_ARGB(0, 0, 0, 128), 2);
    EXPECT_COLOR_NEAR(At(p, 35, 5), D3DCOLOR_ARGB(0, 10, 20, 30), 1);
    texture->Release();
}

TEST_F(D3D9Device, BlendsWithSourceAlphaAndInverseSourceAlpha) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 255, 255), 1, 0);
    device->SetTexture(0, nullptr);
    Quad(0, 0, 8, 8, D3DCOLOR_ARGB(0x40, 0, 0, 255));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Quad(8, 0, 16, 8, D3DCOLOR_ARGB(0x40, 0, 0, 255));
    std::vector<DWORD> p = Pixels();
    EXPECT_COLOR_NEAR(At(p, 4, 4), D3DCOLOR_ARGB(0, 191, 191, 255), 2);
    EXPECT_COLOR_NEAR(At(p, 12, 4), D3DCOLOR_ARGB(0, 0, 0, 255), 0);
}

TEST_F(D3D9Device, PointAndLinearFilteringAndWrapping) {
    // Two texels, black and white, stretched over 64 pixels.
    IDirect3DTexture9* bw = Texture(2, 1, [](UINT x, UINT) { return x ? 0xFFFFFFFFu : 0xFF000000u; });
    device->SetTexture(0, bw);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Quad(0, 0, 64, 4, 0xFFFFFFFF);
    Filter(D3DTEXF_LINEAR);
    Quad(0, 4, 64, 8, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    EXPECT_EQ(At(p, 31, 1) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(At(p, 32, 1) & 0xFFFFFF, 0xFFFFFFu);
    int middle = Split(At(p, 32, 6)).r;
    EXPECT_GT(middle, 100);
    EXPECT_LT(middle, 155);
    EXPECT_EQ(At(p, 2, 6) & 0xFFFFFF, 0x000000u);
    bw->Release();

    // Wrap (the default): u from 0 to 3.9 over 156 pixels repeats a 4-texel row every 40 pixels.
    IDirect3DTexture9* row = Texture(4, 1, [](UINT x, UINT) { return 0xFF000000u | (x * 60 + 10) << 16; });
    device->SetTexture(0, row);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    Filter(D3DTEXF_POINT);
    Quad(0, 10, 156, 14, 0xFFFFFFFF, 0, 0, 3.9f, 1);
    p = Pixels();
    for (UINT x : {5u, 45u, 85u, 125u})
        EXPECT_EQ(Split(At(p, x, 12)).r, 10) << x;
    for (UINT x : {35u, 75u, 115u})
        EXPECT_EQ(Split(At(p, x, 12)).r, 190) << x;
    EXPECT_EQ(Split(At(p, 155, 12)).r, 190);
    row->Release();
}

TEST_F(D3D9Device, PixelCentresMatchDirect3D) {
    // A 32 x 32 quad from integer coordinates shows each texel of a 32 x 32 texture exactly once.
    auto texel = [](UINT x, UINT y) { return D3DCOLOR_ARGB(255, x * 8, y * 8, 77); };
    IDirect3DTexture9* texture = Texture(32, 32, texel);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    device->SetTexture(0, texture);
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
        Texture(4, 1, [](UINT x, UINT) { return D3DCOLOR_ARGB(255, (x % 2) * 200, 0, 0); });
    device->SetTexture(0, row);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Filter(D3DTEXF_LINEAR);
    Quad(300, 300, 304, 301, 0xFFFFFFFF);
    p = Pixels();
    EXPECT_EQ(Split(At(p, 300, 300)).r, 0);
    for (UINT x = 301; x < 304; ++x)
        EXPECT_NEAR(Split(At(p, x, 300)).r, 100, 2) << x;
    row->Release();
}

TEST_F(D3D9Device, RenderTargetTextureIsDrawnIntoThenSampledTheRightWayUp) {
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    &target, nullptr),
              D3D_OK);
    IDirect3DSurface9 *backBuffer = nullptr, *surface = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1, 0);
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Quad(0, 0, 16, 8, 0xFFFF0000); // top half red
    Quad(0, 8, 16, 16, 0xFF0000FF);
    device->SetRenderTarget(0, backBuffer);
    surface->Release();
    backBuffer->Release();

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0);
    device->SetTexture(0, target);
    Quad(100, 100, 132, 132, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    EXPECT_EQ(At(p, 110, 102), 0xFFFF0000u);
    EXPECT_EQ(At(p, 110, 130), 0xFF0000FFu);
    EXPECT_EQ(At(p, 99, 99) & 0xFFFFFF, 0x00FF00u);
    target->Release();
}

TEST_F(D3D9Device, FullScreenCoversTheDesktopAndResetsBackToAWindow) {
    device->Release();
    device = nullptr;
    D3DPRESENT_PARAMETERS p = Parameters();
    p.Windowed = FALSE;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(window),
                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device),
              D3D_OK);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GE(mode.Width, 800u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1, 0);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    UINT w = 0, h = 0;
    std::vector<DWORD> shown = layer::ReadPresentedFrame(device, &w, &h);
    EXPECT_EQ(w, 800u); // the frame keeps its size; only the window scales it
    EXPECT_EQ(h, 600u);

    p = Parameters();
    EXPECT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(D3D9Device, EnvironmentLosesTheDeviceAtAChosenFrame) {
    device->Release();
    device = nullptr;
    setenv("D3D9_LOSE_DEVICE_AT_FRAME", "3", 1);
    ASSERT_EQ(CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), D3D_OK);
    unsetenv("D3D9_LOSE_DEVICE_AT_FRAME");
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
}

TEST_F(D3D9Device, GammaRampAppliesToThePresentedFrameOnly) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 10, 100, 200), 1, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    UINT w = 0, h = 0;
    std::vector<DWORD> shown = layer::ReadPresentedFrame(device, &w, &h);
    ASSERT_EQ(w * h, 800u * 600u);
    EXPECT_EQ(shown[300 * 800 + 400], D3DCOLOR_ARGB(255, 10, 100, 200)); // identity by default

    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i) {
        ramp.red[i] = WORD((255 - i) * 257);
        ramp.green[i] = WORD(((i + 28) % 256) * 257);
        ramp.blue[i] = WORD(i * 257);
    }
    device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 10, 100, 200), 1, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    shown = layer::ReadPresentedFrame(device, &w, &h);
    EXPECT_EQ(shown[0], D3DCOLOR_ARGB(255, 245, 128, 200));
    EXPECT_EQ(shown[599 * 800 + 799], D3DCOLOR_ARGB(255, 245, 128, 200));
    EXPECT_EQ(Pixels()[0] & 0xFFFFFF, 0x0A64C8u);
}

// An unchanged scene redrawn every refresh costs nothing: a frame that repeats the one before
// (clears, states, vertices, texture contents) is shown again without drawing; any change, a
// texture's texels included, draws the frame.
TEST_F(D3D9Device, AFrameThatRepeatsTheLastIsShownWithoutBeingDrawnAgain) {
    DWORD colour = D3DCOLOR_ARGB(255, 200, 0, 0);
    IDirect3DTexture9* texture = Texture(4, 4, [&](UINT, UINT) { return colour; });
    device->SetTexture(0, texture);
    float left = 0;
    auto frame = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 80), 1, 0);
        Quad(left, 0, left + 10, 10, 0xFFFFFFFF);
        unsigned long long before = layer::GetDrawCallCount(device);
        EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        UINT w = 0, h = 0;
        std::vector<DWORD> shown = layer::ReadPresentedFrame(device, &w, &h);
        return std::make_pair(layer::GetDrawCallCount(device) - before, shown[5 * 800 + 5]);
    };
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    EXPECT_EQ(frame(), std::make_pair(0ull, colour));
    colour = D3DCOLOR_ARGB(255, 0, 200, 0);
    texture->Release();
    texture = Texture(4, 4, [&](UINT, UINT) { return colour; });
    device->SetTexture(0, texture);
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    left = 2;
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    // A read-back in the middle of a frame sends it at once; the frame still shows.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 80), 1, 0);
    Quad(left, 0, left + 10, 10, 0xFFFFFFFF);
    EXPECT_EQ(At(Pixels(), 5, 5), colour);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(frame(), std::make_pair(1ull, colour));
    texture->Release();
}

// Decodes the PNGs the device writes (8-bit RGB, filter 0 on every row) into D3DCOLOR values.
std::vector<DWORD> ReadPng(const std::string& path, UINT* width, UINT* height) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 8)
        return {};
    auto be = [&](size_t at) {
        return DWORD(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    };
    std::vector<unsigned char> packed;
    for (size_t at = 8; at + 12 <= file.size();) {
        DWORD length = be(at);
        std::string type(file.begin() + at + 4, file.begin() + at + 8);
        if (type == "IHDR")
            *width = be(at + 8), *height = be(at + 12);
        if (type == "IDAT")
            packed.insert(packed.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
        DWORD crc = DWORD(crc32(0, file.data() + at + 4, length + 4));
        if (crc != be(at + 8 + length))
            return {};
        at += 12 + length;
    }
    uLongf rawSize = uLongf(*height) * (1 + *width * 3);
    std::vector<unsigned char> raw(rawSize);
    if (uncompress(raw.data(), &rawSize, packed.data(), uLong(packed.size())) != Z_OK)
        return {};
    std::vector<DWORD> pixels;
    for (UINT y = 0; y < *height; ++y) {
        const unsigned char* row = raw.data() + y * (1 + *width * 3);
        if (row[0] != 0)
            return {};
        for (UINT x = 0; x < *width; ++x)
            pixels.push_back(D3DCOLOR_ARGB(255, row[1 + x * 3], row[2 + x * 3], row[3 + x * 3]));
    }
    return pixels;
}

TEST_F(D3D9Device, DumpsTheSelectedPresentedFramesAsPng) {
    device->Release();
    device = nullptr;
    std::string folder = ::testing::TempDir();
    std::string pattern = folder + "gl%%frame%03d.png";
    setenv("D3D9_DUMP_PATH", pattern.c_str(), 1);
    setenv("D3D9_DUMP_FRAMES", "2,3", 1);
    ASSERT_EQ(CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), D3D_OK);
    unsetenv("D3D9_DUMP_PATH");
    unsetenv("D3D9_DUMP_FRAMES");
    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = WORD((255 - i) * 257);
    device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    for (int frame = 1; frame <= 3; ++frame) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, frame, 50, 200), 1, 0);
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    EXPECT_FALSE(std::ifstream(folder + "gl%frame001.png").good());
    UINT w = 0, h = 0;
    std::vector<DWORD> frame2 = ReadPng(folder + "gl%frame002.png", &w, &h);
    ASSERT_EQ(frame2.size(), 800u * 600u);
    EXPECT_EQ(frame2[0], D3DCOLOR_ARGB(255, 253, 205, 55));
    EXPECT_EQ(ReadPng(folder + "gl%frame003.png", &w, &h).size(), 800u * 600u);
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
        Texture(16, 16, [](UINT x, UINT y) { return D3DCOLOR_ARGB(x * 16 + 15, y * 16, 255 - x * 16, 128); });
    auto key = [](int i) { return (i % 7 == 0) * 2 + (i % 11 == 0); };
    unsigned long long runs = 0;
    for (int i = 0; i < 300; ++i)
        runs += i == 0 || key(i) != key(i - 1);
    auto scene = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1, 0);
        for (int i = 0; i < 300; ++i) {
            device->SetTexture(0, texture);
            bool shadow = i % 7 == 0;
            Stage(shadow ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
                  D3DTA_TEXTURE, D3DTA_DIFFUSE);
            Filter(i % 11 == 0 ? D3DTEXF_POINT : D3DTEXF_LINEAR);
            device->SetFVF(0x144);
            float x = float((i * 37) % 760), y = float((i * 53) % 560);
            Quad(x, y, x + 40.5f, y + 33, D3DCOLOR_ARGB(200 + i % 56, 255, i % 256, 255));
        }
        return Pixels();
    };
    unsigned long long before = layer::GetDrawCallCount(device);
    std::vector<DWORD> merged = scene();
    unsigned long long mergedDraws = layer::GetDrawCallCount(device) - before;
    layer::SetDrawMerging(false);
    std::vector<DWORD> separate = scene();
    unsigned long long separateDraws = layer::GetDrawCallCount(device) - before - mergedDraws;
    layer::SetDrawMerging(true);
    EXPECT_TRUE(merged == separate);
    EXPECT_EQ(separateDraws, 300u);
    EXPECT_EQ(mergedDraws, runs); // one draw per run of equal states

    // Repeating the same states does not split a batch; a real change does.
    before = layer::GetDrawCallCount(device);
    for (int i = 0; i < 50; ++i) {
        Prepare();
        device->SetTexture(0, texture);
        Quad(float(i), 0, float(i) + 10, 10, 0xFFFFFFFF);
    }
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Quad(0, 0, 10, 10, 0xFFFFFFFF);
    Pixels();
    EXPECT_EQ(layer::GetDrawCallCount(device) - before, 2u);
    texture->Release();
}

TEST_F(D3D9Device, RefusesTexturesItCannotMake) {
    device->Release();
    device = nullptr;
    setenv("D3D9_MAX_TEXTURE_SIZE", "256", 1);
    HRESULT created = CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &device);
    unsetenv("D3D9_MAX_TEXTURE_SIZE");
    ASSERT_EQ(created, D3D_OK);
    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureWidth, 256u);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_TRUE(
        FAILED(device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)));
    EXPECT_EQ(texture, nullptr);
    EXPECT_TRUE(
        FAILED(device->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)));
    ASSERT_EQ(device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    texture->Release();
}

TEST_F(D3D9Device, LockedBitsAreBlueGreenRedAlphaRowsPitchApart) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(3, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    ASSERT_GE(locked.Pitch, 12);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            BYTE* t = static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * 4;
            t[0] = BYTE(1 + x), t[1] = BYTE(2 + y), t[2] = 3, t[3] = 0xF4;
        }
    texture->UnlockRect(0);

    RECT one{2, 1, 3, 2};
    ASSERT_EQ(texture->LockRect(0, &locked, &one, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<DWORD*>(locked.pBits), 0xF4030303u);
    texture->UnlockRect(0);

    // A rectangle is read and written on its own, its rows the given pitch apart.
    RECT right{1, 0, 3, 2};
    ASSERT_EQ(texture->LockRect(0, &locked, &right, 0), D3D_OK);
    auto row = [&](int y) {
        return reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
    };
    EXPECT_EQ(row(1)[0], 0xF4030302u);
    row(1)[1] = 0xF4090909u;
    texture->UnlockRect(0);

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device->SetTexture(0, texture);
    Quad(0, 0, 3, 2, 0xFFFFFFFF);
    std::vector<DWORD> p = Pixels();
    EXPECT_EQ(At(p, 0, 0), 0xF4030201u);
    EXPECT_EQ(At(p, 1, 1), 0xF4030302u);
    EXPECT_EQ(At(p, 2, 1), 0xF4090909u);
    texture->Release();
}

TEST_F(D3D9Device, HardwareVertexProcessingCanBeRefused) {
    IDirect3DDevice9* other = nullptr;
    device->Release();
    device = nullptr;
    layer::SetRefuseHardwareVertexProcessing(true);
    EXPECT_TRUE(FAILED(CreateDevice(D3DCREATE_HARDWARE_VERTEXPROCESSING, &other)));
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(CreateDevice(D3DCREATE_SOFTWARE_VERTEXPROCESSING, &device), D3D_OK);
    layer::SetRefuseHardwareVertexProcessing(false);
    ASSERT_NE(device, nullptr);
}

} // namespace
