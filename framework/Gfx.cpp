#include "framework/Gfx.h"

#include "framework/Error.h"

#include <cstdio>
#include <cstring>

IDirect3DDevice9* g_pDevice = nullptr;
CGfx* g_pGfx = nullptr;
int g_cursorX = 0;
int g_cursorY = 0;

namespace {

const D3DCOLOR kWhite = 0xFFFFFFFF;

void LoadTexture(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture,
                 const char* failureText, int line) {
    HRESULT hr = D3DXCreateTextureFromFileA(device, path, texture);
    if (FAILED(hr)) {
        char message[MAX_PATH];
        std::snprintf(message, sizeof message, "%s%s", failureText, LogPathText(path).c_str());
        throw CError(ERR_DIRECTX, message, "Gfx.cpp", line, hr);
    }
}

} // namespace

void SetModulateStage(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture, DWORD colourOp,
                      D3DTEXTUREFILTERTYPE filter) {
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, colourOp);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
}

void SetDiffuseStage(IDirect3DDevice9* device) {
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void MakeQuad(ScreenVertex (&vertices)[4], float left, float top, float right, float bottom, D3DCOLOR colour,
              float u0, float v0, float u1, float v1) {
    vertices[0] = {left, top, 0.0f, 1.0f, colour, u0, v0};
    vertices[1] = {left, bottom, 0.0f, 1.0f, colour, u0, v1};
    vertices[2] = {right, top, 0.0f, 1.0f, colour, u1, v0};
    vertices[3] = {right, bottom, 0.0f, 1.0f, colour, u1, v1};
}

void DrawQuad(IDirect3DDevice9* device, const ScreenVertex (&vertices)[4]) {
    device->SetFVF(SCREEN_VERTEX_FVF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(ScreenVertex));
}

HRESULT CreateBoldVerdana(IDirect3DDevice9* device, int height, BYTE charSet, ID3DXFont** font) {
    LOGFONT logfont{};
    logfont.lfHeight = height;
    logfont.lfWeight = FW_BOLD;
    logfont.lfCharSet = charSet;
    std::strcpy(logfont.lfFaceName, "Verdana");
    return D3DXCreateFontIndirect(device, &logfont, font);
}

CTextureLock::CTextureLock(IDirect3DTexture9* texture, DWORD flags, size_t rowBytes, const RECT* area)
    : m_texture(texture) {
    hr = texture->LockRect(0, &rect, area, flags);
    if (SUCCEEDED(hr) && (rect.pBits == nullptr || rect.Pitch < 0 || size_t(rect.Pitch) < rowBytes)) {
        texture->UnlockRect(0);
        hr = D3DERR_INVALIDCALL;
    }
}

CTextureLock::~CTextureLock() {
    if (SUCCEEDED(hr))
        m_texture->UnlockRect(0);
}

void CGfx::LoadTextures(IDirect3DDevice9* device) {
    m_device = device;
    LoadTexture(device, "Gfx\\Kursor.tga", &cursorTexture, "Nie można wczytać kursora z pliku ", 44);
    LoadTexture(device, "Gfx\\Desktop.jpg", &desktopTexture, "Nie można wczytać obrazu pulpitu z pliku ", 52);
    LoadTexture(device, "Gfx\\Logo.jpg", &logoTexture, "Nie można wczytać logo z pliku ", 60);
    LoadTexture(device, "Gfx\\Buttons.png", &buttonsTexture, "Nie można wczytać obrazów przycisków z pliku ",
                68);
}

void CGfx::ReleaseTextures() {
    ReleaseObject(buttonsTexture);
    ReleaseObject(logoTexture);
    ReleaseObject(desktopTexture);
    ReleaseObject(cursorTexture);
}

void CGfx::CreateTextFont() {
    HRESULT hr = CreateBoldVerdana(m_device, 16, EASTEUROPE_CHARSET, &textFont);
    if (FAILED(hr))
        throw CError(ERR_DIRECTX, "Nie można utworzyć czcionki", "Gfx.cpp", 80, hr);
}

void CGfx::ReleaseTextFont() {
    ReleaseObject(textFont);
}

void CGfx::DrawDesktop(float width, float height, float scrollX, float scrollY) {
    const float tile = 1.0f / 256.0f;
    ScreenVertex vertices[4];
    MakeQuad(vertices, -scrollX, -scrollY, width - scrollX, height - scrollY, kWhite, 0.0f, 0.0f,
             width * tile, height * tile);
    SetModulateStage(m_device, desktopTexture);
    DrawQuad(m_device, vertices);
}

void CGfx::DrawLogo() {
    ScreenVertex vertices[4];
    MakeQuad(vertices, 144.0f, 172.0f, 656.0f, 428.0f, kWhite, 0.0f, 0.25f, 1.0f, 0.75f);
    // The texture's colours alone; the JPEG's alpha is opaque, so modulating it by the white
    // vertices keeps the logo opaque.
    SetModulateStage(m_device, logoTexture, D3DTOP_SELECTARG1);
    DrawQuad(m_device, vertices);
}

void CGfx::DrawTexturedQuad(float left, float top, float right, float bottom, IDirect3DTexture9* texture) {
    ScreenVertex vertices[4];
    MakeQuad(vertices, left, top, right, bottom, kWhite, 0.0f, 0.0f, 1.0f, 1.0f);
    SetModulateStage(m_device, texture);
    DrawQuad(m_device, vertices);
}

void CGfx::DrawCursor(int x, int y) {
    const float left = static_cast<float>(x);
    const float top = static_cast<float>(y);
    DrawTexturedQuad(left, top, left + 32.0f, top + 32.0f, cursorTexture);
}
