// Shared graphics and the logo screen, recorded by the test device.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "framework/Logo.h"
#include "platform/test/RecordingDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// The state calls that every modulate quad makes, between SetTexture and the draw.
const Lines kModulateQuad = {
    "SetTexture(0)",
    "SetTextureStageState(0, 11, 0)",
    "SetTextureStageState(0, 1, 4)",
    "SetTextureStageState(0, 2, 2)",
    "SetTextureStageState(0, 3, 0)",
    "SetTextureStageState(0, 4, 4)",
    "SetTextureStageState(0, 5, 2)",
    "SetTextureStageState(0, 6, 0)",
    "SetSamplerState(0, 6, 2)",
    "SetSamplerState(0, 5, 2)",
    "SetFVF(324)",
    "DrawPrimitiveUP(5, 2, 28)",
};

void ExpectVertex(const RecordedVertex& v, float x, float y, float u, float w) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, 0.0f);
    EXPECT_FLOAT_EQ(v.rhw, 1.0f);
    EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, w);
}

class GfxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetRecording();
        device = new CRecordingDevice();
        g_pDevice = device;
        for (IDirect3DTexture9** texture : {&gfx.cursorTexture, &gfx.desktopTexture, &gfx.logoTexture})
            device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture, nullptr);
        device->BeginScene();
        device->ClearRecording();
    }
    void TearDown() override {
        gfx.ReleaseTextFont();
        gfx.ReleaseTextures();
        EXPECT_EQ(device->Release(), 0u);
        g_pDevice = nullptr;
        g_cursorX = g_cursorY = 0;
    }

    const RecordedDraw& OnlyDraw() {
        EXPECT_EQ(device->Draws().size(), 1u);
        return device->Draws().at(0);
    }

    CGfx gfx;
    CRecordingDevice* device = nullptr;
};

