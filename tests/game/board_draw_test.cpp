// What a frame of the game screen draws: piece quads, the lifted piece and its shadow,
// see-through, the preview, the bar with its clock, count and tooltip, and both panels.
#include "PlayFixture.h"

#include <string>

namespace {

class BoardDrawTest : public PlayFixture {
  protected:
    void Frame() {
        m_device->ClearRecording();
        m_game->Render();
    }

    // The draws with this texture; with none, the flat quads (diffuse colour alone).
    std::vector<RecordedDraw> DrawsWith(IDirect3DBaseTexture9* texture) const {
        std::vector<RecordedDraw> out;
        for (const RecordedDraw& d : m_device->Draws())
            if (d.state.texture == texture &&
                (texture || (d.state.Stage(D3DTSS_COLORARG1) == D3DTA_DIFFUSE &&
                             d.state.Stage(D3DTSS_COLOROP) == D3DTOP_SELECTARG1)))
                out.push_back(d);
        return out;
    }
    std::vector<RecordedDraw> FlatDraws() const { return DrawsWith(nullptr); }
};

void ExpectQuad(const RecordedDraw& d, float x0, float y0, float x1, float y1, DWORD colour, float u0,
                float v0, float u1, float v1) {
    ASSERT_EQ(d.vertices.size(), 4u);
    const float expected[4][4] = {{x0, y0, u0, v0}, {x0, y1, u0, v1}, {x1, y0, u1, v0}, {x1, y1, u1, v1}};
    for (int i = 0; i < 4; ++i) {
        const RecordedVertex& v = d.vertices[i];
        EXPECT_EQ((std::vector<float>{v.x, v.y, v.u, v.v, v.z, v.rhw}),
                  (std::vector<float>{expected[i][0], expected[i][1], expected[i][2], expected[i][3], 0, 1}))
            << "vertex " << i;
        EXPECT_EQ(v.diffuse, colour) << "vertex " << i;
    }
}

void ExpectText(const RecordedText& t, const std::string& text, LONG left, LONG top, LONG right, LONG bottom,
                DWORD format, D3DCOLOR colour) {
    EXPECT_EQ(t.text, text);
    EXPECT_EQ((std::vector<LONG>{t.count, t.rect.left, t.rect.top, t.rect.right, t.rect.bottom,
                                 LONG(t.format), LONG(t.color)}),
              (std::vector<LONG>{-1, left, top, right, bottom, LONG(format), LONG(colour)}))
        << text;
}

const float kTexel = 1.0f / 512; // of the bar's buttons

// Texture coordinates of atlas texel edges: the texture holds the 360 x 180 texels the pieces need.
float U(int s) {
    return static_cast<float>(s) / 360.0f;
}
float V(int t) {
    return static_cast<float>(t) / 180.0f;
}

TEST_F(BoardDrawTest, APieceWithTabsOnBothSidesIs149PixelsAcross) {
    m_game->GetBoard().tabMap[0] = 0; // cell (0,0)'s right tab belongs to piece 1
    m_game->GetBoard().tabMap[2] = 1; // piece 1 owns its right tab
    Place({Piece(1, 300, 200)});
    View().scrollX = 100;
    View().scrollY = 50;
    Frame();
    auto draws = DrawsWith(m_game->GetTextures().puzzle);
    ASSERT_EQ(draws.size(), 1u);
    ExpectQuad(draws[0], 175, 150, 324, 229, 0xFFFFFFFF, U(101), V(1), U(249), V(79));
    EXPECT_EQ(draws[0].vertices[2].x - draws[0].vertices[0].x, 149.0f);
    EXPECT_EQ(draws[0].state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(draws[0].state.Sampler(D3DSAMP_MAGFILTER), DWORD(D3DTEXF_LINEAR));
}

TEST_F(BoardDrawTest, PiecesWithoutTabsAndTheEdgesOfTheGrid) {
    m_game->GetBoard().tabMap.assign(12, 1); // every piece owns its right and bottom tabs
    // Piece 0 (first column and row) widens only right and down; piece 5 (last column and row)
    // owns nothing of its own on those sides and widens only left and up.
    Place({Piece(0, 10, 20), Piece(5, 400, 300)});
    Frame();
    auto draws = DrawsWith(m_game->GetTextures().puzzle);
    ASSERT_EQ(draws.size(), 2u);
    ExpectQuad(draws[0], 10, 20, 10 + 99 + 25, 20 + 79 + 20, 0xFFFFFFFF, U(1), V(1), U(1 + 98 + 25),
               V(1 + 78 + 20));
    m_game->GetBoard().tabMap.assign(12, 0);
    Frame();
    draws = DrawsWith(m_game->GetTextures().puzzle);
    ExpectQuad(draws[0], 10, 20, 109, 99, 0xFFFFFFFF, U(1), V(1), U(99), V(79));
    // Piece 5: column 2 (110 wide), row 1; its left and top tabs are its own now.
    ExpectQuad(draws[1], 400 - 25, 300 - 20, 400 + 109, 300 + 79, 0xFFFFFFFF, U(50 + 200 + 1 - 25),
               V(20 + 80 + 1 - 20), U(50 + 200 + 1 + 108), V(20 + 80 + 1 + 78));
}

TEST_F(BoardDrawTest, TheDraggedPieceIsLiftedOverItsShadow) {
    Place({Piece(0, 10, 20), Piece(3, 300, 200)});
    View().dragging = true;
    Frame();
    auto draws = DrawsWith(m_game->GetTextures().puzzle);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].vertices[0].x, 10.0f);
    // Piece 3 owns the tab of its top edge (the byte of the cell above is 0): widened 20 up.
    ExpectQuad(draws[1], 300, 180, 399, 279, 0x60000000, U(1), V(81), U(99), V(179));
    EXPECT_EQ(draws[1].state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_SELECTARG2));
    EXPECT_EQ(draws[1].state.Stage(D3DTSS_ALPHAOP), DWORD(D3DTOP_MODULATE));
    ExpectQuad(draws[2], 297, 177, 396, 276, 0xFFFFFFFF, U(1), V(81), U(99), V(179));
    EXPECT_EQ(draws[2].state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));

    View().keyCtrl = true;
    Frame();
    draws = DrawsWith(m_game->GetTextures().puzzle);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].vertices[0].diffuse, 0x60FFFFFFu);
    EXPECT_EQ(draws[1].vertices[0].diffuse, 0x00000000u) << "no visible shadow while see-through";
    EXPECT_EQ(draws[2].vertices[3].diffuse, 0x60FFFFFFu);
    View().keyCtrl = false;
    View().seeThroughToggle = true;
    Frame();
    EXPECT_EQ(DrawsWith(m_game->GetTextures().puzzle)[0].vertices[0].diffuse, 0x60FFFFFFu);
}

