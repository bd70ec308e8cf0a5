#include "intro/Intro.h"

#include "framework/Error.h"
#include "framework/Gfx.h"

#include <cmath>

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
                                              D3DPOOL_MANAGED, &m_vertexBuffer, nullptr);
    if (FAILED(hr)) {
        m_vertexBuffer = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć bufora wierzchołków dla intra", "intro.cpp", 37, hr);
    }
    hr = D3DXCreateTextureFromFileA(m_device, "Gfx\\Brodmiel.png", &m_logoTexture);
    if (FAILED(hr)) {
        m_logoTexture = nullptr;
        throw CError(ERR_DIRECTX, "Nie można wczytać obrazka z logo Brodmielu", "intro.cpp", 40, hr);
    }
}

void CIntro::RestoreDeviceObjects() {
    HRESULT hr = m_device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                         &m_textTexture, nullptr);
    if (FAILED(hr)) {
        m_textTexture = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury dla intra", "intro.cpp", 60, hr);
    }

    IDirect3DSurface9* previousTarget = nullptr;
    IDirect3DSurface9* textSurface = nullptr;
    m_device->GetRenderTarget(0, &previousTarget);
    m_textTexture->GetSurfaceLevel(0, &textSurface);
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

    ID3DXFont* font = nullptr;
    hr = CreateBoldVerdana(m_device, 48, ANSI_CHARSET, &font);
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
    ReleaseObject(m_textTexture);
}

void CIntro::DeleteResources() {
    ReleaseObject(m_logoTexture);
    ReleaseObject(m_vertexBuffer);
}

void CIntro::Update(uint32_t now, uint32_t) {
    m_currentTime = now;
    if (m_startTime == 0)
        m_startTime = now;
    if (now > m_startTime + kDuration)
        Leave();
    uint32_t t = now - m_startTime;

    void* data = nullptr;
    HRESULT hr = m_vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD);
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
            // The list's two triangles are the strip's corners (0, 1, 2) and (1, 2, 3).
            ScreenVertex quad[4];
            MakeQuad(quad, x0, y0, x1, y1, FadedWhite(fade, kPeakAlpha[layer]), 0.0f, vt, 1.0f, vb);
            for (int corner : {0, 1, 2, 1, 2, 3})
                *vertex++ = quad[corner];
        }
    }
    m_vertexBuffer->Unlock();
}

void CIntro::Render() {
    uint32_t t = m_currentTime - m_startTime;
    ScreenVertex logo[4];
    MakeQuad(logo, 672.0f, 472.0f, 800.0f, 600.0f,
             FadedWhite(std::sin(static_cast<float>(t) * kFadeFactor), 255), 0.0f, 0.0f, 1.0f, 1.0f);
    SetModulateStage(m_device, m_logoTexture);
    DrawQuad(m_device, logo);

    SetModulateStage(m_device, m_textTexture);
    m_device->SetStreamSource(0, m_vertexBuffer, 0, sizeof(ScreenVertex));
    m_device->SetFVF(SCREEN_VERTEX_FVF);
    m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 12);
}
