// The intro screen, recorded by the test device.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "intro/Intro.h"
#include "platform/test/RecordingDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

struct Rect {
    float x0, x1, y0, y1;
    int peak;
    float offsetAtStart; // added to both x at t = 0 (and taken away at t = 7500)
};

// Line 0 layers 0..2, then line 1 layers 0..2, at t = 3750.
const Rect kRects[6] = {
    {-100, 900, -150, 450, 96, 225},  {50, 750, -50, 350, 128, 150}, {200, 600, 50, 250, 255, 75},
    {150, 650, 300, 600, 96, 112.5f}, {225, 575, 350, 550, 128, 75}, {300, 500, 400, 500, 255, 37.5f},
};

class IntroTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetRecording();
        test::WriteGameImages(folder.Path());
        device = new CRecordingDevice();
        intro = std::make_unique<CIntro>(nullptr, device);
    }
    void TearDown() override {
        if (intro) {
            intro->InvalidateDeviceObjects();
            intro->DeleteResources();
            intro.reset();
        }
        EXPECT_EQ(device->Release(), 0u);
    }

    void Start() {
        intro->CreateResources();
        intro->RestoreDeviceObjects();
        device->ClearRecording();
    }

    // The frame's two draws: the logo, then the words' six rectangles over it.
    const std::vector<RecordedDraw>& Render() {
        device->BeginScene();
        device->ClearRecording();
        intro->Render();
        device->EndScene();
        EXPECT_EQ(device->Draws().size(), 2u);
        return device->Draws();
    }

    // Checks the six rectangles at a time when they are shifted by offset times the start offset.
    void ExpectRectangles(const std::vector<RecordedVertex>& v, float offsetFactor, bool peak) {
        ASSERT_EQ(v.size(), 36u);
        for (int r = 0; r < 6; ++r) {
            const Rect& e = kRects[r];
            float dx = e.offsetAtStart * offsetFactor;
            float vt = r < 3 ? 0.0f : 0.5f;
            float vb = r < 3 ? 0.5f : 1.0f;
            const float xs[6] = {e.x0, e.x0, e.x1, e.x0, e.x1, e.x1};
            const float ys[6] = {e.y0, e.y1, e.y0, e.y1, e.y0, e.y1};
            const float us[6] = {0, 0, 1, 0, 1, 1};
            const float vs[6] = {vt, vb, vt, vb, vt, vb};
            for (int i = 0; i < 6; ++i) {
                const RecordedVertex& got = v[6 * r + i];
                EXPECT_NEAR(got.x, xs[i] + dx, 0.01f) << "rect " << r << " vertex " << i;
                EXPECT_EQ((std::vector<float>{got.z, got.rhw, got.u, got.v}),
                          (std::vector<float>{0, 1, us[i], vs[i]}));
                EXPECT_FLOAT_EQ(got.y, ys[i]) << "rect " << r << " vertex " << i;
                DWORD alpha = got.diffuse >> 24;
                EXPECT_EQ(got.diffuse & 0x00FFFFFFu, 0x00FFFFFFu);
                if (peak)
                    EXPECT_TRUE(alpha == static_cast<DWORD>(e.peak) ||
                                alpha + 1 == static_cast<DWORD>(e.peak))
                        << "rect " << r << " alpha " << alpha;
                else
                    EXPECT_EQ(alpha, 0u) << "rect " << r;
            }
        }
    }

    test::ScratchFolder folder;
    CRecordingDevice* device = nullptr;
    std::unique_ptr<CIntro> intro;
};

