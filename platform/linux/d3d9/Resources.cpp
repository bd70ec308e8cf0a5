// Textures, their surfaces and vertex buffers of the OpenGL device.
//
// A texture is one OpenGL RGBA8 texture whose rows are stored top row first, exactly as the
// locked bits lie in memory, so v = 0 is the top of the image as in Direct3D. The device draws
// into every framebuffer with the same orientation (see DeviceDrawing.cpp), so a render-target texture
// sampled afterwards is the right way up too; only Present flips the image for the window.
#include "platform/linux/d3d9/Objects.h"

#include <cstring>
#include <new>

namespace layer::d3d9 {

// --- CSurface ---

HRESULT CSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    if (m_container) {
        m_container->Describe(desc);
        desc->Type = D3DRTYPE_SURFACE;
        return D3D_OK;
    }
    *desc = D3DSURFACE_DESC{};
    desc->Format = D3DFMT_X8R8G8B8;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = D3DUSAGE_RENDERTARGET;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->Width = m_device->BackBufferWidth();
    desc->Height = m_device->BackBufferHeight();
    return D3D_OK;
}

// --- CTexture ---

CTexture::CTexture(CDevice* device, UINT width, UINT height, DWORD usage, D3DPOOL pool)
    : CDeviceChild(device), m_width(width), m_height(height), m_usage(usage), m_pool(pool),
      m_surface(device, this), m_version(device->NextTextureVersion()) {
    m_device->Loss().ResourceMade(pool);
}

void CTexture::Touch() {
    m_version = m_device->NextTextureVersion();
}

HRESULT CTexture::Create() {
    m_device->MakeCurrent();
    m_device->GlStateTouched();
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenTextures(1, &m_texture);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(m_width), GLsizei(m_height), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, nullptr);
    if (glGetError() != GL_NO_ERROR)
        return D3DERR_OUTOFVIDEOMEMORY;
    if (IsRenderTarget()) {
        glGenFramebuffers(1, &m_framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
        bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (!complete)
            return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

CTexture::~CTexture() {
    m_device->ForgetTexture(this);
    m_device->MakeCurrent();
    if (m_framebuffer)
        glDeleteFramebuffers(1, &m_framebuffer);
    if (m_texture)
        glDeleteTextures(1, &m_texture);
    m_device->GlStateTouched();
    m_device->Loss().ResourceGone(m_pool);
}

void CTexture::Describe(D3DSURFACE_DESC* desc) const {
    *desc = D3DSURFACE_DESC{};
    desc->Format = D3DFMT_A8R8G8B8;
    desc->Type = D3DRTYPE_TEXTURE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Width = m_width;
    desc->Height = m_height;
}

HRESULT CTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level != 0 || !desc)
        return D3DERR_INVALIDCALL;
    Describe(desc);
    desc->Type = D3DRTYPE_SURFACE;
    return D3D_OK;
}

HRESULT CTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (level != 0 || !surface)
        return D3DERR_INVALIDCALL;
    return d3d9rules::HandOut(&m_surface, surface);
}

// The texels live only in OpenGL. A lock makes a staging copy of just the locked rectangle, rows
// of 4 * its width bytes (read back unless the caller discards the contents), and the unlock
// uploads that rectangle and frees the copy: a caller that fills a large texture band by band
// never holds more than a band. Direct3D allows any pitch at least a row's size, and callers
// step by the pitch they are given.
HRESULT CTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    RECT area;
    if (HRESULT hr = d3d9rules::CheckLockRect(lockedRect, level == 0, m_locked, m_pool, m_usage, rect,
                                              m_width, m_height, &area);
        FAILED(hr))
        return hr;

    size_t pitch = size_t(area.right - area.left) * 4;
    size_t bytes = pitch * size_t(area.bottom - area.top);
    m_staging.reset(new (std::nothrow) uint8_t[bytes]);
    if (!m_staging)
        return E_OUTOFMEMORY;
    if (flags & D3DLOCK_DISCARD) {
        std::memset(m_staging.get(), 0, bytes);
    } else {
        m_device->Flush();
        m_device->MakeCurrent();
        m_device->GlStateTouched();
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        if (!rect) {
            glBindTexture(GL_TEXTURE_2D, m_texture);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, m_staging.get());
        } else {
            // OpenGL 3.3 reads part of a texture only through a framebuffer it is attached to.
            GLuint framebuffer = 0;
            glGenFramebuffers(1, &framebuffer);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
            glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
            glReadPixels(area.left, area.top, area.right - area.left, area.bottom - area.top, GL_BGRA,
                         GL_UNSIGNED_BYTE, m_staging.get());
            glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
            glDeleteFramebuffers(1, &framebuffer);
        }
    }
    m_locked = true;
    m_lockReadOnly = (flags & D3DLOCK_READONLY) != 0;
    m_lockedArea = area;
    lockedRect->Pitch = INT(pitch);
    lockedRect->pBits = m_staging.get();
    return D3D_OK;
}

HRESULT CTexture::UnlockRect(UINT level) {
    if (HRESULT hr = d3d9rules::CheckUnlockRect(level == 0, m_locked); FAILED(hr))
        return hr;
    if (!m_lockReadOnly) {
        // Draws recorded before the upload must still see the old texels.
        m_device->Submit();
        Touch();
        m_device->MakeCurrent();
        m_device->GlStateTouched();
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        const RECT& a = m_lockedArea;
        glTexSubImage2D(GL_TEXTURE_2D, 0, a.left, a.top, a.right - a.left, a.bottom - a.top, GL_BGRA,
                        GL_UNSIGNED_BYTE, m_staging.get());
    }
    m_staging.reset();
    m_locked = false;
    return D3D_OK;
}

// --- CVertexBuffer ---

CVertexBuffer::CVertexBuffer(CDevice* device, UINT length) : CDeviceChild(device), m_data(length) {}

CVertexBuffer::~CVertexBuffer() {
    m_device->ForgetVertexBuffer(this);
}

HRESULT CVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD) {
    HRESULT hr = m_locks.Lock(offset, size, m_data.size(), data);
    if (SUCCEEDED(hr))
        *data = m_data.data() + offset;
    return hr;
}

HRESULT CVertexBuffer::Unlock() {
    return m_locks.Unlock();
}

} // namespace layer::d3d9
