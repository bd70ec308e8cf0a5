// D3DXCreateFontIndirect over fontconfig and FreeType. Glyphs are rendered once into cache
// textures (white, coverage in alpha) made through the device like any other texture, and a
// text is drawn as pre-transformed, pixel-aligned quads with point sampling, so each texel of a
// glyph lands on exactly one pixel, as the Windows font drawing does.
#include "platform/linux/d3dx/Font.h"

#include "platform/linux/d3dx/CodePage.h"
#include "platform/linux/d3dx/FontLayout.h"
#include "platform/d3d9rules/Counted.h"
#include "platform/d3d9rules/Vertex.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr UINT kPageSize = 512;

using GlyphVertex = d3d9rules::TransformedVertex;

struct CachedGlyph {
    bool valid = false; // rendered and placed (an empty glyph, a blank, is valid with no page)
    int page = -1;
    int tx = 0, ty = 0; // top-left texel in the page
    int width = 0, height = 0;
    int left = 0, top = 0; // bitmap offset from the pen position and baseline
    long advance = 0;      // 26.6
};

struct Page {
    IDirect3DTexture9* texture = nullptr;
    int shelfX = 0, shelfY = 0, shelfHeight = 0;
};

struct FaceFile {
    std::string path;
    int index = 0;
    std::string family;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
};

// fontconfig's choice for the LOGFONT: the named family if installed, else the family its
// configuration puts in its place (metric aliases first), else its default sans face.
bool MatchFace(const LOGFONTA& lf, FaceFile& out) {
    if (!FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    char name[LF_FACESIZE + 1] = {};
    std::memcpy(name, lf.lfFaceName, LF_FACESIZE);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name[0] ? name : "sans-serif"));
    LONG weight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp<int>(weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (ok) {
        out.path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
        if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
            out.family = reinterpret_cast<const char*>(family);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &out.weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &out.slant);
    }
    FcPatternDestroy(match);
    return ok;
}

class CFont : public d3d9rules::CCounted<ID3DXFont> {
  public:
    CFont(IDirect3DDevice9* device, const LOGFONTA& lf) : m_device(device), m_logFont(lf) {
        m_device->AddRef();
    }

    HRESULT Open() {
        FaceFile file;
        if (!MatchFace(m_logFont, file))
            return D3DXERR_INVALIDDATA;
        if (FT_Init_FreeType(&m_library) != 0)
            return E_FAIL;
        if (FT_New_Face(m_library, file.path.c_str(), file.index, &m_face) != 0)
            return D3DXERR_INVALIDDATA;
        m_info.family = file.family;
        m_info.file = file.path;
        bool wantBold = m_logFont.lfWeight >= 600;
        m_info.syntheticBold = wantBold && file.weight < FC_WEIGHT_DEMIBOLD;
        m_syntheticItalic = m_logFont.lfItalic && file.slant == FC_SLANT_ROMAN;
        return SetSize();
    }

    const FontFaceInfo& Info() const { return m_info; }
    bool HasGlyph(char32_t ch) const { return FT_Get_Char_Index(m_face, ch) != 0; }

    HRESULT Begin() override { return D3D_OK; }
    HRESULT End() override { return D3D_OK; }

