// The vertex of all screen-space drawing in the layer's own code (the font) and the recording
// device: pre-transformed, coloured and textured, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1,
// 28 bytes as Direct3D lays it out.
#pragma once

#include "platform/Direct3D9.h"

namespace d3d9rules {

struct TransformedVertex {
    float x, y, z, rhw;
    DWORD diffuse;
    float u, v;
};
static_assert(sizeof(TransformedVertex) == 28);

} // namespace d3d9rules
