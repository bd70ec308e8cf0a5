// Draws the images that ship in Gfx/: the cursor, the desk tile, the logo, the button atlas and the
// community logo. Usage: MakeGfx <output folder>. The output is deterministic (fixed noise seeds).
// MakeGfx --icons <folder> draws the program icon instead (the launcher's and Game's window icon,
// and the desktop icons in every size): Puzzle<N>.png and ProgramIcon.inc, the 48 x 48 image as
// ARGB values for Game's window.
//
// Everything is drawn in a float RGBA canvas from signed distance functions (anti-aliased edges,
// outlines and bevels come from the distance), texts with FreeType from a face found by fontconfig,
// and written with DevIL.

#include <IL/il.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgba {
    double r, g, b, a;
};

Rgba Mix(Rgba x, Rgba y, double t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Rgba Hex(uint32_t rgb, double a = 1.0) {
    return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, a};
}

Rgba Scale(Rgba c, double k) {
    return {c.r * k, c.g * k, c.b * k, c.a};
}

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

double Smooth(double e0, double e1, double x) {
    double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Coverage of a pixel by the inside of a shape whose signed distance (negative inside) is d.
double Cover(double d) {
    return Clamp01(0.5 - d);
}

class CCanvas {
  public:
    CCanvas(int width, int height, Rgba fill = {0, 0, 0, 0})
        : w(width), h(height), px(static_cast<size_t>(width) * height, fill) {}

    // Source-over blending of a straight-alpha colour with extra coverage.
    void Blend(int x, int y, Rgba c, double coverage = 1.0) {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        double a = Clamp01(c.a * coverage);
        if (a <= 0)
            return;
        Rgba& d = px[static_cast<size_t>(y) * w + x];
        double outA = a + d.a * (1 - a);
        if (outA <= 0)
            return;
        d.r = (c.r * a + d.r * d.a * (1 - a)) / outA;
        d.g = (c.g * a + d.g * d.a * (1 - a)) / outA;
        d.b = (c.b * a + d.b * d.a * (1 - a)) / outA;
        d.a = outA;
    }

    // Calls paint(x + 0.5, y + 0.5) for every pixel of the rectangle and blends what it returns.
    void Paint(int x0, int y0, int x1, int y1, const std::function<Rgba(double, double)>& paint) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w, x1); ++x)
                Blend(x, y, paint(x + 0.5, y + 0.5));
    }
    void Paint(const std::function<Rgba(double, double)>& paint) { Paint(0, 0, w, h, paint); }

    Rgba& At(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out(px.size() * 4);
        for (size_t i = 0; i < px.size(); ++i) {
            const Rgba& p = px[i];
            out[4 * i + 0] = static_cast<uint8_t>(std::lround(Clamp01(p.r) * 255));
            out[4 * i + 1] = static_cast<uint8_t>(std::lround(Clamp01(p.g) * 255));
            out[4 * i + 2] = static_cast<uint8_t>(std::lround(Clamp01(p.b) * 255));
            out[4 * i + 3] = static_cast<uint8_t>(std::lround(Clamp01(p.a) * 255));
        }
        return out;
    }

    int w, h;
    std::vector<Rgba> px;
};

// ---- shapes as signed distance functions ----

struct Pt {
    double x, y;
};

using Sdf = std::function<double(double, double)>;

double SegmentDistance(Pt p, Pt a, Pt b) {
    double vx = b.x - a.x, vy = b.y - a.y;
    double wx = p.x - a.x, wy = p.y - a.y;
    double len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0, 1.0) : 0.0;
    double dx = wx - t * vx, dy = wy - t * vy;
    return std::sqrt(dx * dx + dy * dy);
}

Sdf Polygon(std::vector<Pt> pts) {
    return [pts = std::move(pts)](double x, double y) {
        double best = 1e30;
        bool inside = false;
        size_t n = pts.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            Pt a = pts[j], b = pts[i];
            best = std::min(best, SegmentDistance({x, y}, a, b));
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside ? -best : best;
    };
}

