// The presentation of the device tests and the drawing benchmark: an 800 x 600 window, frames
// shown at once.
#pragma once

#include "platform/Direct3D9.h"

inline D3DPRESENT_PARAMETERS WindowedParameters(HWND window) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 800;
    p.BackBufferHeight = 600;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return p;
}