TEST_F(BoardDrawTest, PiecesOutsideTheViewAreNotDrawn) {
    Place({Piece(0, 900, 20), Piece(1, 790, 20), Piece(4, 100, 700), Piece(3, -200, 100)});
    View().scrollX = 0;
    Frame();
    auto draws = DrawsWith(m_game->GetTextures().puzzle);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices[0].x, 790.0f - 25) << "piece 1, widened by its left tab";
}

TEST_F(BoardDrawTest, ThePreviewReplacesOnlyTheBoard) {
    Place({Piece(0, 10, 20)});
    View().keyTab = true;
    EXPECT_EQ(m_game->GetClearColor(), 0xFFFFFFFFu);
    Frame();
    EXPECT_TRUE(DrawsWith(m_game->GetTextures().puzzle).empty());
    ASSERT_FALSE(m_device->Draws().empty());
    const RecordedDraw& first = m_device->Draws()[0];
    EXPECT_EQ(first.state.texture, m_game->GetTextures().thumbnail);
    ExpectQuad(first, 144, 44, 656, 556, 0xFFFFFFFF, 0, 0, 1, 1);
    EXPECT_EQ(first.state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(first.state.Sampler(D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(DrawsWith(m_gfx.buttonsTexture).size(), 5u) << "the bar is drawn over the preview";
    EXPECT_EQ(m_device->Draws().back().vertices[0].x, 400.0f) << "the cursor comes last, at the cursor";
}

TEST_F(BoardDrawTest, TheFullBarWithClockCountAndButtons) {
    m_game->GetBoard().playTime = 3723500;
    m_game->GetBar().buttons[1].pressed = true;
    m_game->GetBar().buttons[3].hover = true;
    Frame();
    EXPECT_EQ(m_game->GetBar().shownTime, 3723500u);
    auto flat = FlatDraws();
    ASSERT_EQ(flat.size(), 1u);
    ExpectQuad(flat[0], 0, 540, 800, 600, 0xFFFFFFFF, 0, 0, 0, 0);
    EXPECT_EQ(flat[0].state.Stage(D3DTSS_ALPHAOP), DWORD(D3DTOP_DISABLE));

    ASSERT_EQ(m_device->Texts().size(), 2u);
    ExpectText(m_device->Texts()[0], "01:02:03", 30, 540, 800, 600, 0x104, 0xFF000000);
    ExpectText(m_device->Texts()[1], "6", 175, 540, 800, 600, 0x104, 0xFF00007F);
    std::vector<CallKind> fontCalls;
    for (const RecordedCall& c : m_device->Calls())
        if (c.kind == CallKind::FontBegin || c.kind == CallKind::FontDrawText || c.kind == CallKind::FontEnd)
            fontCalls.push_back(c.kind);
    EXPECT_EQ(fontCalls, (std::vector<CallKind>{CallKind::FontBegin, CallKind::FontDrawText,
                                                CallKind::FontDrawText, CallKind::FontEnd}));

    auto buttons = DrawsWith(m_gfx.buttonsTexture);
    ASSERT_EQ(buttons.size(), 5u);
    ExpectQuad(buttons[0], 250, 545, 350, 595, 0xFFFFFFFF, 1 * kTexel, 1 * kTexel, 100 * kTexel, 50 * kTexel);
    ExpectQuad(buttons[1], 360, 545, 460, 595, 0xFFFFFFFF, 101 * kTexel, 51 * kTexel, 200 * kTexel,
               100 * kTexel); // pressed
    ExpectQuad(buttons[3], 580, 545, 680, 595, 0xFFFFFFFF, 301 * kTexel, 101 * kTexel, 400 * kTexel,
               150 * kTexel); // hovered
    ExpectQuad(buttons[4], 690, 545, 790, 595, 0xFFFFFFFF, 1 * kTexel, 151 * kTexel, 100 * kTexel,
               200 * kTexel);
    EXPECT_EQ(buttons[0].state.Sampler(D3DSAMP_MINFILTER), DWORD(D3DTEXF_NONE));
    EXPECT_EQ(buttons[0].state.Sampler(D3DSAMP_MAGFILTER), DWORD(D3DTEXF_NONE));
    EXPECT_EQ(buttons[0].state.Stage(D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));

    m_game->GetBoard().playTime = 100ull * 3600000;
    Frame();
    EXPECT_EQ(m_device->Texts()[0].text, "100:00:00");
}

TEST_F(BoardDrawTest, ThePartlySlidBarAndItsTooltip) {
    MoveCursor(700, 570);
    EXPECT_EQ(m_game->GetBar().tooltip, "Pozwala wyłączyć grę [ESC]");
    m_game->GetBar().slide = 45.5f;
    m_game->GetBar().Update(0, 0);
    Frame();
    auto flat = FlatDraws();
    ASSERT_EQ(flat.size(), 2u);
    ExpectQuad(flat[0], 0, 554.5f, 800, 600, 0xFFFFFFFF, 0, 0, 0, 0);
    ExpectQuad(flat[1], 0, 534.5f, 800, 554.5f, 0x60000000, 0, 0, 0, 0);
    EXPECT_EQ(DrawsWith(m_gfx.buttonsTexture)[0].vertices[0].y, 559.5f);
    ASSERT_EQ(m_device->Texts().size(), 3u);
    ExpectText(m_device->Texts()[0], "00:00:00", 30, 569, 800, 600, 0x104, 0xFF000000); // 600 - trunc(31)
    ExpectText(m_device->Texts()[2], "Pozwala wyłączyć grę [ESC]", 0, 535, 799, 555, 0x126, 0xFFFFFFFF);

    m_game->GetBar().slide = 0;
    Frame();
    EXPECT_TRUE(FlatDraws().empty()) << "a hidden bar draws nothing, not even its tooltip";
    EXPECT_TRUE(DrawsWith(m_gfx.buttonsTexture).empty());
    EXPECT_TRUE(m_device->Texts().empty());
}

TEST_F(BoardDrawTest, BothPanels) {
    m_game->GetPanel() = std::make_unique<MessagePanel>(PANEL_QUESTION, "Czy na pewno chcesz wyjść?");
    Frame();
    auto flat = FlatDraws();
    ASSERT_EQ(flat.size(), 2u);
    ExpectQuad(flat[1], 200, 225, 600, 375, 0xFFFFFFFF, 0, 0, 0, 0);
    ASSERT_EQ(m_device->Texts().size(), 3u);
    ExpectText(m_device->Texts()[2], "Czy na pewno chcesz wyjść?", 210, 235, 590, 295, 0x15, 0xFF000000);
    auto buttons = DrawsWith(m_gfx.buttonsTexture);
    ASSERT_EQ(buttons.size(), 7u);
    ExpectQuad(buttons[5], 295, 305, 395, 355, 0xFFFFFFFF, 101 * kTexel, 151 * kTexel, 200 * kTexel,
               200 * kTexel);
    ExpectQuad(buttons[6], 405, 305, 505, 355, 0xFFFFFFFF, 201 * kTexel, 151 * kTexel, 300 * kTexel,
               200 * kTexel);
    EXPECT_EQ(m_device->CallsOf(CallKind::FontBegin).size(), 2u);
    EXPECT_EQ(m_device->CallsOf(CallKind::FontEnd).size(), 2u);

    m_game->GetPanel() = std::make_unique<MessagePanel>(PANEL_NOTICE, "Błąd podczas zapisywania gry");
    m_game->GetPanel()->buttons[0]->hover = true;
    Frame();
    buttons = DrawsWith(m_gfx.buttonsTexture);
    ASSERT_EQ(buttons.size(), 6u);
    ExpectQuad(buttons[5], 350, 305, 450, 355, 0xFFFFFFFF, 301 * kTexel, 251 * kTexel, 400 * kTexel,
               300 * kTexel);
    EXPECT_EQ(m_device->Texts()[2].text, "Błąd podczas zapisywania gry");
}

} // namespace
