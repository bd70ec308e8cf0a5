// Drawing of the bar and the panel. Their input logic and layout are in game/logic.
#include "game/ButtonBar.h"

#include "framework/Gfx.h"

#include <cmath>
#include <string>

namespace {

const D3DCOLOR kWhite = 0xFFFFFFFF;
const D3DCOLOR kBlack = 0xFF000000;
const D3DCOLOR kDarkBlue = 0xFF00007F;
const D3DCOLOR kShade = 0x60000000;

void FillQuad(ScreenVertex (&v)[4], float left, float top, float right, float bottom, D3DCOLOR colour,
              float u0, float v0, float u1, float v1) {
    v[0] = {left, top, 0.0f, 1.0f, colour, u0, v0};
    v[1] = {left, bottom, 0.0f, 1.0f, colour, u0, v1};
    v[2] = {right, top, 0.0f, 1.0f, colour, u1, v0};
    v[3] = {right, bottom, 0.0f, 1.0f, colour, u1, v1};
}

void DrawStrip(const ScreenVertex (&v)[4]) {
    g_pDevice->SetFVF(SCREEN_VERTEX_FVF);
    g_pDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
}

// A quad that shows only its vertex colour.
void DrawFlatQuad(float left, float top, float right, float bottom, D3DCOLOR colour) {
    ScreenVertex v[4];
    FillQuad(v, left, top, right, bottom, colour, 0.0f, 0.0f, 0.0f, 0.0f);
    g_pDevice->SetTexture(0, nullptr);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    DrawStrip(v);
}

void DrawLabel(ID3DXFont* font, const char* text, LONG left, LONG top, LONG right, LONG bottom, DWORD format,
               D3DCOLOR colour) {
    RECT rect = {left, top, right, bottom};
    font->DrawTextA(text, -1, &rect, format, colour);
}

ID3DXFont* TextFont() {
    return g_pGfx ? g_pGfx->textFont : nullptr;
}

} // namespace

void Button::Draw() const {
    const int state = pressed ? 1 : (hover ? 2 : 0);
    const int col = id % 4;
    const int row = 3 * (id / 4) + state;
    ScreenVertex v[4];
    FillQuad(v, left, top, right, bottom, kWhite, static_cast<float>(100 * col + 1) / 512.0f,
             static_cast<float>(50 * row + 1) / 512.0f, static_cast<float>(100 * col + 100) / 512.0f,
             static_cast<float>(50 * row + 50) / 512.0f);
    g_pDevice->SetTexture(0, g_pGfx ? g_pGfx->buttonsTexture : nullptr);
    g_pDevice->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    g_pDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_NONE);
    g_pDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_NONE);
    DrawStrip(v);
}

void ButtonBar::Draw() {
    if (!(slide > 0.0f))
        return;
    DrawFlatQuad(0.0f, 600.0f - slide, 800.0f, 600.0f, kWhite);

    if (ID3DXFont* font = TextFont()) {
        const LONG top = 600 - static_cast<LONG>(2.0f * slide - 60.0f);
        const std::string clock = FormatClock(shownTime);
        const std::string count = std::to_string(shownCount);
        font->Begin();
        DrawLabel(font, clock.c_str(), 30, top, 800, 600, DT_NOCLIP | DT_VCENTER, kBlack);
        DrawLabel(font, count.c_str(), 175, top, 800, 600, DT_NOCLIP | DT_VCENTER, kDarkBlue);
        font->End();
    }

    for (const Button& b : buttons)
        b.Draw();

    if (!tooltip.empty()) {
        DrawFlatQuad(0.0f, 580.0f - slide, 800.0f, 600.0f - slide, kShade);
        if (ID3DXFont* font = TextFont()) {
            const LONG shown = static_cast<LONG>(slide);
            DrawLabel(font, tooltip.c_str(), 0, 580 - shown, 799, 600 - shown,
                      DT_NOCLIP | DT_SINGLELINE | DT_VCENTER | DT_RIGHT, kWhite);
        }
    }
}

void MessagePanel::Draw() {
    DrawFlatQuad(200.0f, 225.0f, 600.0f, 375.0f, kWhite);
    if (ID3DXFont* font = TextFont()) {
        font->Begin();
        DrawLabel(font, text.c_str(), 210, 235, 590, 295, DT_CENTER | DT_VCENTER | DT_WORDBREAK, kBlack);
        font->End();
    }
    for (const auto& b : buttons)
        b->Draw();
}
