#include "platform/d3d9rules/Checks.h"

namespace d3d9rules {

HRESULT CheckLockRect(const D3DLOCKED_RECT* lockedRect, bool levelExists, bool levelLocked, D3DPOOL pool,
                      DWORD usage, const RECT* rect, UINT width, UINT height, RECT* area) {
    if (!lockedRect || !levelExists || levelLocked || pool == D3DPOOL_DEFAULT ||
        (usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    RECT whole{0, 0, LONG(width), LONG(height)};
    RECT a = rect ? *rect : whole;
    if (a.left < 0 || a.top < 0 || a.right > whole.right || a.bottom > whole.bottom || a.left >= a.right ||
        a.top >= a.bottom)
        return D3DERR_INVALIDCALL;
    *area = a;
    return D3D_OK;
}

HRESULT CBufferLocks::Lock(UINT offset, UINT size, size_t length, void** data) {
    if (!data || offset > length || size > length - offset)
        return D3DERR_INVALIDCALL;
    ++m_count;
    return D3D_OK;
}

HRESULT CBufferLocks::Unlock() {
    if (m_count == 0)
        return D3DERR_INVALIDCALL;
    --m_count;
    return D3D_OK;
}

HRESULT CheckCreateTexture(IDirect3DTexture9** texture, UINT width, UINT height, DWORD usage, D3DPOOL pool,
                           UINT maxSize) {
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > maxSize || height > maxSize ||
        ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

} // namespace d3d9rules
