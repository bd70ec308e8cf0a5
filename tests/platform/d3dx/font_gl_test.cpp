// The font on the OpenGL device: the pixels on screen are exactly the glyph coverage the
// recording device shows for the same text, so glyphs are pixel-aligned and crisp (no texel is
// smeared across two pixels) and nothing else is drawn.
#include "platform/D3DX9.h"
#include "platform/linux/Hooks.h"
#include "platform/test/RecordingDevice.h"
#include "tests/platform/d3d9/WindowedParameters.h"
#include "tests/platform/d3dx/LogFont.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

TEST(FontOnOpenGLTest, ScreenPixelsAreTheGlyphCoverage) {
    static bool videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    ASSERT_TRUE(videoStarted) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("font", 0, 0, 800, 600, SDL_WINDOW_OPENGL);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = WindowedParameters(reinterpret_cast<HWND>(window));
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(window),
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    CRecordingDevice* recorder = new CRecordingDevice(&pp);

    const LOGFONTA lf = MakeLogFont();
    ID3DXFont* font = nullptr;
    ID3DXFont* recordedFont = nullptr;
    ASSERT_EQ(D3DXCreateFontIndirect(device, &lf, &font), D3D_OK);
    ASSERT_EQ(D3DXCreateFontIndirect(recorder, &lf, &recordedFont), D3D_OK);
    const char* text = "Gra zosta\xB3"
                       "a zapisana \xAF\xF3\xB3w";
    RECT rect{200, 225, 600, 375};

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    device->BeginScene();
    font->Begin();
    EXPECT_EQ(font->DrawTextA(text, -1, &rect, DT_CENTER | DT_VCENTER | DT_WORDBREAK, 0xFFFFFFFF), 16);
    font->End();
    device->EndScene();
    UINT width = 0, height = 0;
    std::vector<DWORD> pixels = layer::ReadRenderTarget(device, &width, &height);
    ASSERT_EQ(width, 800u);

    recorder->BeginScene();
    recordedFont->DrawTextA(text, -1, &rect, DT_CENTER | DT_VCENTER | DT_WORDBREAK, 0xFFFFFFFF);
    recorder->EndScene();
    ASSERT_EQ(recorder->Draws().size(), 1u);
    const RecordedDraw& draw = recorder->Draws()[0];
    auto* cache = static_cast<CRecordingTexture*>(static_cast<IDirect3DTexture9*>(draw.state.texture));

    // The expected frame: white text with the coverage as alpha, blended over black (and over
    // the neighbour where two glyph boxes overlap).
    std::vector<int> expected(800 * 600, 0);
    for (size_t i = 0; i + 6 <= draw.vertices.size(); i += 6) {
        const RecordedVertex& tl = draw.vertices[i];
        const RecordedVertex& br = draw.vertices[i + 5];
        int x0 = int(std::lround(tl.x + 0.5f)), y0 = int(std::lround(tl.y + 0.5f));
        int tx = int(std::lround(tl.u * 512)), ty = int(std::lround(tl.v * 512));
        for (int y = y0; y < int(std::lround(br.y + 0.5f)); ++y)
            for (int x = x0; x < int(std::lround(br.x + 0.5f)); ++x) {
                int a = int(cache->Texel(UINT(tx + x - x0), UINT(ty + y - y0)) >> 24);
                int& e = expected[y * 800 + x];
                e = int(std::lround(a + e * (255 - a) / 255.0));
            }
    }
    int inked = 0, wrong = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            int red = int((pixels[y * 800 + x] >> 16) & 0xFF);
            inked += expected[y * 800 + x] > 0x80;
            if (std::abs(red - expected[y * 800 + x]) > 2 && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << red << ", coverage "
                              << expected[y * 800 + x];
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(inked, 100);

    EXPECT_EQ(recordedFont->Release(), 0u);
    EXPECT_EQ(recorder->Release(), 0u);
    EXPECT_EQ(font->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
    d3d->Release();
    SDL_DestroyWindow(window);
}

} // namespace
