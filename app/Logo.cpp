#include "app/Logo.h"

#include "framework/Gfx.h"

void CLogo::Render() {
    if (m_gfx)
        m_gfx->DrawLogo();
}

D3DCOLOR CLogo::GetClearColor() {
    return 0xFFFFFFFF;
}
