// What a font of this library found and measured; for tests of the font only.
#pragma once

#include "platform/D3DX9.h"

#include <string>

struct FontFaceInfo {
    std::string family; // the family fontconfig chose (the requested one, or its fallback)
    std::string file;   // the face's file
    int ascent;         // pixels above the baseline in a line cell
    int lineHeight;     // the cell height: ascent + descent
    bool syntheticBold; // bold was asked for and the face is not: glyphs are emboldened
};

// False when font was not made by this library's D3DXCreateFontIndirect.
bool GetFontFaceInfo(ID3DXFont* font, FontFaceInfo* info);

// True when the face has a glyph of its own for the character (not the missing-glyph box).
bool FontHasGlyph(ID3DXFont* font, char32_t ch);
