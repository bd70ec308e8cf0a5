// Shared graphics, recorded by the test device.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "platform/test/RecordingDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

class GfxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetRecording();
        device = new CRecordingDevice();
        gfx = CGfx(device);
        for (IDirect3DTexture9** texture : {&gfx.cursorTexture, &gfx.desktopTexture, &gfx.logoTexture})
            device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture, nullptr);
        device->BeginScene();
        device->ClearRecording();
    }
    void TearDown() override {
        gfx.ReleaseTextFont();
        gfx.ReleaseTextures();
        EXPECT_EQ(device->Release(), 0u);
    }

    CGfx gfx;
    CRecordingDevice* device = nullptr;
};

// Each drawing call sets every state it needs: the states are scrambled before each one, and
// the single quad it draws must come out with the texture, the stage and the filters it needs.
TEST_F(GfxTest, EachQuadSetsItsOwnStatesAndCorners) {
    struct Case {
        const char* name;
        std::function<void()> draw;
        IDirect3DTexture9* texture;
        DWORD colourOp;
        float corners[2][4]; // top-left x, y, u, v; bottom-right x, y, u, v
    };
    const Case cases[] = {
        {"desktop repeats every 256 pixels and moves with the scroll",
         [&] { gfx.DrawDesktop(1000.0f, 700.0f, 10.0f, 20.0f); },
         gfx.desktopTexture,
         D3DTOP_MODULATE,
         {{-10, -20, 0, 0}, {990, 680, 3.90625f, 2.734375f}}},
        {"logo: the middle half, centred, the texture's colours alone",
         [&] { gfx.DrawLogo(); },
         gfx.logoTexture,
         D3DTOP_SELECTARG1,
         {{144, 172, 0, 0.25f}, {656, 428, 1, 0.75f}}},
        {"textured quad stretches the whole texture",
         [&] { gfx.DrawTexturedQuad(12.5f, 30.0f, 140.0f, 62.0f, gfx.logoTexture); },
         gfx.logoTexture,
         D3DTOP_MODULATE,
         {{12.5f, 30, 0, 0}, {140, 62, 1, 1}}},
        {"cursor: 32 pixels from the hot spot, past the frame's edge",
         [&] { gfx.DrawCursor(790, 585); },
         gfx.cursorTexture,
         D3DTOP_MODULATE,
         {{790, 585, 0, 0}, {822, 617, 1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->SetTexture(0, nullptr);
        device->SetFVF(0);
        for (D3DTEXTURESTAGESTATETYPE type :
             {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP, D3DTSS_ALPHAARG1,
              D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX})
            device->SetTextureStageState(0, type, 7);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->ClearRecording();
        c.draw();
        ASSERT_EQ(device->Draws().size(), 1u);
        const RecordedDraw& draw = device->Draws()[0];
        EXPECT_EQ(draw.kind, CallKind::DrawPrimitiveUP);
        EXPECT_EQ(draw.type, D3DPT_TRIANGLESTRIP);
        EXPECT_EQ(draw.state.fvf, 0x144u);
        EXPECT_EQ(draw.state.texture, c.texture);
        const DrawState& s = draw.state;
        EXPECT_EQ(
            (std::vector<DWORD>{s.Stage(D3DTSS_TEXCOORDINDEX), s.Stage(D3DTSS_COLOROP),
                                s.Stage(D3DTSS_COLORARG1), s.Stage(D3DTSS_COLORARG2), s.Stage(D3DTSS_ALPHAOP),
                                s.Stage(D3DTSS_ALPHAARG1), s.Stage(D3DTSS_ALPHAARG2),
                                s.Sampler(D3DSAMP_MINFILTER), s.Sampler(D3DSAMP_MAGFILTER),
                                s.Sampler(D3DSAMP_ADDRESSU)}),
            (std::vector<DWORD>{0, c.colourOp, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE,
                                D3DTA_DIFFUSE, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTADDRESS_WRAP}));
        // Strip order: top-left, bottom-left, top-right, bottom-right; opaque white, z 0, rhw 1.
        ASSERT_EQ(draw.vertices.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const RecordedVertex& v = draw.vertices[i];
            const float* x = c.corners[i / 2];
            const float* y = c.corners[i % 2];
            EXPECT_EQ((std::vector<float>{v.x, v.y, v.u, v.v, v.z, v.rhw}),
                      (std::vector<float>{x[0], y[1], x[2], y[3], 0, 1}))
                << i;
            EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
        }
    }
}

TEST_F(GfxTest, FontIsBoldVerdana16InTheEastEuropeanCharacterSet) {
    gfx.CreateTextFont();
    ASSERT_NE(gfx.textFont, nullptr);
    gfx.textFont->Begin();
    RECT rect = {0, 0, 100, 20};
    gfx.textFont->DrawTextA("ąę", -1, &rect, 0, 0xFFFFFFFF);
    gfx.textFont->End();
    ASSERT_EQ(device->Texts().size(), 1u);
    const LOGFONTA& font = device->Texts()[0].logFont;
    EXPECT_STREQ(font.lfFaceName, "Verdana");
    EXPECT_EQ((std::vector<LONG>{font.lfHeight, font.lfWeight, font.lfCharSet, font.lfWidth, font.lfItalic,
                                 font.lfQuality, font.lfPitchAndFamily}),
              (std::vector<LONG>{16, 700, 238, 0, 0, 0, 0}));
    gfx.ReleaseTextFont();
    EXPECT_EQ(gfx.textFont, nullptr);
}

// Loading stops at the first missing image with its message and line; those before it stay
// loaded until ReleaseTextures. With nothing missing all four load.
TEST_F(GfxTest, LoadsTheFourImagesInOrderUntilOneIsMissing) {
    gfx.ReleaseTextures();
    struct Case {
        const char* file;
        const char* message;
        int line;
        int loadedBefore;
    };
    const Case cases[] = {
        {"Kursor.tga", "Nie można wczytać kursora z pliku Gfx\\Kursor.tga", 44, 0},
        {"Desktop.jpg", "Nie można wczytać obrazu pulpitu z pliku Gfx\\Desktop.jpg", 52, 1},
        {"Logo.jpg", "Nie można wczytać logo z pliku Gfx\\Logo.jpg", 60, 2},
        {"Buttons.png", "Nie można wczytać obrazów przycisków z pliku Gfx\\Buttons.png", 68, 3},
        {"", nullptr, 0, 4},
    };
    for (const Case& c : cases) {
        test::ScratchFolder folder;
        test::WriteGameImages(folder.Path(), c.file);
        try {
            gfx.LoadTextures(device);
            EXPECT_EQ(c.message, nullptr) << c.file << " loaded";
        } catch (const CError& error) {
            EXPECT_EQ(error.kind, ERR_DIRECTX);
            EXPECT_STREQ(error.message, c.message);
            EXPECT_STREQ(error.sourceFile, "Gfx.cpp");
            EXPECT_EQ(error.line, c.line);
            EXPECT_TRUE(FAILED(error.resultCode));
            std::string log = test::ReadWholeFile("Errors.log");
            EXPECT_NE(log.find(std::string("  Komunikat  : ") + c.message + "\r\n"), std::string::npos);
            EXPECT_NE(log.find("  Wiersz     : " + std::to_string(c.line) + "\r\n"), std::string::npos);
        }
        EXPECT_EQ(device->LiveTextures(), c.loadedBefore) << c.file;
        EXPECT_EQ(gfx.buttonsTexture != nullptr, c.loadedBefore == 4) << c.file;
        gfx.ReleaseTextures();
        EXPECT_EQ(device->LiveTextures(), 0);
        EXPECT_EQ(gfx.cursorTexture, nullptr);
    }
}

} // namespace
