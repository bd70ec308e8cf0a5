// Placement of a text in a rectangle by the draw-text format flags, apart from any font
// machinery: the font supplies the advance of each character and its cell height.
#pragma once

#include "platform/D3DX9.h"

#include <functional>
#include <string>
#include <vector>

struct PlacedChar {
    char32_t ch;
    int x;        // pen position (the glyph's origin) in pixels
    int baseline; // baseline y in pixels
};

struct TextLayout {
    std::vector<PlacedChar> chars; // drawable characters only: no line breaks
    int lineCount = 0;
    int height = 0; // lineCount * line height
    RECT bounds{};  // the lines' extent: left of the leftmost line start to right of the widest line
};

struct LayoutMetrics {
    int ascent;     // baseline below a line's top, pixels
    int lineHeight; // cell height: ascent + descent
    // Advance of ch in pixels (26.6 fixed point), including the kerning after prev (0 at a line start).
    std::function<long(char32_t prev, char32_t ch)> advance;
};

// Lays text out in rect. DT_SINGLELINE keeps one line (line breaks are not drawn); otherwise
// CR LF, LF and CR start a new line, and DT_WORDBREAK also breaks at blanks before a word that
// would pass the right edge (a word wider than the rectangle stays whole). Blanks at a wrap are
// dropped. Lines are aligned by DT_LEFT / DT_CENTER / DT_RIGHT each, and the block vertically by
// DT_TOP / DT_VCENTER / DT_BOTTOM, multi-line text included. Positions are whole pixels.
TextLayout LayOutText(const std::u32string& text, const RECT& rect, DWORD format,
                      const LayoutMetrics& metrics);