Sdf RoundRect(double x0, double y0, double x1, double y1, double radius) {
    return [=](double x, double y) {
        double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
        double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
        double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

Sdf Circle(double cx, double cy, double r) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf Capsule(Pt a, Pt b, double r) {
    return [=](double x, double y) { return SegmentDistance({x, y}, a, b) - r; };
}

Sdf Union(Sdf a, Sdf b) {
    return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Sdf Subtract(Sdf a, Sdf b) {
    return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf Offset(Sdf a, double dx, double dy) {
    return [=](double x, double y) { return a(x - dx, y - dy); };
}

// A jigsaw piece outline in a square of side `side` at (x, y). tabs[i] for the top, right, bottom and
// left edges: +1 a knob outwards, -1 a hole, 0 a flat edge.
std::vector<Pt> PiecePolygon(double x, double y, double side, const int tabs[4]) {
    // Edge profile: u along the edge 0..1, h outwards.
    std::vector<Pt> profile;
    profile.push_back({0, 0});
    profile.push_back({0.38, 0});
    const double cx = 0.5, cy = 0.17, r = 0.13;
    for (int k = 0; k <= 40; ++k) {
        double a = (230.0 - 280.0 * k / 40) * kPi / 180;
        profile.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    profile.push_back({0.62, 0});
    Pt corners[4] = {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}};
    Pt centre{x + side / 2, y + side / 2};
    std::vector<Pt> pts;
    for (int e = 0; e < 4; ++e) {
        Pt p = corners[e], q = corners[(e + 1) % 4];
        double ex = q.x - p.x, ey = q.y - p.y;
        double mx = (p.x + q.x) / 2 - centre.x, my = (p.y + q.y) / 2 - centre.y;
        double ml = std::hypot(mx, my);
        double nx = mx / ml * side, ny = my / ml * side;
        if (tabs[e] == 0) {
            pts.push_back(p);
            continue;
        }
        for (const Pt& f : profile) {
            double hh = f.y * tabs[e];
            pts.push_back({p.x + ex * f.x + nx * hh, p.y + ey * f.x + ny * hh});
        }
    }
    return pts;
}

// ---- periodic gradient noise (tiles seamlessly with the given lattice period) ----

uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h =
        static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

double Noise(double x, double y, int periodX, int periodY, uint32_t seed) {
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    double fx = x - ix, fy = y - iy;
    auto grad = [&](int gx, int gy, double dx, double dy) {
        uint32_t h = Hash(((gx % periodX) + periodX) % periodX, ((gy % periodY) + periodY) % periodY, seed);
        double a = (h & 0xFFFF) / 65536.0 * 2 * kPi;
        return std::cos(a) * dx + std::sin(a) * dy;
    };
    auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    double n00 = grad(ix, iy, fx, fy), n10 = grad(ix + 1, iy, fx - 1, fy);
    double n01 = grad(ix, iy + 1, fx, fy - 1), n11 = grad(ix + 1, iy + 1, fx - 1, fy - 1);
    double u = fade(fx), v = fade(fy);
    return (n00 + (n10 - n00) * u) * (1 - v) + (n01 + (n11 - n01) * u) * v;
}

// Fractal noise over the unit square that repeats every 1.0 in both directions.
double Fbm(double u, double v, int periodX, int periodY, int octaves, uint32_t seed) {
    double sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * Noise(u * periodX, v * periodY, periodX, periodY, seed + o);
        norm += amp;
        amp *= 0.5;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

// ---- text ----

class CTextDrawer {
  public:
    explicit CTextDrawer(const char* pattern) {
        if (FT_Init_FreeType(&lib))
            throw std::runtime_error("FreeType cannot start");
        FcInit();
        FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
        FcConfigSubstitute(nullptr, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pat, &result);
        FcChar8* file = nullptr;
        if (!match || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch)
            throw std::runtime_error(std::string("no font for ") + pattern);
        std::string path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
        FcPatternDestroy(pat);
        if (FT_New_Face(lib, path.c_str(), 0, &face))
            throw std::runtime_error("cannot open font " + path);
    }
    ~CTextDrawer() {
        FT_Done_Face(face);
        FT_Done_FreeType(lib);
        FcFini();
    }

    // Coverage mask of an ASCII text at a pixel size; baseline at `ascent` rows from the top.
    struct Mask {
        int w = 0, h = 0, ascent = 0;
        std::vector<double> a;
        double At(int x, int y) const { return x < 0 || y < 0 || x >= w || y >= h ? 0 : a[y * w + x]; }
    };

    Mask Render(const std::string& text, int pixelSize) {
        FT_Set_Pixel_Sizes(face, 0, pixelSize);
        Mask m;
        m.ascent = static_cast<int>(face->size->metrics.ascender >> 6);
        int descent = static_cast<int>(-(face->size->metrics.descender >> 6));
        m.h = m.ascent + descent;
        int pen = 0;
        FT_UInt prev = 0;
        struct Glyph {
            int x, y, w, h;
            std::vector<uint8_t> bits;
        };
        std::vector<Glyph> glyphs;
        for (unsigned char ch : text) {
            FT_UInt gi = FT_Get_Char_Index(face, ch);
            if (prev && gi) {
                FT_Vector k;
                FT_Get_Kerning(face, prev, gi, FT_KERNING_DEFAULT, &k);
                pen += static_cast<int>(k.x >> 6);
            }
            FT_Load_Glyph(face, gi, FT_LOAD_RENDER);
            FT_GlyphSlot g = face->glyph;
            Glyph gl{pen + g->bitmap_left,
                     m.ascent - g->bitmap_top,
                     static_cast<int>(g->bitmap.width),
                     static_cast<int>(g->bitmap.rows),
                     {}};
            for (int r = 0; r < gl.h; ++r)
                for (int c = 0; c < gl.w; ++c)
                    gl.bits.push_back(g->bitmap.buffer[r * g->bitmap.pitch + c]);
            glyphs.push_back(std::move(gl));
            pen += static_cast<int>(g->advance.x >> 6);
            prev = gi;
        }
        m.w = pen + 2;
        m.a.assign(static_cast<size_t>(m.w) * m.h, 0.0);
        for (const Glyph& gl : glyphs)
            for (int r = 0; r < gl.h; ++r)
                for (int c = 0; c < gl.w; ++c) {
                    int x = gl.x + c, y = gl.y + r;
                    if (x >= 0 && y >= 0 && x < m.w && y < m.h)
                        m.a[y * m.w + x] = std::max(m.a[y * m.w + x], gl.bits[r * gl.w + c] / 255.0);
                }
        return m;
    }

    // Draws a text centred on (cx, cy) (the middle of the caps height), optional soft shadow.
    void Draw(CCanvas& cv, const std::string& text, int size, double cx, double cy, Rgba colour,
              Rgba shadow = {0, 0, 0, 0}, double shadowDx = 1, double shadowDy = 1) {
        Mask m = Render(text, size);
        FT_UInt gi = FT_Get_Char_Index(face, 'H');
        FT_Load_Glyph(face, gi, FT_LOAD_DEFAULT);
        double capHeight = face->glyph->metrics.height / 64.0;
        int x0 = static_cast<int>(std::lround(cx - m.w / 2.0));
        int y0 = static_cast<int>(std::lround(cy + capHeight / 2 - m.ascent));
        if (shadow.a > 0)
            for (int y = -2; y < m.h + 2; ++y)
                for (int x = -2; x < m.w + 2; ++x) {
                    double s = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            s += m.At(x + dx, y + dy);
                    cv.Blend(x0 + x + static_cast<int>(shadowDx), y0 + y + static_cast<int>(shadowDy), shadow,
                             s / 9);
                }
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                cv.Blend(x0 + x, y0 + y, colour, m.At(x, y));
    }

  private:
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
};

// ---- saving ----

// Uncompressed 32-bit TGA written by hand, with the top-left origin bit and 8 alpha bits set in the
// descriptor: some readers ignore the alpha channel of a descriptor that does not announce it.
void SaveTga(const CCanvas& cv, const std::string& path) {
    std::vector<uint8_t> rgba = cv.Bytes();
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;
    out[12] = static_cast<uint8_t>(cv.w), out[13] = static_cast<uint8_t>(cv.w >> 8);
    out[14] = static_cast<uint8_t>(cv.h), out[15] = static_cast<uint8_t>(cv.h >> 8);
    out[16] = 32;
    out[17] = 0x28;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        out.push_back(rgba[i + 2]);
        out.push_back(rgba[i + 1]);
        out.push_back(rgba[i + 0]);
        out.push_back(rgba[i + 3]);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + path);
    std::printf("wrote %s (%d x %d)\n", path.c_str(), cv.w, cv.h);
}

void Save(const CCanvas& cv, const std::string& path, bool opaque) {
    ILuint image;
    ilGenImages(1, &image);
    ilBindImage(image);
    std::vector<uint8_t> bytes = cv.Bytes();
    if (!ilTexImage(cv.w, cv.h, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, bytes.data()))
        throw std::runtime_error("ilTexImage failed");
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    if (opaque)
        ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE);
    ilEnable(IL_FILE_OVERWRITE);
    if (!ilSaveImage(path.c_str()))
        throw std::runtime_error("cannot write " + path);
    ilDeleteImages(1, &image);
    std::printf("wrote %s (%d x %d)\n", path.c_str(), cv.w, cv.h);
}

// ---- the images ----

CCanvas MakeCursor() {
    CCanvas cv(32, 32);
    // Arrow with its tip on the top-left corner: the hot spot is (0, 0).
    Sdf arrow = Polygon({{0, 0}, {0, 23}, {5.6, 17.8}, {9.6, 26.6}, {13.4, 24.9}, {9.5, 16.4}, {16.8, 16.4}});
    Sdf shadow = Offset(arrow, 1.6, 1.6);
    cv.Paint([&](double x, double y) { return Rgba{0, 0, 0, 0.38 * Smooth(1.6, -0.8, shadow(x, y))}; });
    cv.Paint([&](double x, double y) {
        double d = arrow(x, y);
        // The tip pixel lies exactly on the corner: widen the shape there so that it is opaque.
        if (x < 1.5 && y < 1.5)
            d = std::min(d, -0.6);
        Rgba inner = Mix(Hex(0xFFFFFF), Hex(0xDCE2EA), Clamp01((x + y) / 36));
        Rgba c = Mix(Hex(0x101010), inner, Smooth(-1.15, -1.75, d));
        c.a = Cover(d);
        return c;
    });
    return cv;
}

CCanvas MakeDesktop() {
    CCanvas cv(256, 256);
    const Rgba light = Hex(0xB07A48), mid = Hex(0x8C5A30), dark = Hex(0x5E3A1C);
    cv.Paint([&](double x, double y) {
        double u = x / 256, v = y / 256;
        double warp = Fbm(u, v, 2, 2, 4, 11);
        double grain = v * 9 + warp * 1.6 + 0.15 * Fbm(u, v, 8, 8, 2, 23);
        double ring = 0.5 + 0.5 * std::sin(2 * kPi * grain);
        ring = std::pow(ring, 2.5);
        double fibre = Fbm(u, v, 3, 96, 3, 37);
        double blotch = Fbm(u, v, 4, 4, 3, 51);
        Rgba c = Mix(light, mid, Clamp01(0.45 + blotch * 0.9));
        c = Mix(c, dark, Clamp01(ring * 0.55 + fibre * 0.35));
        c = Scale(c, 1.0 + 0.12 * fibre);
        c.a = 1;
        return c;
    });
    return cv;
}

void DrawPiece(CCanvas& cv, const std::vector<Pt>& outline, Rgba colour, double alpha = 1.0) {
    Sdf piece = Polygon(outline);
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (const Pt& p : outline) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    }
    int x0 = static_cast<int>(minX) - 6, y0 = static_cast<int>(minY) - 6;
    int x1 = static_cast<int>(maxX) + 8, y1 = static_cast<int>(maxY) + 8;
    Sdf shadow = Offset(piece, 2.5, 3);
    cv.Paint(x0, y0, x1, y1, [&](double x, double y) {
        return Rgba{0, 0, 0, 0.28 * alpha * Smooth(2.5, -1.5, shadow(x, y))};
    });
    cv.Paint(x0, y0, x1, y1, [&](double x, double y) {
        double d = piece(x, y);
        // Bevel: lit from the top-left along the rim, a dark outline at the very edge.
        double dx = piece(x + 1, y) - piece(x - 1, y), dy = piece(x, y + 1) - piece(x, y - 1);
        double gl = std::hypot(dx, dy);
        double light = gl > 0 ? -(dx + dy) / (gl * std::sqrt(2.0)) : 0;
        double rim = Smooth(-5, -0.5, d);
        double k = 1.0 + 0.35 * light * rim;
        double vertical = (y - minY) / (maxY - minY);
        Rgba c = Scale(colour, k * (1.08 - 0.16 * vertical));
        c = Mix(c, Scale(colour, 0.45), Smooth(-1.4, -0.2, d));
        c.a = Cover(d) * alpha;
        return c;
    });
}

CCanvas MakeLogo(CTextDrawer& font) {
    CCanvas cv(512, 512, Hex(0xFFFFFF));
    // The logo band is rows 128..383; everything is drawn inside it.
    const int top = 128;
    cv.Paint(0, top, 512, top + 256, [&](double x, double y) {
        double v = (y - top) / 256;
        double vign = std::hypot((x - 256) / 300, v - 0.5);
        return Rgba{0.93, 0.95, 0.99, Clamp01(vign * 0.9)};
    });
    const int tl[4] = {0, 1, 1, 0}, tr[4] = {0, 0, -1, -1}, bl[4] = {-1, -1, 0, 0}, br[4] = {1, 0, 0, 1};
    double s = 62, ox = 30, oy = top + 64;
    DrawPiece(cv, PiecePolygon(ox, oy, s, tl), Hex(0xD8433B));
    DrawPiece(cv, PiecePolygon(ox + s, oy, s, tr), Hex(0x3A7BD5));
    DrawPiece(cv, PiecePolygon(ox, oy + s, s, bl), Hex(0xF2B630));
    // The fourth piece lifted out of its place, on its way in.
    DrawPiece(cv, PiecePolygon(ox + s + 14, oy + s + 10, s, br), Hex(0x3FA45B));
    font.Draw(cv, "Tarvenkol", 58, 338, top + 104, Hex(0x2A2F45), Hex(0x000000, 0.25), 2, 2);
    font.Draw(cv, "Puzzle", 50, 338, top + 168, Hex(0xD8433B), Hex(0x000000, 0.25), 2, 2);
    cv.Paint(232, top + 196, 446, top + 200, [&](double x, double) {
        return Rgba{0.16, 0.18, 0.27, 0.55 * Smooth(232, 262, x) * Smooth(446, 416, x)};
    });
    return cv;
}

// One look of one button, drawn into the cell whose top-left texel is (cx, cy).
void DrawButtonCell(CCanvas& cv, CTextDrawer& font, int id, int state, int cx, int cy) {
    const bool pressed = state == 1, hovered = state == 2;
    // The game shows texels 1..99 and 1..49 of the cell; keep a clear margin inside them.
    Sdf body = RoundRect(cx + 2.5, cy + 2.5, cx + 97.5, cy + 47.5, 9);
    Rgba topC = Hex(0x5B7FBF), botC = Hex(0x2E4C86);
    if (id == 5)
        topC = Hex(0x4FA85E), botC = Hex(0x256B35);
    if (id == 6)
        topC = Hex(0xC9554B), botC = Hex(0x85261F);
    if (hovered)
        topC = Scale(topC, 1.25), botC = Scale(botC, 1.3);
    if (pressed)
        std::swap(topC, botC), topC = Scale(topC, 0.85), botC = Scale(botC, 0.9);
    cv.Paint(cx, cy, cx + 100, cy + 50, [&](double x, double y) {
        double d = body(x, y);
        double v = (y - cy - 2.5) / 45;
        Rgba c = Mix(topC, botC, Clamp01(v));
        if (!pressed) {
            // Gloss on the upper half, highlight just inside the top rim.
            c = Mix(c, Hex(0xFFFFFF), 0.18 * Smooth(0.55, 0.0, v));
            c = Mix(c, Hex(0xFFFFFF), 0.35 * Smooth(-3, -1.2, d) * Smooth(0.5, 0.1, v));
        } else {
            // Pushed in: an inner shadow along the top and left.
            double dUp = body(x - 2, y - 3);
            c = Mix(c, Hex(0x000000), 0.45 * Smooth(-4.5, 0, dUp));
        }
        if (hovered)
            c = Mix(c, Hex(0xFFF4C0), 0.25 * Smooth(-6, -1, d));
        c = Mix(c, pressed ? Hex(0x10182A) : Hex(0x1C2A48), Smooth(-1.3, -0.3, d));
        c.a = Cover(d);
        return c;
    });
    if (hovered)
        cv.Paint(cx, cy, cx + 100, cy + 50, [&](double x, double y) {
            double d = body(x, y);
            return Rgba{1.0, 0.85, 0.3, d > 0 ? 0.6 * Smooth(2.2, 0, d) : 0};
        });

    // Icon or text, moved down and right by a texel when pressed.
    const double sh = pressed ? 1 : 0;
    const double mx = cx + 50 + sh, my = cy + 25 + sh;
    const Rgba ink = pressed ? Hex(0xDDE3EE) : Hex(0xFFFFFF);
    const Rgba shade = Hex(0x000000, 0.35);
    auto paintShape = [&](const Sdf& shape, Rgba colour, bool withShadow = true) {
        if (withShadow) {
            Sdf s = Offset(shape, 1, 1.2);
            cv.Paint(cx + 3, cy + 3, cx + 97, cy + 47, [&](double x, double y) {
                return Rgba{0, 0, 0, shade.a * Cover(s(x, y) - 0.3)};
            });
        }
        cv.Paint(cx + 3, cy + 3, cx + 97, cy + 47, [&](double x, double y) {
            Rgba c = colour;
            c.a *= Cover(shape(x, y));
            return c;
        });
    };
    const int flat[4] = {1, 0, -1, 1};
    switch (id) {
    case 0: { // raise loose pieces: a piece coming up out of a stack, with an up arrow
        paintShape(Polygon(PiecePolygon(mx - 27, my + 2, 14, flat)), Scale(ink, 0.75));
        paintShape(Polygon(PiecePolygon(mx - 23, my - 4, 14, flat)), Scale(ink, 0.85));
        paintShape(Polygon(PiecePolygon(mx - 19, my - 10, 14, flat)), Hex(0xFFD24A));
        Sdf shaft = Capsule({mx + 16, my + 14}, {mx + 16, my - 6}, 2.6);
        Sdf head = Polygon({{mx + 16, my - 17}, {mx + 26, my - 5}, {mx + 6, my - 5}});
        paintShape(Union(shaft, head), ink);
        break;
    }
    case 1: { // see-through: a piece lying half transparent over another
        paintShape(Polygon(PiecePolygon(mx - 20, my - 12, 20, flat)), Hex(0xFFD24A));
        Sdf top = Polygon(PiecePolygon(mx - 6, my - 6, 20, flat));
        cv.Paint(cx + 3, cy + 3, cx + 97, cy + 47, [&](double x, double y) {
            double d = top(x, y);
            Rgba c = ink;
            c.a = 0.45 * Cover(d) + 0.5 * Cover(std::abs(d) - 0.8);
            return c;
        });
        break;
    }
    case 2: { // preview: a framed landscape picture, the image being assembled
        Sdf frame = RoundRect(mx - 22, my - 15, mx + 22, my + 15, 2.5);
        Sdf inside = RoundRect(mx - 19, my - 12, mx + 19, my + 12, 1);
        paintShape(frame, ink);
        paintShape(inside, Hex(0x9FD3F5), false);
        Sdf hills = Polygon({{mx - 19, my + 12},
                             {mx - 19, my + 4},
                             {mx - 9, my - 5},
                             {mx + 1, my + 5},
                             {mx + 7, my},
                             {mx + 19, my + 10},
                             {mx + 19, my + 12}});
        cv.Paint(cx + 3, cy + 3, cx + 97, cy + 47, [&](double x, double y) {
            Rgba c = Hex(0x3F9A4A);
            c.a = Cover(std::max(hills(x, y), inside(x, y)));
            return c;
        });
        paintShape(Circle(mx + 10, my - 5, 3.5), Hex(0xFFD24A), false);
        break;
    }
    case 3: { // save: a floppy disk
        Sdf disk = Polygon({{mx - 16, my - 17},
                            {mx + 11, my - 17},
                            {mx + 16, my - 12},
                            {mx + 16, my + 17},
                            {mx - 16, my + 17}});
        Sdf shutter = RoundRect(mx - 9, my - 17, mx + 9, my - 5, 1);
        Sdf slot = RoundRect(mx + 2, my - 15, mx + 6, my - 7, 0.5);
        Sdf label = RoundRect(mx - 11, my + 2, mx + 11, my + 17, 1.5);
        paintShape(Subtract(disk, Union(shutter, label)), ink);
        paintShape(Subtract(shutter, slot), Scale(ink, 0.8), false);
        paintShape(label, Hex(0xF4F6FA), false);
        for (int i = 0; i < 3; ++i)
            paintShape(RoundRect(mx - 8, my + 5.5 + 3.5 * i, mx + 8, my + 6.5 + 3.5 * i, 0.4), Hex(0x7F8CA8),
                       false);
        break;
    }
    case 4: { // leave: an open door with an arrow walking out
        Sdf frame = Subtract(RoundRect(mx - 20, my - 18, mx + 2, my + 18, 1.5),
                             RoundRect(mx - 17, my - 15, mx - 1, my + 18, 0.5));
        Sdf door = Polygon({{mx - 17, my - 15}, {mx - 6, my - 12}, {mx - 6, my + 20}, {mx - 17, my + 18}});
        paintShape(frame, ink);
        paintShape(door, Scale(ink, 0.82));
        paintShape(Circle(mx - 8.5, my + 3, 1.3), Hex(0x2E4C86), false);
        Sdf shaft = Capsule({mx + 2, my}, {mx + 16, my}, 2.6);
        Sdf head = Polygon({{mx + 26, my}, {mx + 14, my - 10}, {mx + 14, my + 10}});
        paintShape(Union(shaft, head), Hex(0xFFD24A));
        break;
    }
    case 5: { // yes
        Sdf tick = Union(Capsule({mx - 34, my + 1}, {mx - 27, my + 8}, 2.4),
                         Capsule({mx - 27, my + 8}, {mx - 15, my - 9}, 2.4));
        paintShape(tick, ink);
        font.Draw(cv, "Tak", 19, mx + 10, my, ink, shade);
        break;
    }
    case 6: { // no
        Sdf cross = Union(Capsule({mx - 32, my - 8}, {mx - 18, my + 8}, 2.4),
                          Capsule({mx - 32, my + 8}, {mx - 18, my - 8}, 2.4));
        paintShape(cross, ink);
        font.Draw(cv, "Nie", 19, mx + 10, my, ink, shade);
        break;
    }
    case 7: // OK
        font.Draw(cv, "OK", 22, mx, my, ink, shade);
        break;
    }
}

CCanvas MakeButtons(CTextDrawer& font) {
    CCanvas cv(512, 512);
    for (int id = 0; id < 8; ++id)
        for (int state = 0; state < 3; ++state)
            DrawButtonCell(cv, font, id, state, 100 * (id % 4), 50 * (3 * (id / 4) + state));
    return cv;
}

CCanvas MakeCommunityLogo(CTextDrawer& font) {
    CCanvas cv(128, 128);
    const double c = 64;
    Sdf disc = Circle(c, c, 60);
    cv.Paint([&](double x, double y) {
        double d = disc(x, y);
        double r = std::hypot(x - c, y - c) / 60;
        Rgba col = Mix(Hex(0x3A2A12), Hex(0x1A1208), Clamp01(r));
        col = Mix(col, Hex(0xF0B43C), Smooth(-6.5, -4.5, d) * Smooth(-0.5, -2.5, d));
        col.a = Cover(d);
        return col;
    });
    // Honeycomb: a ring of six hexagons around one, in gold.
    auto hexagon = [&](double hx, double hy, double r) {
        std::vector<Pt> pts;
        for (int k = 0; k < 6; ++k)
            pts.push_back({hx + r * std::cos(kPi / 3 * k), hy + r * std::sin(kPi / 3 * k)});
        return Polygon(pts);
    };
    const double hr = 10.5, cy = 52;
    for (int k = -1; k < 6; ++k) {
        double hx = c, hy = cy;
        if (k >= 0) {
            hx += hr * std::sqrt(3.0) * std::cos(kPi / 6 + kPi / 3 * k);
            hy += hr * std::sqrt(3.0) * std::sin(kPi / 6 + kPi / 3 * k);
        }
        Sdf cell = hexagon(hx, hy, hr - 1.4);
        bool honey = k == -1 || k == 1 || k == 4;
        cv.Paint([&](double x, double y) {
            double d = cell(x, y);
            Rgba col = honey ? Mix(Hex(0xFFD45A), Hex(0xD98A14), Clamp01((y - hy + hr) / (2 * hr)))
                             : Hex(0xF0B43C, 0.0);
            col = Mix(col, Hex(0xF6C24E), Smooth(-2.2, -1.2, d));
            // Filled cells hold honey; the others are drawn as a gold rim only.
            col.a = honey ? Cover(d) : Cover(d) - Cover(d + 1.8);
            return col;
        });
    }
    font.Draw(cv, "BRODMIEL", 15, c, 97, Hex(0xF6C24E), Hex(0x000000, 0.6));
    return cv;
}

// The program icon: one jigsaw piece with a knob at the top and the right and a hole at the left,
// designed on a 48 x 48 grid and drawn at any size.
CCanvas MakeIcon(int size) {
    CCanvas cv(size, size);
    const double k = size / 48.0;
    // Knobs and hole: circles of radius 5.5 whose chords of 9 lie on the edges of the body.
    const double r = 5.5, rise = std::sqrt(r * r - 4.5 * 4.5);
    Sdf body = RoundRect(6, 13, 35, 43, 0.8);
    Sdf piece = Subtract(Union(Union(body, Circle(21, 13 - rise, r)), Circle(35 + rise, 27, r)),
                         Circle(6 + rise, 27, r));
    const double outline = std::max(2.0 * k, 1.2); // in pixels, centred on the edge: the design's 2
    cv.Paint([&](double x, double y) {
        double u = x / k, v = y / k;
        double d = piece(u, v) * k; // in pixels, negative inside
        Rgba c = Mix(Hex(0xFFD35C), Hex(0xE8870E), Clamp01((u + v - 14) / 64));
        c = Mix(c, Hex(0x6B3A06), Clamp01(d + outline / 2 + 0.5));
        c.a = Cover(d - outline / 2);
        return c;
    });
    // A highlight along the upper edge.
    Sdf gleam = Capsule({9.5, 16.5}, {15.5, 16.5}, 0.75);
    cv.Paint([&](double x, double y) { return Hex(0xFFF4C8, 0.8 * Cover(gleam(x / k, y / k) * k)); });
    return cv;
}

void WriteIconPixels(const CCanvas& cv, const std::string& path) {
    std::vector<uint8_t> rgba = cv.Bytes();
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    std::fprintf(f, "// Drawn by tools/MakeGfx --icons: the %d x %d program icon, ARGB, rows from the top.\n",
                 cv.w, cv.h);
    for (size_t i = 0; i < rgba.size(); i += 4)
        std::fprintf(f, "0x%02X%02X%02X%02Xu,%s", rgba[i + 3], rgba[i], rgba[i + 1], rgba[i + 2],
                     (i / 4 + 1) % 8 == 0 ? "\n" : " ");
    if (std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + path);
    std::printf("wrote %s\n", path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--icons") {
        try {
            std::string out = argv[2];
            ilInit();
            for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
                Save(MakeIcon(size), out + "/Puzzle" + std::to_string(size) + ".png", false);
            WriteIconPixels(MakeIcon(48), out + "/ProgramIcon.inc");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "MakeGfx: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder> | --icons <folder>\n", argv[0]);
        return 2;
    }
    try {
        std::string out = argv[1];
        ilInit();
        ilSetInteger(IL_JPG_QUALITY, 92);
        CTextDrawer font("DejaVu Sans:bold");
        SaveTga(MakeCursor(), out + "/Kursor.tga");
        Save(MakeDesktop(), out + "/Desktop.jpg", true);
        Save(MakeLogo(font), out + "/Logo.jpg", true);
        Save(MakeButtons(font), out + "/Buttons.png", false);
        Save(MakeCommunityLogo(font), out + "/Brodmiel.png", false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "MakeGfx: %s\n", e.what());
        return 1;
    }
    return 0;
}
