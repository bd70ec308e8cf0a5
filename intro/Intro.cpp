#include "intro/Intro.h"

#include "framework/Error.h"
#include "framework/Gfx.h"

#include <cmath>
#include <cstring>

namespace {

const uint32_t kDuration = 7500;
const float kInverseDuration = 0.00013333333f; // 1 / 7500
const float kFadeFactor = 0.00041887903f;      // pi / 7500
const int kPeakAlpha[3] = {96, 128, 255};
const UINT kVertexCount = 36;

// Alpha of the half-sine fade; a time past the end would give a negative fade, which is held at 0.
D3DCOLOR FadedWhite(float fade, int peak) {
    int alpha = static_cast<int>(fade * static_cast<float>(peak));
    if (alpha < 0)
        alpha = 0;
    return static_cast<D3DCOLOR>(alpha) << 24 | 0x00FFFFFFu;
}

} // namespace

void CIntro::CreateResources() {
    HRESULT hr = m_device->CreateVertexBuffer(kVertexCount * sizeof(ScreenVertex), 0, SCREEN_VERTEX_FVF,
                                              D3DPOOL_MANAGED, &vertexBuffer, nullptr);
    if (FAILED(hr)) {
        vertexBuffer = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć bufora wierzchołków dla intra", "intro.cpp", 37, hr);
    }
    hr = D3DXCreateTextureFromFileA(m_device, "Gfx\\Brodmiel.png", &logoTexture);
    if (FAILED(hr)) {
        logoTexture = nullptr;
        throw CError(ERR_DIRECTX, "Nie można wczytać obrazka z logo Brodmielu", "intro.cpp", 40, hr);
    }
}

void CIntro::RestoreDeviceObjects() {
    HRESULT hr = m_device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                         &textTexture, nullptr);
    if (FAILED(hr)) {
        textTexture = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury dla intra", "intro.cpp", 60, hr);
    }

    IDirect3DSurface9* previousTarget = nullptr;
    IDirect3DSurface9* textSurface = nullptr;
    m_device->GetRenderTarget(0, &previousTarget);
    textTexture->GetSurfaceLevel(0, &textSurface);
    m_device->SetRenderTarget(0, textSurface);

    // On a failure below, the frame's own render target is put back before the error leaves.
    auto restoreTarget = [&] {
        m_device->SetRenderTarget(0, previousTarget);
        ReleaseObject(textSurface);
        ReleaseObject(previousTarget);
    };

    hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    if (FAILED(hr)) {
        restoreTarget();
        throw CError(ERR_DIRECTX, "Nie można wyczyścić tekstury intra", "intro.cpp", 68, hr);
    }

    LOGFONT logfont;
    std::memset(&logfont, 0, sizeof logfont);
    logfont.lfHeight = 48;
    logfont.lfWeight = FW_BOLD;
    logfont.lfCharSet = ANSI_CHARSET;
    std::strcpy(logfont.lfFaceName, "Verdana");
    ID3DXFont* font = nullptr;
    hr = D3DXCreateFontIndirect(m_device, &logfont, &font);
    if (FAILED(hr)) {
        restoreTarget();
        throw CError(ERR_DIRECTX, "Nie można utworzyć czcionki do intra", "intro.cpp", 75, hr);
    }

    m_device->BeginScene();
    font->Begin();
    RECT upper = {0, 0, 256, 127};
    font->DrawTextA("Tarvenkol", -1, &upper, DT_CENTER | DT_VCENTER | DT_NOCLIP, 0xFFFFFFFF);
    RECT lower = {0, 128, 256, 255};
    font->DrawTextA("prezentuje", -1, &lower, DT_CENTER | DT_VCENTER | DT_NOCLIP, 0xFFFFFFFF);
    font->End();
    m_device->EndScene();

    font->Release();
    restoreTarget();
}

void CIntro::InvalidateDeviceObjects() {
    ReleaseObject(textTexture);
}

