// The code pages of the font's character sets.
#pragma once

#include "platform/D3DX9.h"

#include <string>

// The bytes read in the code page of a LOGFONT character set: 238 (EASTEUROPE_CHARSET) is
// Windows-1250, every other value Windows-1252.
std::u32string DecodeCodePage(const char* bytes, size_t count, BYTE charSet);
