// The FreeType font drawn through the recording device: the glyph quads a text produces tell
// where each glyph lands, which texels it shows and with which states.
#include "platform/D3DX9.h"
#include "platform/linux/d3dx/CodePage.h"
#include "platform/linux/d3dx/Font.h"
#include "platform/linux/d3dx/FontLayout.h"
#include "platform/test/RecordingDevice.h"
#include "tests/platform/d3dx/LogFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace {

// One glyph quad read back from a triangle-list draw: screen pixels covered and texels shown.
struct GlyphQuad {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
    IDirect3DBaseTexture9* texture;
};

std::vector<GlyphQuad> Quads(const CRecordingDevice& device) {
    std::vector<GlyphQuad> quads;
    for (const RecordedDraw& d : device.Draws()) {
        EXPECT_EQ(d.type, D3DPT_TRIANGLELIST);
        for (size_t i = 0; i + 6 <= d.vertices.size(); i += 6) {
            const RecordedVertex& tl = d.vertices[i];
            const RecordedVertex& br = d.vertices[i + 5];
            quads.push_back({tl.x + 0.5f, tl.y + 0.5f, br.x + 0.5f, br.y + 0.5f, tl.u, tl.v, br.u, br.v,
                             d.state.texture});
        }
    }
    return quads;
}

RECT Ink(const std::vector<GlyphQuad>& quads) {
    RECT r{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
    for (const GlyphQuad& q : quads) {
        r.left = std::min<LONG>(r.left, std::lround(q.left));
        r.top = std::min<LONG>(r.top, std::lround(q.top));
        r.right = std::max<LONG>(r.right, std::lround(q.right));
        r.bottom = std::max<LONG>(r.bottom, std::lround(q.bottom));
    }
    return r;
}

// The coverage texels a quad shows, row by row.
std::vector<BYTE> Coverage(const GlyphQuad& q) {
    auto* t = static_cast<CRecordingTexture*>(static_cast<IDirect3DTexture9*>(q.texture));
    std::vector<BYTE> out;
    int x0 = std::lround(q.u0 * t->Width()), x1 = std::lround(q.u1 * t->Width());
    int y0 = std::lround(q.v0 * t->Height()), y1 = std::lround(q.v1 * t->Height());
    out.push_back(BYTE(x1 - x0)), out.push_back(BYTE(y1 - y0));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            out.push_back(BYTE(t->Texel(x, y) >> 24));
    return out;
}

class FontTest : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(font ? font->Release() : 0u, 0u);
        EXPECT_EQ(device->Release(), 0u);
    }
    void Make(const LOGFONTA& lf) {
        ASSERT_EQ(D3DXCreateFontIndirect(device, &lf, &font), D3D_OK);
        ASSERT_TRUE(GetFontFaceInfo(font, &info));
    }
    INT Draw(const char* text, RECT rect, DWORD format, D3DCOLOR color = 0xFF000000) {
        device->ClearRecording();
        device->BeginScene();
        font->Begin();
        INT h = font->DrawTextA(text, -1, &rect, format, color);
        font->End();
        device->EndScene();
        return h;
    }

    CRecordingDevice* device = new CRecordingDevice();
    ID3DXFont* font = nullptr;
    FontFaceInfo info{};
};

TEST_F(FontTest, HeightsFollowWindows) {
    Make(MakeLogFont("Verdana", 16));
    EXPECT_EQ(info.lineHeight, 16); // lfHeight > 0: the whole cell
    EXPECT_GT(info.ascent, 10);
    EXPECT_LT(info.ascent, 16);
    EXPECT_EQ(Draw("Abc", {0, 0, 200, 50}, DT_NOCLIP), 16);
    font->Release();
    Make(MakeLogFont("Verdana", -16));
    EXPECT_GT(info.lineHeight, 16); // lfHeight < 0: the character height, the cell is larger
}

