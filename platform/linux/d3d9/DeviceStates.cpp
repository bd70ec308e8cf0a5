// The states of the OpenGL device: recorded, and sent to OpenGL when a batch is drawn.
#include "platform/linux/d3d9/Objects.h"

namespace layer::d3d9 {

HRESULT CDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    switch (state) {
    case D3DRS_ALPHABLENDENABLE:
        SetState(m_state.blend, value != FALSE);
        break;
    case D3DRS_SRCBLEND:
        SetState(m_state.srcBlend, value);
        break;
    case D3DRS_DESTBLEND:
        SetState(m_state.destBlend, value);
        break;
    default: // depth, culling, lighting...: nothing to do for pre-transformed 2D drawing
        break;
    }
    return D3D_OK;
}

HRESULT CDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    auto* t = dynamic_cast<CTexture*>(texture);
    if (texture && !t)
        return D3DERR_INVALIDCALL;
    if (stage == 0)
        SetState(m_state.texture, t);
    return D3D_OK;
}

HRESULT CDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    if (stage != 0)
        return D3D_OK;
    // D3DTSS_COLOROP (1) to D3DTSS_ALPHAARG2 (6), in order.
    static constexpr DWORD DrawState::*kFields[] = {&DrawState::colorOp,   &DrawState::colorArg1,
                                                    &DrawState::colorArg2, &DrawState::alphaOp,
                                                    &DrawState::alphaArg1, &DrawState::alphaArg2};
    if (type >= D3DTSS_COLOROP && type <= D3DTSS_ALPHAARG2)
        SetState(m_state.*kFields[type - D3DTSS_COLOROP], value);
    return D3D_OK;
}

HRESULT CDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= 16)
        return D3DERR_INVALIDCALL;
    if (sampler != 0)
        return D3D_OK;
    DWORD filter =
        value == D3DTEXF_NONE || value == D3DTEXF_POINT ? DWORD(D3DTEXF_POINT) : DWORD(D3DTEXF_LINEAR);
    switch (type) {
    case D3DSAMP_MINFILTER:
        SetState(m_state.minFilter, filter);
        break;
    case D3DSAMP_MAGFILTER:
        SetState(m_state.magFilter, filter);
        break;
    case D3DSAMP_ADDRESSU:
        SetState(m_state.addressU, value);
        break;
    case D3DSAMP_ADDRESSV:
        SetState(m_state.addressV, value);
        break;
    default: // one level only: the mip filter has nothing to choose from
        break;
    }
    return D3D_OK;
}

HRESULT CDevice::SetFVF(DWORD fvf) {
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT CDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    auto* b = dynamic_cast<CVertexBuffer*>(buffer);
    if (stream != 0 || (buffer && !b))
        return D3DERR_INVALIDCALL;
    m_stream = b;
    m_streamOffset = offset;
    m_streamStride = stride;
    return D3D_OK;
}

} // namespace layer::d3d9