void CIntro::DeleteResources() {
    ReleaseObject(logoTexture);
    ReleaseObject(vertexBuffer);
}

void CIntro::Update(uint32_t now, uint32_t) {
    currentTime = now;
    if (startTime == 0)
        startTime = now;
    if (now > startTime + kDuration)
        finished = true;
    uint32_t t = now - startTime;

    void* data = nullptr;
    HRESULT hr = vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD);
    if (FAILED(hr))
        throw CError(ERR_DIRECTX, "Nie można zablokować bufora wierzchołków intra", "intro.cpp", 132, hr);

    ScreenVertex* vertex = static_cast<ScreenVertex*>(data);
    float s = static_cast<float>(t) * kInverseDuration;
    float fade = std::sin(static_cast<float>(t) * kFadeFactor);
    for (int line = 0; line < 2; ++line) {
        float vt = line == 0 ? 0.0f : 0.5f;
        float vb = line == 0 ? 0.5f : 1.0f;
        for (int layer = 0; layer < 3; ++layer) {
            float k = static_cast<float>(2 - layer);
            float shift = (s - 0.5f) * (k + 1.0f) * 150.0f;
            float x0 = 200.0f - 150.0f * k - shift;
            float x1 = 600.0f + 150.0f * k - shift;
            float y0 = 50.0f - 100.0f * k + 300.0f * static_cast<float>(line);
            float y1 = 250.0f + 100.0f * k + 300.0f * static_cast<float>(line);
            if (line == 1) {
                x0 = (x0 - 400.0f) * 0.5f + 400.0f;
                x1 = (x1 - 400.0f) * 0.5f + 400.0f;
                y0 = (y0 - 300.0f) * 0.5f + 375.0f;
                y1 = (y1 - 300.0f) * 0.5f + 375.0f;
            }
            D3DCOLOR c = FadedWhite(fade, kPeakAlpha[layer]);
            ScreenVertex* r = vertex + 18 * line + 6 * layer;
            r[0] = {x0, y0, 0.0f, 1.0f, c, 0.0f, vt};
            r[1] = {x0, y1, 0.0f, 1.0f, c, 0.0f, vb};
            r[2] = {x1, y0, 0.0f, 1.0f, c, 1.0f, vt};
            r[3] = {x0, y1, 0.0f, 1.0f, c, 0.0f, vb};
            r[4] = {x1, y0, 0.0f, 1.0f, c, 1.0f, vt};
            r[5] = {x1, y1, 0.0f, 1.0f, c, 1.0f, vb};
        }
    }
    vertexBuffer->Unlock();
}

void CIntro::Render() {
    uint32_t t = currentTime - startTime;
    D3DCOLOR logoColor = FadedWhite(std::sin(static_cast<float>(t) * kFadeFactor), 255);
    ScreenVertex logo[4] = {
        {672.0f, 472.0f, 0.0f, 1.0f, logoColor, 0.0f, 0.0f},
        {672.0f, 600.0f, 0.0f, 1.0f, logoColor, 0.0f, 1.0f},
        {800.0f, 472.0f, 0.0f, 1.0f, logoColor, 1.0f, 0.0f},
        {800.0f, 600.0f, 0.0f, 1.0f, logoColor, 1.0f, 1.0f},
    };
    SetModulateStage(m_device, logoTexture);
    m_device->SetFVF(SCREEN_VERTEX_FVF);
    m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, logo, sizeof(ScreenVertex));

    SetModulateStage(m_device, textTexture);
    m_device->SetStreamSource(0, vertexBuffer, 0, sizeof(ScreenVertex));
    m_device->SetFVF(SCREEN_VERTEX_FVF);
    m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 12);
}

void CIntro::OnKeyDown(uint32_t) {
    finished = true;
}

void CIntro::OnMouseDown(uint32_t, uint32_t, int) {
    finished = true;
}

int CIntro::GetNextScreen() {
    return finished ? SCREEN_LOGO : SCREEN_STAY;
}
