// The font description the font tests ask for: by default the game's bold 16-pixel Verdana in
// the Central European character set.
#pragma once

#include "platform/D3DX9.h"

#include <cstring>

inline LOGFONTA MakeLogFont(const char* face = "Verdana", LONG height = 16, LONG weight = FW_BOLD,
                            BYTE charSet = EASTEUROPE_CHARSET) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = charSet;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}
