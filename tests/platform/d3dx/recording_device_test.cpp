// The recording device is the yardstick of every drawing test, so its own contract is checked:
// what it records, what it snapshots and the failure knobs. Direct3D's rules, which it shares
// with the OpenGL device, are checked on both by tests/platform/d3d9/conformance_test.cpp.
#include "platform/test/RecordingDevice.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Quad {
    RecordedVertex v[4];
};

Quad MakeQuad(float left, float top, float right, float bottom, DWORD color) {
    return {{{left, top, 0, 1, color, 0, 0},
             {left, bottom, 0, 1, color, 0, 1},
             {right, top, 0, 1, color, 1, 0},
             {right, bottom, 0, 1, color, 1, 1}}};
}

class RecordingDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetRecording(); }
    void TearDown() override {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        ResetRecording();
    }
    CRecordingDevice* device = new CRecordingDevice();
};

TEST_F(RecordingDeviceTest, DrawsKeepTheStateAndVerticesOfTheirMoment) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    device->BeginScene();
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetFVF(0x144);
    Quad q = MakeQuad(10, 20, 30, 40, 0xFF112233);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q.v, 28);
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    q.v[0].x = 99; // the first draw keeps its own copy
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q.v, 28);
    device->EndScene();

    ASSERT_EQ(device->Draws().size(), 2u);
    const RecordedDraw& first = device->Draws()[0];
    EXPECT_EQ(first.state.texture, texture);
    EXPECT_EQ(first.state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_SELECTARG1));
    EXPECT_EQ(first.state.Stage(D3DTSS_ALPHAOP), DWORD(D3DTOP_SELECTARG1)); // Direct3D's default
    EXPECT_EQ(first.state.Sampler(D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(first.state.Sampler(D3DSAMP_MAGFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(first.state.Render(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(first.state.fvf, 0x144u);
    EXPECT_EQ(first.state.renderTarget, device->BackBuffer());
    ASSERT_EQ(first.vertices.size(), 4u);
    EXPECT_EQ(first.vertices[0].x, 10);
    EXPECT_EQ(first.vertices[3].y, 40);
    EXPECT_EQ(first.vertices[1].diffuse, 0xFF112233u);
    EXPECT_EQ(first.vertices[2].u, 1);
    const RecordedDraw& second = device->Draws()[1];
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
    EXPECT_EQ(device->CallLog(), expected);
    EXPECT_EQ(device->Calls()[6].draw, 0u);
    texture->Release();
}

TEST_F(RecordingDeviceTest, FailureKnobs) {
    IDirect3DTexture9* texture = nullptr;
    device->knobs.maxTextureSize = 256;
    D3DCAPS9 caps{};
    device->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.MaxTextureWidth, 256u);
    EXPECT_EQ(device->CreateTexture(512, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    device->knobs.failCreateTextureCall = 3;
    EXPECT_EQ(device->CreateTexture(256, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    texture->Release();
    EXPECT_TRUE(
        FAILED(device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)));
    device->knobs.failLockRect = true;
    device->knobs.failCreateTextureCall = 0;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_TRUE(FAILED(texture->LockRect(0, &locked, nullptr, 0)));
    texture->Release();
    device->knobs.failClear = device->knobs.failBeginScene = device->knobs.failVertexBufferLock = true;
    EXPECT_TRUE(FAILED(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0)));
    EXPECT_TRUE(FAILED(device->BeginScene()));
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(28, 0, 0x144, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_TRUE(FAILED(buffer->Lock(0, 0, &data, 0)));
    buffer->Release();
    device->knobs.failCreateVertexBuffer = true;
    EXPECT_TRUE(FAILED(device->CreateVertexBuffer(28, 0, 0x144, D3DPOOL_MANAGED, &buffer, nullptr)));
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(RecordingDeviceTest, LossAndResetKnobs) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->knobs.loseDeviceAtPresent = 2;
    device->knobs.lostTestsBeforeNotReset = 2;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    device->knobs.failReset = true;
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
    device->knobs.failReset = false;
    EXPECT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->RenderState(D3DRS_LIGHTING), DWORD(TRUE)); // states are back at their defaults

    D3DGAMMARAMP ramp{};
    ramp.green[255] = 0x1234;
    device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    ramp.green[255] = 0;
    ASSERT_EQ(device->GammaRamps().size(), 1u);
    EXPECT_EQ(device->GammaRamps()[0].green[255], 0x1234);
}

TEST_F(RecordingDeviceTest, FontCallsAreRecordedInOrderWithTheDraws) {
    LOGFONTA lf{};
    lf.lfHeight = 16;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    std::strcpy(lf.lfFaceName, "Verdana");
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontIndirect(device, &lf, &font), D3D_OK);
    device->BeginScene();
    Quad q = MakeQuad(0, 0, 1, 1, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q.v, 28);
    font->Begin();
    RECT rect{30, 540, 800, 600};
    EXPECT_EQ(font->DrawTextA("00:01:02", -1, &rect, DT_NOCLIP | DT_VCENTER, 0xFF000000), 16);
    font->DrawTextA("abcdef", 3, &rect, DT_RIGHT, 0xFFFFFFFF);
    font->End();
    device->EndScene();

    std::vector<std::string> expected = {"CreateFont(16, 700, 238)",
                                         "BeginScene()",
                                         "DrawPrimitiveUP(5, 2, 28)",
                                         "FontBegin()",
                                         "FontDrawText(-1, 260, 0xFF000000, 30, 540, 800, 600)",
                                         "FontDrawText(3, 2, -1, 30, 540, 800, 600)",
                                         "FontEnd()",
                                         "EndScene()"};
    EXPECT_EQ(device->CallLog(), expected);
    ASSERT_EQ(device->Texts().size(), 2u);
    EXPECT_EQ(device->Texts()[0].text, "00:01:02");
    EXPECT_STREQ(device->Texts()[0].logFont.lfFaceName, "Verdana");
    EXPECT_EQ(device->Texts()[1].text, "abc");
    EXPECT_EQ(device->AddRef(), 3u); // the test's, the font's and this one
    device->Release();
    EXPECT_EQ(font->Release(), 0u);

    g_recordingSettings.failFontCreation = true;
    EXPECT_TRUE(FAILED(D3DXCreateFontIndirect(device, &lf, &font)));
    EXPECT_EQ(font, nullptr);
}

TEST(RecordingDirect3DTest, CreateDeviceRecordsRequestsAndCanRefuse) {
    ResetRecording();
    g_recordingSettings.refuseHardwareVertexProcessing = true;
    g_recordingSettings.deviceKnobs.failClear = true;
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    IDirect3DDevice9* device = nullptr;
    EXPECT_TRUE(FAILED(
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device)));
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    ASSERT_EQ(g_deviceRequests.size(), 2u);
    EXPECT_EQ(g_deviceRequests[1].behaviorFlags, DWORD(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    EXPECT_EQ(g_deviceRequests[1].parameters.BackBufferWidth, 800u);
    EXPECT_EQ(g_pLastRecordingDevice, device);
    EXPECT_TRUE(g_pLastRecordingDevice->knobs.failClear);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(g_pLastRecordingDevice, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);

    g_recordingSettings.direct3DUnavailable = true;
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    ResetRecording();
}

} // namespace
