#include "framework/Logo.h"

#include "framework/Gfx.h"

void CLogo::Render() {
    g_pGfx->DrawLogo();
}

void CLogo::OnKeyDown(uint32_t) {
    done = true;
}

void CLogo::OnMouseDown(uint32_t, uint32_t, int) {
    done = true;
}

int CLogo::GetNextScreen() {
    return done ? SCREEN_GAME : SCREEN_STAY;
}

D3DCOLOR CLogo::GetClearColor() {
    return 0xFFFFFFFF;
}