TEST_F(GfxTest, DesktopRepeatsEvery256PixelsAndMovesWithTheScroll) {
    gfx.DrawDesktop(1000.0f, 700.0f, 10.0f, 20.0f);
    EXPECT_EQ(device->CallLog(), kModulateQuad);
    const RecordedDraw& draw = OnlyDraw();
    EXPECT_EQ(draw.state.texture, gfx.desktopTexture);
    ASSERT_EQ(draw.vertices.size(), 4u);
    ExpectVertex(draw.vertices[0], -10.0f, -20.0f, 0.0f, 0.0f);
    ExpectVertex(draw.vertices[1], -10.0f, 680.0f, 0.0f, 2.734375f);
    ExpectVertex(draw.vertices[2], 990.0f, -20.0f, 3.90625f, 0.0f);
    ExpectVertex(draw.vertices[3], 990.0f, 680.0f, 3.90625f, 2.734375f);
    EXPECT_EQ(draw.state.Sampler(D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
}

TEST_F(GfxTest, LogoShowsTheMiddleHalfOpaqueAndCentred) {
    gfx.DrawLogo();
    EXPECT_EQ(
        device->CallLog(),
        (Lines{"SetTexture(0)", "SetTextureStageState(0, 11, 0)", "SetTextureStageState(0, 1, 2)",
               "SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 4, 1)", "SetSamplerState(0, 6, 2)",
               "SetSamplerState(0, 5, 2)", "SetFVF(324)", "DrawPrimitiveUP(5, 2, 28)"}));
    const RecordedDraw& draw = OnlyDraw();
    EXPECT_EQ(draw.state.texture, gfx.logoTexture);
    ExpectVertex(draw.vertices[0], 144.0f, 172.0f, 0.0f, 0.25f);
    ExpectVertex(draw.vertices[1], 144.0f, 428.0f, 0.0f, 0.75f);
    ExpectVertex(draw.vertices[2], 656.0f, 172.0f, 1.0f, 0.25f);
    ExpectVertex(draw.vertices[3], 656.0f, 428.0f, 1.0f, 0.75f);
}

TEST_F(GfxTest, TexturedQuadStretchesTheWholeTexture) {
    gfx.DrawTexturedQuad(12.5f, 30.0f, 140.0f, 62.0f, gfx.logoTexture);
    EXPECT_EQ(device->CallLog(), kModulateQuad);
    const RecordedDraw& draw = OnlyDraw();
    EXPECT_EQ(draw.state.texture, gfx.logoTexture);
    ExpectVertex(draw.vertices[0], 12.5f, 30.0f, 0.0f, 0.0f);
    ExpectVertex(draw.vertices[1], 12.5f, 62.0f, 0.0f, 1.0f);
    ExpectVertex(draw.vertices[2], 140.0f, 30.0f, 1.0f, 0.0f);
    ExpectVertex(draw.vertices[3], 140.0f, 62.0f, 1.0f, 1.0f);
}

TEST_F(GfxTest, CursorIs32PixelsFromTheHotSpot) {
    g_cursorX = 0;
    g_cursorY = 0;
    gfx.DrawCursor();
    g_cursorX = 790;
    g_cursorY = 585;
    gfx.DrawCursor();
    ASSERT_EQ(device->Draws().size(), 2u);
    const RecordedDraw& first = device->Draws()[0];
    EXPECT_EQ(first.state.texture, gfx.cursorTexture);
    ExpectVertex(first.vertices[0], 0.0f, 0.0f, 0.0f, 0.0f);
    ExpectVertex(first.vertices[3], 32.0f, 32.0f, 1.0f, 1.0f);
    const RecordedDraw& second = device->Draws()[1];
    ExpectVertex(second.vertices[0], 790.0f, 585.0f, 0.0f, 0.0f);
    ExpectVertex(second.vertices[3], 822.0f, 617.0f, 1.0f, 1.0f);
}

TEST_F(GfxTest, FontIsBoldVerdana16InTheEastEuropeanCharacterSet) {
    gfx.CreateTextFont();
    ASSERT_NE(gfx.textFont, nullptr);
    EXPECT_EQ(device->CallLog(), (Lines{"CreateFont(16, 700, 238)"}));
    gfx.textFont->Begin();
    RECT rect = {0, 0, 100, 20};
    gfx.textFont->DrawTextA("ąę", -1, &rect, 0, 0xFFFFFFFF);
    gfx.textFont->End();
    ASSERT_EQ(device->Texts().size(), 1u);
    const LOGFONTA& font = device->Texts()[0].logFont;
    EXPECT_STREQ(font.lfFaceName, "Verdana");
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(font.lfQuality, 0);
    EXPECT_EQ(font.lfPitchAndFamily, 0);
    gfx.ReleaseTextFont();
    EXPECT_EQ(gfx.textFont, nullptr);
}

TEST_F(GfxTest, FontFailureIsLogged) {
    test::ScratchFolder folder;
    g_recordingSettings.failFontCreation = true;
    try {
        gfx.CreateTextFont();
        FAIL() << "no error";
    } catch (const CError& error) {
        EXPECT_EQ(error.kind, ERR_DIRECTX);
        EXPECT_STREQ(error.message, "Nie można utworzyć czcionki");
        EXPECT_STREQ(error.sourceFile, "Gfx.cpp");
        EXPECT_EQ(error.line, 80);
        EXPECT_EQ(error.resultCode, g_recordingSettings.fontCreationError);
    }
    EXPECT_NE(test::ReadWholeFile("Errors.log").find("  Komunikat  : Nie można utworzyć czcionki\r\n"),
              std::string::npos);
}

TEST_F(GfxTest, LoadsTheFourImagesInOrderAndReleasesThem) {
    gfx.ReleaseTextures();
    test::ScratchFolder folder;
    test::WriteGameImages(folder.Path());
    gfx.LoadTextures();
    EXPECT_NE(gfx.cursorTexture, nullptr);
    EXPECT_NE(gfx.desktopTexture, nullptr);
    EXPECT_NE(gfx.logoTexture, nullptr);
    EXPECT_NE(gfx.buttonsTexture, nullptr);
    EXPECT_EQ(device->LiveTextures(), 4);
    gfx.ReleaseTextures();
    EXPECT_EQ(device->LiveTextures(), 0);
    EXPECT_EQ(gfx.cursorTexture, nullptr);
    EXPECT_EQ(gfx.buttonsTexture, nullptr);
}

TEST_F(GfxTest, MissingImageStopsLoadingWithItsMessageAndLine) {
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
    };
    for (const Case& c : cases) {
        test::ScratchFolder folder;
        test::WriteGameImages(folder.Path(), c.file);
        try {
            gfx.LoadTextures();
            ADD_FAILURE() << c.file << " loaded";
        } catch (const CError& error) {
            EXPECT_EQ(error.kind, ERR_DIRECTX);
            EXPECT_STREQ(error.message, c.message);
            EXPECT_STREQ(error.sourceFile, "Gfx.cpp");
            EXPECT_EQ(error.line, c.line);
            EXPECT_TRUE(FAILED(error.resultCode));
        }
        EXPECT_EQ(device->LiveTextures(), c.loadedBefore) << c.file;
        std::string log = test::ReadWholeFile("Errors.log");
        EXPECT_NE(log.find(std::string("  Komunikat  : ") + c.message + "\r\n"), std::string::npos);
        EXPECT_NE(log.find("  Wiersz     : " + std::to_string(c.line) + "\r\n"), std::string::npos);
        gfx.ReleaseTextures();
        EXPECT_EQ(device->LiveTextures(), 0);
    }
}

TEST(LogoScreen, DrawsTheLogoOnWhiteAndLeavesOnAnyPress) {
    CRecordingDevice* device = new CRecordingDevice();
    CGfx gfx;
    g_pGfx = &gfx;
    g_pDevice = device;
    device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &gfx.logoTexture, nullptr);
    device->BeginScene();
    {
        CLogo logo(nullptr, device);
        EXPECT_EQ(logo.GetClearColor(), 0xFFFFFFFFu);
        EXPECT_EQ(logo.GetNextScreen(), 0);
        logo.Render();
        ASSERT_EQ(device->Draws().size(), 1u);
        EXPECT_EQ(device->Draws()[0].state.texture, gfx.logoTexture);
        EXPECT_FLOAT_EQ(device->Draws()[0].vertices[0].x, 144.0f);
        logo.OnKeyUp(VK_SPACE);
        logo.OnChar('a');
        logo.OnMouseMove(1, 2);
        logo.OnMouseUp(1, 2, 0);
        EXPECT_EQ(logo.GetNextScreen(), 0);
        logo.OnKeyDown(VK_ESCAPE);
        EXPECT_EQ(logo.GetNextScreen(), 2);
    }
    for (int button = 0; button < 3; ++button) {
        CLogo logo(nullptr, device);
        logo.OnMouseDown(5, 6, button);
        EXPECT_EQ(logo.GetNextScreen(), 2) << button;
    }
    gfx.ReleaseTextures();
    EXPECT_EQ(device->Release(), 0u);
    g_pGfx = nullptr;
    g_pDevice = nullptr;
}

} // namespace