TEST_F(IntroTest, CreatesAManagedBufferOf36VerticesAndTheTextTexture) {
    intro->CreateResources();
    intro->RestoreDeviceObjects();
    auto buffers = device->CallsOf(CallKind::CreateVertexBuffer);
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(Describe(buffers[0]), "CreateVertexBuffer(1008, 0, 324, 1)");
    EXPECT_EQ(device->LiveTextures(), 2);
    auto creates = device->CallsOf(CallKind::CreateTexture);
    ASSERT_EQ(creates.size(), 2u); // the logo image, then the text texture
    EXPECT_EQ(Describe(creates[1]), "CreateTexture(256, 256, 1, 1, 21, 0)");
    // The words were drawn into the text texture; the frame's render target is back.
    EXPECT_EQ(device->CurrentRenderTarget(), device->BackBuffer());
    auto clears = device->CallsOf(CallKind::Clear);
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(Describe(clears[0]), "Clear(0, 1, 0, 0)");
    EXPECT_NE(clears[0].object, static_cast<const void*>(device->BackBuffer()));
    ASSERT_EQ(device->Texts().size(), 2u);
    const RecordedText& first = device->Texts()[0];
    EXPECT_EQ(first.text, "Tarvenkol");
    EXPECT_STREQ(first.logFont.lfFaceName, "Verdana");
    // Count, left, bottom, format, colour; height, weight, character set.
    EXPECT_EQ(
        (std::vector<int64_t>{first.count, first.rect.left, first.rect.bottom, first.format, first.color,
                              first.logFont.lfHeight, first.logFont.lfWeight, first.logFont.lfCharSet}),
        (std::vector<int64_t>{-1, 0, 127, 0x105, 0xFFFFFFFF, 48, 700, 0}));
    const RecordedText& second = device->Texts()[1];
    EXPECT_EQ(second.text, "prezentuje");
    EXPECT_EQ(second.rect.top, 128);
    EXPECT_EQ(second.rect.bottom, 255);
    // Nothing but the two textures and the buffer holds the device.
    EXPECT_EQ(device->RefCount(), 4u);
}

