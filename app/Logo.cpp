#include "app/Logo.h"

#include "framework/Gfx.h"

void CLogo::Render() {
    g_pGfx->DrawLogo();
}

void CLogo::OnKeyDown(uint32_t) {
    m_done = true;
}

void CLogo::OnMouseDown(uint32_t, uint32_t, int) {
    m_done = true;
}

int CLogo::GetNextScreen() {
    return m_done ? SCREEN_GAME : SCREEN_STAY;
}

D3DCOLOR CLogo::GetClearColor() {
    return 0xFFFFFFFF;
}
