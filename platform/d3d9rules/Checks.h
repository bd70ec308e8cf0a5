// Direct3D 9's checks of locks and of the calls' arguments, shared by both devices. Every refusal
// is D3DERR_INVALIDCALL.
#pragma once

#include "platform/Direct3D9.h"

namespace d3d9rules {

// A texture level can be locked once at a time, and not at all in the default pool (render
// targets live there). The area is the whole level for a null rect, else a non-empty rectangle
// inside it. On D3D_OK *area holds the area to lock.
HRESULT CheckLockRect(const D3DLOCKED_RECT* lockedRect, bool levelExists, bool levelLocked, D3DPOOL pool,
                      DWORD usage, const RECT* rect, UINT width, UINT height, RECT* area);

// Unlocking a level that does not exist or is not locked is refused.
inline HRESULT CheckUnlockRect(bool levelExists, bool levelLocked) {
    return levelExists && levelLocked ? D3D_OK : D3DERR_INVALIDCALL;
}

// The lock count of a vertex buffer. Direct3D allows a buffer to be locked again while locked;
// every Lock needs its Unlock, and nothing draws from a buffer with a lock outstanding.
class CBufferLocks {
  public:
    // Checks and counts a lock of a buffer of length bytes; size 0 locks from the offset to the
    // end. On D3D_OK the caller points *data at the offset.
    HRESULT Lock(UINT offset, UINT size, size_t length, void** data);
    HRESULT Unlock();
    bool Locked() const { return m_count > 0; }

  private:
    unsigned m_count = 0;
};

// Clear: rectangles go with a count, and none without.
inline HRESULT CheckClear(DWORD count, const D3DRECT* rects) {
    return count > 0 && !rects ? D3DERR_INVALIDCALL : D3D_OK;
}

// CreateTexture: a sized texture within the device's limit; render targets in the default pool.
HRESULT CheckCreateTexture(IDirect3DTexture9** texture, UINT width, UINT height, DWORD usage, D3DPOOL pool,
                           UINT maxSize);

} // namespace d3d9rules