TEST_F(FontTest, MissingFacesFallBackToAnInstalledOne) {
    Make(MakeLogFont("No Such Face At All", 16));
    EXPECT_FALSE(info.family.empty());
    EXPECT_FALSE(info.file.empty());
    EXPECT_EQ(Draw("Fallback", {0, 0, 200, 20}, DT_NOCLIP), 16);
    EXPECT_EQ(Quads(*device).size(), 8u);
    font->Release();
    // The game's face; where it is not installed, the bold request still gives bold glyphs.
    Make(MakeLogFont("Verdana", 16, FW_BOLD));
    EXPECT_TRUE(info.family == "Verdana" || info.file.find("Bold") != std::string::npos || info.syntheticBold)
        << info.family << " " << info.file;
}

TEST_F(FontTest, GlyphsAreTexturedPixelAlignedQuadsInTheTextColour) {
    Make(MakeLogFont("Verdana", 16));
    Draw("Hi", {10, 10, 300, 40}, DT_NOCLIP, 0x80112233);
    ASSERT_EQ(device->Draws().size(), 1u);
    const RecordedDraw& d = device->Draws()[0];
    EXPECT_EQ(d.state.fvf, 0x144u);
    EXPECT_NE(d.state.texture, nullptr);
    const DrawState& s = d.state;
    EXPECT_EQ(
        (std::vector<DWORD>{s.Stage(D3DTSS_COLOROP), s.Stage(D3DTSS_COLORARG1), s.Stage(D3DTSS_COLORARG2),
                            s.Stage(D3DTSS_ALPHAOP), s.Stage(D3DTSS_ALPHAARG1), s.Stage(D3DTSS_ALPHAARG2),
                            s.Sampler(D3DSAMP_MINFILTER), s.Sampler(D3DSAMP_MAGFILTER)}),
        (std::vector<DWORD>{D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE,
                            D3DTA_DIFFUSE, D3DTEXF_POINT, D3DTEXF_POINT}));
    for (const RecordedVertex& v : d.vertices)
        EXPECT_EQ(v.diffuse, 0x80112233u);
    for (const GlyphQuad& q : Quads(*device)) {
        EXPECT_EQ(q.left, std::round(q.left));
        EXPECT_EQ(q.top, std::round(q.top));
        // One texel per pixel.
        EXPECT_FLOAT_EQ((q.right - q.left) / 512, q.u1 - q.u0);
        EXPECT_FLOAT_EQ((q.bottom - q.top) / 512, q.v1 - q.v0);
        std::vector<BYTE> c = Coverage(q);
        EXPECT_GT(*std::max_element(c.begin() + 2, c.end()), 0xC0); // solid ink somewhere
    }
    // The cache texture is the font's own and is made through the device.
    EXPECT_EQ(device->LiveTextures(), 1);
}

