#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/PlayGrid.h"

namespace {

const D3DCOLOR kOpaque = 0xFFFFFFFF;
const D3DCOLOR kSeeThrough = 0x60FFFFFF;
const D3DCOLOR kShadow = 0x60000000;
const D3DCOLOR kNoShadow = 0x00000000;

void SetPieceStates(IDirect3DBaseTexture9* texture, DWORD colourOp) {
    g_pDevice->SetTexture(0, texture);
    g_pDevice->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLOROP, colourOp);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    g_pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    g_pDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    g_pDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    g_pDevice->SetFVF(SCREEN_VERTEX_FVF);
}

void DrawPieceQuad(const PieceQuad& q, float texelScale, D3DCOLOR colour, IDirect3DBaseTexture9* texture,
                   bool shadow) {
    const float s0 = static_cast<float>(q.s0) * texelScale;
    const float t0 = static_cast<float>(q.t0) * texelScale;
    const float s1 = static_cast<float>(q.s1) * texelScale;
    const float t1 = static_cast<float>(q.t1) * texelScale;
    const ScreenVertex v[4] = {
        {q.x0, q.y0, 0.0f, 1.0f, colour, s0, t0},
        {q.x0, q.y1, 0.0f, 1.0f, colour, s0, t1},
        {q.x1, q.y0, 0.0f, 1.0f, colour, s1, t0},
        {q.x1, q.y1, 0.0f, 1.0f, colour, s1, t1},
    };
    SetPieceStates(texture, shadow ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE);
    g_pDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
}

} // namespace

D3DCOLOR CGame::GetClearColor() {
    return (keyTab || previewToggle) ? 0xFFFFFFFF : 0xFF000000;
}

// Pieces whose quad lies wholly outside the frame are not drawn: they would cover no pixel, so
// the frame is the same, and a large board stays cheap to draw.
void CGame::Render() {
    if (keyTab || previewToggle) {
        DrawThumbnail();
    } else {
        if (g_pGfx)
            g_pGfx->DrawDesktop(boardWidth, boardHeight, scrollX, scrollY);
        const size_t count = pieces.size();
        const size_t loose = dragging && count > 0 ? count - 1 : count;
        for (size_t i = 0; i < loose; ++i)
            DrawPiece(pieces[i], 0.0f, 0.0f, false);
        if (loose < count) {
            DrawPiece(pieces.back(), 0.0f, 0.0f, true);
            DrawPiece(pieces.back(), -3.0f, -3.0f, false);
        }
    }
    buttonBar.shownTime = playTime;
    buttonBar.Draw();
    if (messagePanel)
        messagePanel->Draw();
    if (g_pGfx)
        g_pGfx->DrawCursor();
}

void CGame::DrawPiece(const BoardPiece& p, float dx, float dy, bool shadow) {
    if (columns <= 0 || atlasSize <= 0)
        return;
    const PieceQuad q = ComputePieceQuad(GridOf(*this), p, dx, dy, scrollX, scrollY);
    if (!QuadTouchesView(q))
        return;
    const bool seeThrough = keyCtrl || seeThroughToggle;
    D3DCOLOR colour;
    if (shadow)
        colour = seeThrough ? kNoShadow : kShadow;
    else
        colour = seeThrough ? kSeeThrough : kOpaque;
    DrawPieceQuad(q, 1.0f / static_cast<float>(atlasSize), colour, puzzleTexture, shadow);
}

void CGame::DrawThumbnail() {
    const ScreenVertex v[4] = {
        {144.0f, 44.0f, 0.0f, 1.0f, kOpaque, 0.0f, 0.0f},
        {144.0f, 556.0f, 0.0f, 1.0f, kOpaque, 0.0f, 1.0f},
        {656.0f, 44.0f, 0.0f, 1.0f, kOpaque, 1.0f, 0.0f},
        {656.0f, 556.0f, 0.0f, 1.0f, kOpaque, 1.0f, 1.0f},
    };
    SetPieceStates(thumbnailTexture, D3DTOP_MODULATE);
    g_pDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
}