    INT DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) override {
        if (!text || !rect)
            return 0;
        // A byte count may stop short of the end, and the text need not end in a zero.
        size_t length = count >= 0 ? strnlen(text, static_cast<size_t>(count)) : std::strlen(text);
        std::u32string chars = DecodeCodePage(text, length, m_logFont.lfCharSet);
        LayoutMetrics metrics{m_info.ascent, m_info.lineHeight,
                              [this](char32_t prev, char32_t ch) { return Advance(prev, ch); }};
        TextLayout layout = LayOutText(chars, *rect, format, metrics);
        if (format & DT_CALCRECT) {
            *rect = layout.bounds;
            return layout.height;
        }
        if (!CacheGlyphs(layout))
            return 0;
        DrawQuads(layout, *rect, format, color);
        return layout.height;
    }

  private:
    ~CFont() override {
        for (Page& page : m_pages)
            page.texture->Release();
        if (m_face)
            FT_Done_Face(m_face);
        if (m_library)
            FT_Done_FreeType(m_library);
        m_device->Release();
    }

    // Windows sizes: lfHeight > 0 is the cell height (the face's Windows ascent + descent),
    // lfHeight < 0 the character height (the em square), 0 a default of 16-pixel cells.
    HRESULT SetSize() {
        double upem = m_face->units_per_EM > 0 ? m_face->units_per_EM : 2048;
        double ascentUnits = m_face->ascender, descentUnits = -m_face->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
            os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
        double cellUnits = std::max(1.0, ascentUnits + descentUnits);
        LONG height = m_logFont.lfHeight != 0 ? m_logFont.lfHeight : 16;
        double ppem, cell;
        if (height > 0) {
            cell = height;
            ppem = height * upem / cellUnits;
        } else {
            ppem = -static_cast<double>(height);
            cell = std::round(ppem * cellUnits / upem);
        }
        if (FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64)), 72, 72) != 0)
            return D3DXERR_INVALIDDATA;
        m_info.lineHeight = static_cast<int>(cell);
        m_info.ascent = static_cast<int>(std::lround(cell * ascentUnits / cellUnits));
        return D3D_OK;
    }

    FT_UInt Index(char32_t ch) const { return FT_Get_Char_Index(m_face, ch); }

    long Advance(char32_t prev, char32_t ch) {
        const CachedGlyph* g = Measure(ch);
        long advance = g ? g->advance : 0;
        if (prev && FT_HAS_KERNING(m_face)) {
            FT_Vector kern{};
            if (FT_Get_Kerning(m_face, Index(prev), Index(ch), FT_KERNING_DEFAULT, &kern) == 0)
                advance += kern.x;
        }
        return advance;
    }

    // Loads the glyph's outline and metrics once; its bitmap is placed by CacheGlyphs.
    CachedGlyph* Measure(char32_t ch) {
        auto it = m_metricsOnly.find(ch);
        if (it != m_metricsOnly.end())
            return &it->second;
        CachedGlyph g;
        if (LoadGlyph(ch))
            g.advance = m_face->glyph->advance.x;
        return &m_metricsOnly.emplace(ch, g).first->second;
    }

    bool LoadGlyph(char32_t ch) {
        if (FT_Load_Glyph(m_face, Index(ch), FT_LOAD_DEFAULT) != 0)
            return false;
        if (m_info.syntheticBold)
            FT_GlyphSlot_Embolden(m_face->glyph);
        if (m_syntheticItalic)
            FT_GlyphSlot_Oblique(m_face->glyph);
        return true;
    }

    // Renders every glyph of the layout not yet in a page, with one lock per page touched.
    bool CacheGlyphs(const TextLayout& layout) {
        std::map<int, D3DLOCKED_RECT> locked;
        bool ok = true;
        for (const PlacedChar& pc : layout.chars) {
            CachedGlyph& g = *Measure(pc.ch);
            if (g.valid)
                continue;
            if (!LoadGlyph(pc.ch) || FT_Render_Glyph(m_face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
                g.valid = true; // nothing to draw for it
                continue;
            }
            const FT_Bitmap& bm = m_face->glyph->bitmap;
            g.width = static_cast<int>(bm.width);
            g.height = static_cast<int>(bm.rows);
            g.left = m_face->glyph->bitmap_left;
            g.top = m_face->glyph->bitmap_top;
            if (g.width == 0 || g.height == 0) {
                g.valid = true;
                continue;
            }
            if (!Place(g)) {
                ok = false;
                break;
            }
            auto lockedPage = locked.find(g.page);
            if (lockedPage == locked.end()) {
                D3DLOCKED_RECT lr{};
                if (FAILED(m_pages[g.page].texture->LockRect(0, &lr, nullptr, 0))) {
                    ok = false;
                    break;
                }
                lockedPage = locked.emplace(g.page, lr).first;
            }
            const D3DLOCKED_RECT& lr = lockedPage->second;
            for (int y = 0; y < g.height; ++y) {
                const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(bm.pitch) * y;
                BYTE* dst =
                    static_cast<BYTE*>(lr.pBits) + static_cast<ptrdiff_t>(lr.Pitch) * (g.ty + y) + g.tx * 4;
                for (int x = 0; x < g.width; ++x) {
                    BYTE coverage = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                        ? ((src[x >> 3] >> (7 - (x & 7))) & 1) * 255
                                        : src[x];
                    dst[x * 4 + 0] = dst[x * 4 + 1] = dst[x * 4 + 2] = 0xFF;
                    dst[x * 4 + 3] = coverage;
                }
            }
            g.valid = true;
        }
        for (auto& [page, lr] : locked)
            m_pages[page].texture->UnlockRect(0);
        return ok;
    }

    // Finds room for the glyph on a shelf of a page (a one-texel gap around each glyph keeps
    // neighbours out of any filtering), making a new page when the last one is full.
    bool Place(CachedGlyph& g) {
        int w = g.width + 1, h = g.height + 1;
        if (w > static_cast<int>(kPageSize) || h > static_cast<int>(kPageSize))
            return false;
        if (!m_pages.empty()) {
            Page& p = m_pages.back();
            if (p.shelfX + w > static_cast<int>(kPageSize)) {
                p.shelfY += p.shelfHeight;
                p.shelfX = 0;
                p.shelfHeight = 0;
            }
            if (p.shelfY + h <= static_cast<int>(kPageSize)) {
                g.page = static_cast<int>(m_pages.size() - 1);
                g.tx = p.shelfX;
                g.ty = p.shelfY;
                p.shelfX += w;
                p.shelfHeight = std::max(p.shelfHeight, h);
                return true;
            }
        }
        Page page;
        if (FAILED(m_device->CreateTexture(kPageSize, kPageSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           &page.texture, nullptr)) ||
            !page.texture)
            return false;
        // A fresh page is cleared to transparent white through one lock of its own.
        D3DLOCKED_RECT lr{};
        if (FAILED(page.texture->LockRect(0, &lr, nullptr, 0))) {
            page.texture->Release();
            return false;
        }
        for (UINT y = 0; y < kPageSize; ++y) {
            auto* row =
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + static_cast<ptrdiff_t>(lr.Pitch) * y);
            std::fill(row, row + kPageSize, 0x00FFFFFFu);
        }
        page.texture->UnlockRect(0);
        m_pages.push_back(page);
        return Place(g);
    }

    void DrawQuads(const TextLayout& layout, const RECT& clip, DWORD format, D3DCOLOR color) {
        std::map<int, std::vector<GlyphVertex>> batches;
        const float texel = 1.0f / kPageSize;
        for (const PlacedChar& pc : layout.chars) {
            const CachedGlyph& g = *Measure(pc.ch);
            if (g.page < 0)
                continue;
            float x0 = static_cast<float>(pc.x + g.left), y0 = static_cast<float>(pc.baseline - g.top);
            float x1 = x0 + static_cast<float>(g.width), y1 = y0 + static_cast<float>(g.height);
            float u0 = g.tx * texel, v0 = g.ty * texel;
            float u1 = (g.tx + g.width) * texel, v1 = (g.ty + g.height) * texel;
            if (!(format & DT_NOCLIP)) {
                // Cut the quad to the rectangle, moving the texture coordinates with its edges.
                float cx0 = std::max(x0, static_cast<float>(clip.left));
                float cy0 = std::max(y0, static_cast<float>(clip.top));
                float cx1 = std::min(x1, static_cast<float>(clip.right));
                float cy1 = std::min(y1, static_cast<float>(clip.bottom));
                if (cx0 >= cx1 || cy0 >= cy1)
                    continue;
                u0 += (cx0 - x0) * texel;
                u1 -= (x1 - cx1) * texel;
                v0 += (cy0 - y0) * texel;
                v1 -= (y1 - cy1) * texel;
                x0 = cx0, y0 = cy0, x1 = cx1, y1 = cy1;
            }
            // Direct3D samples pixel centres at whole coordinates: shifting the quad by half a
            // pixel puts each texel's centre on a pixel's centre.
            x0 -= 0.5f, y0 -= 0.5f, x1 -= 0.5f, y1 -= 0.5f;
            GlyphVertex tl{x0, y0, 0, 1, color, u0, v0}, tr{x1, y0, 0, 1, color, u1, v0};
            GlyphVertex bl{x0, y1, 0, 1, color, u0, v1}, br{x1, y1, 0, 1, color, u1, v1};
            std::vector<GlyphVertex>& batch = batches[g.page];
            batch.insert(batch.end(), {tl, bl, tr, tr, bl, br});
        }
        for (auto& [page, vertices] : batches) {
            m_device->SetTexture(0, m_pages[page].texture);
            m_device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
            m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
            m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
            m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
            m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
            m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
            m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                      vertices.data(), sizeof(GlyphVertex));
        }
    }

    IDirect3DDevice9* m_device;
    LOGFONTA m_logFont;
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
    FontFaceInfo m_info{};
    bool m_syntheticItalic = false;
    std::map<char32_t, CachedGlyph> m_metricsOnly;
    std::vector<Page> m_pages;
};

} // namespace

HRESULT D3DXCreateFontIndirect(IDirect3DDevice9* device, const LOGFONTA* logFont, ID3DXFont** font) {
    if (!device || !logFont || !font)
        return D3DERR_INVALIDCALL;
    *font = nullptr;
    auto* made = new CFont(device, *logFont);
    HRESULT hr = made->Open();
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *font = made;
    return D3D_OK;
}

bool GetFontFaceInfo(ID3DXFont* font, FontFaceInfo* info) {
    auto* f = dynamic_cast<CFont*>(font);
    if (!f || !info)
        return false;
    *info = f->Info();
    return true;
}

bool FontHasGlyph(ID3DXFont* font, char32_t ch) {
    auto* f = dynamic_cast<CFont*>(font);
    return f && f->HasGlyph(ch);
}