TEST_F(FontTest, AlignmentWithinTheRectangle) {
    Make(MakeLogFont("Verdana", 16));
    RECT rect{210, 235, 590, 295};
    Draw("Czy na pewno", rect, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
    RECT ink = Ink(Quads(*device));
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 400.0, 2.0);
    // The line cell (baseline - ascent, lineHeight high) sits in the middle of the rectangle.
    float baseline = Quads(*device)[0].bottom; // the bottom of "C"
    EXPECT_NEAR(baseline - info.ascent + info.lineHeight / 2.0, 265.0, 1.0);

    Draw("Zapisz grę", {0, 560, 799, 580}, DT_NOCLIP | DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    ink = Ink(Quads(*device));
    EXPECT_LE(ink.right, 799);
    EXPECT_GE(ink.right, 796);

    Draw("Left", {40, 0, 400, 100}, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
    ink = Ink(Quads(*device));
    EXPECT_GE(ink.left, 40);
    EXPECT_LE(ink.left, 42);
    EXPECT_LE(ink.bottom, 100);
}

TEST_F(FontTest, WordBreakWrapsAtBlanksWithinTheWidth) {
    Make(MakeLogFont("Verdana", 16));
    RECT rect{210, 235, 590, 295};
    const char* text = "Czy na pewno chcesz zakończyć grę i wrócić do pulpitu bez zapisywania?";
    INT height = Draw(text, rect, DT_CENTER | DT_WORDBREAK | DT_NOCLIP);
    std::set<long> baselines;
    for (const GlyphQuad& q : Quads(*device)) {
        EXPECT_GE(q.left, 210);
        EXPECT_LE(q.right, 590);
    }
    INT lines = height / info.lineHeight;
    EXPECT_GE(lines, 2);
    EXPECT_EQ(height % info.lineHeight, 0);
    // Without DT_WORDBREAK the same text stays on one line past the rectangle.
    EXPECT_EQ(Draw(text, rect, DT_CENTER | DT_NOCLIP), info.lineHeight);
    RECT ink = Ink(Quads(*device));
    EXPECT_LT(ink.left, 210);
    EXPECT_GT(ink.right, 590);
    // Without DT_NOCLIP nothing is drawn outside the rectangle; glyphs are cut at its edges.
    Draw(text, rect, DT_CENTER);
    ink = Ink(Quads(*device));
    EXPECT_GE(ink.left, 210);
    EXPECT_LE(ink.right, 590);
}

TEST_F(FontTest, Windows1250BytesDrawThePolishLetters) {
    Make(MakeLogFont("Verdana", 16, FW_BOLD, EASTEUROPE_CHARSET));
    const char polish[] = "\xB9\xEA\xB3\xF1\xF3\x9C\x9F\xBF"; // ąęłńóśźż in Windows-1250
    std::u32string decoded = DecodeCodePage(polish, 8, EASTEUROPE_CHARSET);
    EXPECT_EQ(decoded, U"ąęłńóśźż");
    for (char32_t c : decoded)
        EXPECT_TRUE(FontHasGlyph(font, c)) << std::hex << unsigned(c);
    Draw(polish, {0, 0, 400, 30}, DT_NOCLIP);
    std::vector<GlyphQuad> quads = Quads(*device);
    ASSERT_EQ(quads.size(), 8u);
    std::set<std::vector<BYTE>> shapes;
    for (const GlyphQuad& q : quads)
        shapes.insert(Coverage(q));
    EXPECT_EQ(shapes.size(), 8u); // eight different glyphs, not one missing-glyph box eight times

    // The same bytes in Windows-1252 are other letters.
    EXPECT_EQ(DecodeCodePage(polish, 8, ANSI_CHARSET), U"¹ê³ñóœŸ¿");
    EXPECT_EQ(DecodeCodePage("\x80\x81", 2, ANSI_CHARSET), U"€\u0081");
}

TEST(FontLayoutTest, LinesAndAlignmentWithFixedAdvances) {
    LayoutMetrics m{12, 16, [](char32_t, char32_t) { return 10L * 64; }};
    TextLayout t = LayOutText(U"aa bb cc", {0, 0, 55, 100}, DT_WORDBREAK | DT_RIGHT | DT_BOTTOM, m);
    ASSERT_EQ(t.lineCount, 2); // "aa bb" is 50 wide, "aa bb cc" would be 80
    EXPECT_EQ(t.height, 32);
    ASSERT_EQ(t.chars.size(), 7u); // the blank inside the first line is placed, the one at the wrap dropped
    EXPECT_EQ(t.chars[0].x, 5);    // 55 - 50
    EXPECT_EQ(t.chars[0].baseline, 80); // 100 - 32 + 12
    EXPECT_EQ(t.chars[5].x, 35);        // "cc" right-aligned: 55 - 20
    EXPECT_EQ(t.chars[5].baseline, 96);

    t = LayOutText(U"ab\r\ncd\nef", {0, 0, 100, 100}, DT_CENTER | DT_VCENTER, m);
    EXPECT_EQ(t.lineCount, 3);
    EXPECT_EQ(t.chars[0].x, 40);
    EXPECT_EQ(t.chars[0].baseline, 26 + 12); // (100 - 48) / 2 + ascent
    EXPECT_EQ(t.chars[5].baseline, 26 + 32 + 12);

    t = LayOutText(U"ab\ncd", {0, 0, 100, 100}, DT_SINGLELINE, m);
    EXPECT_EQ(t.lineCount, 1);
    EXPECT_EQ(t.chars.size(), 4u);
    EXPECT_EQ(t.chars[2].x, 20); // the break takes no room

    // A word wider than the rectangle stays whole on its own line.
    t = LayOutText(U"abcdefgh ij", {0, 0, 30, 100}, DT_WORDBREAK, m);
    EXPECT_EQ(t.lineCount, 2);
    EXPECT_EQ(t.chars[8].x, 0);
}

} // namespace
