#include "game/BarDraw.h"

#include "framework/Gfx.h"

#include <string>

namespace {

const D3DCOLOR kWhite = 0xFFFFFFFF;
const D3DCOLOR kBlack = 0xFF000000;
const D3DCOLOR kDarkBlue = 0xFF00007F;
const D3DCOLOR kShade = 0x60000000;

// A quad that shows only its vertex colour.
void DrawFlatQuad(IDirect3DDevice9* device, float left, float top, float right, float bottom,
                  D3DCOLOR colour) {
    ScreenVertex v[4];
    MakeQuad(v, left, top, right, bottom, colour, 0.0f, 0.0f, 0.0f, 0.0f);
    SetDiffuseStage(device);
    DrawQuad(device, v);
}

void DrawLabel(ID3DXFont* font, const char* text, LONG left, LONG top, LONG right, LONG bottom, DWORD format,
               D3DCOLOR colour) {
    RECT rect = {left, top, right, bottom};
    font->DrawTextA(text, -1, &rect, format, colour);
}

ID3DXFont* TextFont(const CGfx* gfx) {
    return gfx ? gfx->textFont : nullptr;
}

void DrawButton(IDirect3DDevice9* device, const CGfx* gfx, const Button& b) {
    const int state = b.pressed ? 1 : (b.hover ? 2 : 0);
    const int col = b.id % 4;
    const int row = 3 * (b.id / 4) + state;
    ScreenVertex v[4];
    MakeQuad(v, b.left, b.top, b.right, b.bottom, kWhite, static_cast<float>(100 * col + 1) / 512.0f,
             static_cast<float>(50 * row + 1) / 512.0f, static_cast<float>(100 * col + 100) / 512.0f,
             static_cast<float>(50 * row + 50) / 512.0f);
    SetModulateStage(device, gfx ? gfx->buttonsTexture : nullptr, D3DTOP_MODULATE, D3DTEXF_NONE);
    DrawQuad(device, v);
}

} // namespace

void DrawBar(IDirect3DDevice9* device, const CGfx* gfx, const ButtonBar& bar) {
    if (!(bar.slide > 0.0f))
        return;
    DrawFlatQuad(device, 0.0f, 600.0f - bar.slide, 800.0f, 600.0f, kWhite);

    if (ID3DXFont* font = TextFont(gfx)) {
        const LONG top = 600 - static_cast<LONG>(2.0f * bar.slide - 60.0f);
        const std::string clock = FormatClock(bar.shownTime);
        const std::string count = std::to_string(bar.shownCount);
        font->Begin();
        DrawLabel(font, clock.c_str(), 30, top, 800, 600, DT_NOCLIP | DT_VCENTER, kBlack);
        DrawLabel(font, count.c_str(), 175, top, 800, 600, DT_NOCLIP | DT_VCENTER, kDarkBlue);
        font->End();
    }

    for (const Button& b : bar.buttons)
        DrawButton(device, gfx, b);

    if (!bar.tooltip.empty()) {
        DrawFlatQuad(device, 0.0f, 580.0f - bar.slide, 800.0f, 600.0f - bar.slide, kShade);
        if (ID3DXFont* font = TextFont(gfx)) {
            const LONG shown = static_cast<LONG>(bar.slide);
            DrawLabel(font, bar.tooltip.c_str(), 0, 580 - shown, 799, 600 - shown,
                      DT_NOCLIP | DT_SINGLELINE | DT_VCENTER | DT_RIGHT, kWhite);
        }
    }
}

void DrawPanel(IDirect3DDevice9* device, const CGfx* gfx, const MessagePanel& panel) {
    DrawFlatQuad(device, 200.0f, 225.0f, 600.0f, 375.0f, kWhite);
    if (ID3DXFont* font = TextFont(gfx)) {
        font->Begin();
        DrawLabel(font, panel.text.c_str(), 210, 235, 590, 295, DT_CENTER | DT_VCENTER | DT_WORDBREAK,
                  kBlack);
        font->End();
    }
    for (const auto& b : panel.buttons)
        DrawButton(device, gfx, *b);
}