// The first update fixes the start; then everything slides left and fades in and out again,
// the logo with it. Each time renders the logo quad, then the words' twelve triangles.
TEST_F(IntroTest, SlidesAndFadesOverSevenAndAHalfSecondsThenEnds) {
    Start();
    struct Time {
        uint32_t now;
        float offsetFactor;
        bool peak;
    };
    for (const Time& time : {Time{5000, 1.0f, false}, Time{8750, 0.0f, true}, Time{12500, -1.0f, false}}) {
        SCOPED_TRACE(time.now);
        intro->Update(time.now, 0);
        EXPECT_EQ(intro->GetNextScreen(), 0);
        const std::vector<RecordedDraw>& draws = Render();
        ASSERT_EQ(draws.size(), 2u);
        const RecordedDraw& logo = draws[0];
        EXPECT_EQ(logo.type, D3DPT_TRIANGLESTRIP);
        EXPECT_EQ(logo.primitiveCount, 2u);
        D3DSURFACE_DESC logoDesc{};
        static_cast<IDirect3DTexture9*>(logo.state.texture)->GetLevelDesc(0, &logoDesc);
        EXPECT_EQ(logoDesc.Pool, D3DPOOL_MANAGED); // the logo image, not the words' render target
        EXPECT_EQ(logo.state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
        EXPECT_EQ(logo.state.Stage(D3DTSS_ALPHAOP), DWORD(D3DTOP_MODULATE));
        const float corners[4][4] = {{672, 472, 0, 0}, {672, 600, 0, 1}, {800, 472, 1, 0}, {800, 600, 1, 1}};
        for (int i = 0; i < 4; ++i) {
            const RecordedVertex& v = logo.vertices.at(i);
            EXPECT_EQ((std::vector<float>{v.x, v.y, v.u, v.v}),
                      std::vector<float>(corners[i], corners[i] + 4));
            DWORD alpha = v.diffuse >> 24;
            EXPECT_TRUE(time.peak ? alpha == 255u || alpha == 254u : alpha == 0u) << alpha;
            EXPECT_EQ(v.diffuse & 0x00FFFFFFu, 0x00FFFFFFu);
        }
        const RecordedDraw& words = draws[1];
        EXPECT_EQ(words.kind, CallKind::DrawPrimitive);
        EXPECT_EQ(words.type, D3DPT_TRIANGLELIST);
        EXPECT_EQ(words.primitiveCount, 12u);
        EXPECT_EQ(words.stride, 28u);
        EXPECT_EQ(words.state.fvf, 0x144u);
        D3DSURFACE_DESC wordsDesc{};
        static_cast<IDirect3DTexture9*>(words.state.texture)->GetLevelDesc(0, &wordsDesc);
        EXPECT_EQ(wordsDesc.Usage, DWORD(D3DUSAGE_RENDERTARGET));
        EXPECT_EQ(words.state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
        ExpectRectangles(words.vertices, time.offsetFactor, time.peak);
    }
    intro->Update(12501, 1);
    EXPECT_EQ(intro->GetNextScreen(), 1);
    // Past the end the fade would turn negative: nothing may become visible again.
    const std::vector<RecordedDraw>& draws = Render();
    ASSERT_EQ(draws.size(), 2u);
    for (const RecordedDraw& draw : draws)
        for (const RecordedVertex& v : draw.vertices)
            EXPECT_EQ(v.diffuse >> 24, 0u);
}

TEST_F(IntroTest, KeyOrButtonEndsItEvenBeforeTheFirstUpdate) {
    intro->OnKeyUp('A');
    intro->OnChar('a');
    intro->OnMouseMove(10, 10);
    intro->OnMouseUp(10, 10, 0);
    EXPECT_EQ(intro->GetNextScreen(), 0);
    intro->OnKeyDown('A');
    EXPECT_EQ(intro->GetNextScreen(), 1);
    for (int button = 0; button < 3; ++button) {
        CIntro other(nullptr, device);
        other.OnMouseDown(1, 1, button);
        EXPECT_EQ(other.GetNextScreen(), 1);
    }
    EXPECT_EQ(intro->GetClearColor(), 0xFF000000u);
}

TEST_F(IntroTest, DeviceResetRedrawsTheWordsAndKeepsTheClock) {
    Start();
    intro->Update(2000, 0);
    intro->InvalidateDeviceObjects();
    EXPECT_EQ(device->LiveDefaultPoolResources(), 0);
    intro->RestoreDeviceObjects();
    EXPECT_EQ(device->LiveDefaultPoolResources(), 1);
    EXPECT_EQ(device->Texts().size(), 2u);
    intro->Update(5750, 3750);
    ExpectRectangles(Render().at(1).vertices, 0.0f, true);
}

struct FailureCase {
    const char* name;
    std::function<void(CRecordingDevice&, const std::string&)> arrange;
    int step; // 0 CreateResources, 1 RestoreDeviceObjects, 2 Update
    const char* message;
    int line;
};

TEST_F(IntroTest, EachFailureIsLoggedWithItsMessageAndLine) {
    const FailureCase cases[] = {
        {"buffer", [](CRecordingDevice& d, const std::string&) { d.knobs.failCreateVertexBuffer = true; }, 0,
         "Nie można utworzyć bufora wierzchołków dla intra", 37},
        {"logo",
         [](CRecordingDevice&, const std::string& f) { std::filesystem::remove(f + "/Gfx/Brodmiel.png"); }, 0,
         "Nie można wczytać obrazka z logo Brodmielu", 40},
        {"texture", [](CRecordingDevice& d, const std::string&) { d.knobs.failCreateTextureCall = 2; }, 1,
         "Nie można utworzyć tekstury dla intra", 60},
        {"clear", [](CRecordingDevice& d, const std::string&) { d.knobs.failClear = true; }, 1,
         "Nie można wyczyścić tekstury intra", 68},
        {"font", [](CRecordingDevice&, const std::string&) { g_recordingSettings.failFontCreation = true; },
         1, "Nie można utworzyć czcionki do intra", 75},
        {"lock", [](CRecordingDevice& d, const std::string&) { d.knobs.failVertexBufferLock = true; }, 2,
         "Nie można zablokować bufora wierzchołków intra", 132},
    };
    for (const FailureCase& c : cases) {
        ResetRecording();
        test::WriteGameImages(folder.Path());
        CRecordingDevice* own = new CRecordingDevice();
        CIntro failing(nullptr, own);
        c.arrange(*own, folder.Path());
        try {
            failing.CreateResources();
            if (c.step >= 1)
                failing.RestoreDeviceObjects();
            if (c.step >= 2)
                failing.Update(100, 0);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const CError& error) {
            EXPECT_EQ(error.kind, ERR_DIRECTX) << c.name;
            EXPECT_STREQ(error.message, c.message) << c.name;
            EXPECT_STREQ(error.sourceFile, "intro.cpp") << c.name;
            EXPECT_EQ(error.line, c.line) << c.name;
            EXPECT_TRUE(FAILED(error.resultCode)) << c.name;
        }
        // A failed restore leaves the frame's own render target in place.
        EXPECT_EQ(own->CurrentRenderTarget(), own->BackBuffer()) << c.name;
        failing.InvalidateDeviceObjects();
        failing.DeleteResources();
        EXPECT_EQ(own->Release(), 0u) << c.name;
    }
    ResetRecording();
}

} // namespace
