// D3DXCreateTextureFromFileA over DevIL. The image is decoded to 8-bit BGRA rows, top row first,
// stretched to power-of-two sides with a bilinear filter (what D3DX does with its default
// arguments) and written into a managed A8R8G8B8 texture through CreateTexture and LockRect, so
// any device implementation works.
//
// The game uses DevIL too, with its own ilInit ... ilShutDown around a new game and DevIL's
// default states. The loader therefore leaves DevIL as it found it: it starts and stops DevIL
// only when DevIL was not running, changes no DevIL state (it flips bottom-up rows itself instead
// of setting an origin mode), rebinds the image that was bound, deletes its own image and
// drains the errors it caused. (ilPushAttrib is no help: DevIL 1.7.8 crashes in it while its
// format-specific strings are unset.)
#include "platform/D3DX9.h"

#include <IL/il.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Image {
    UINT width = 0;
    UINT height = 0;
    std::vector<BYTE> bgra; // width * 4 bytes a row, row 0 at the top
};

// One DevIL load with everything it touches put back afterwards.
class CDevilSession {
  public:
    CDevilSession() {
        m_previous = static_cast<ILuint>(ilGetInteger(IL_CUR_IMAGE));
        ilGenImages(1, &m_image);
        if (m_image == 0) {
            // DevIL was not running (ilGenImages hands out nothing then): run it for this load.
            ilInit();
            m_ownsDevil = true;
            ilGenImages(1, &m_image);
        }
        ilBindImage(m_image);
    }

    ~CDevilSession() {
        if (m_image != 0)
            ilDeleteImages(1, &m_image);
        while (ilGetError() != IL_NO_ERROR) {
        }
        if (m_ownsDevil)
            ilShutDown();
        else
            ilBindImage(m_previous);
    }

    bool Load(const std::string& path, Image& out) {
        if (m_image == 0 || !ilLoadImage(path.c_str()))
            return false;
        if (!ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE))
            return false;
        ILint w = ilGetInteger(IL_IMAGE_WIDTH);
        ILint h = ilGetInteger(IL_IMAGE_HEIGHT);
        const ILubyte* data = ilGetData();
        if (w <= 0 || h <= 0 || !data)
            return false;
        out.width = static_cast<UINT>(w);
        out.height = static_cast<UINT>(h);
        size_t rowBytes = static_cast<size_t>(w) * 4;
        out.bgra.resize(rowBytes * static_cast<size_t>(h));
        // DevIL keeps the rows in the file's order; a lower-left origin means the bottom row is first.
        bool bottomUp = ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT;
        for (ILint y = 0; y < h; ++y) {
            ILint from = bottomUp ? h - 1 - y : y;
            std::memcpy(out.bgra.data() + rowBytes * static_cast<size_t>(y),
                        data + rowBytes * static_cast<size_t>(from), rowBytes);
        }
        return true;
    }

  private:
    ILuint m_previous = 0;
    ILuint m_image = 0;
    bool m_ownsDevil = false;
};

UINT NextPowerOfTwo(UINT n) {
    UINT p = 1;
    while (p < n && p < (1u << 31))
        p <<= 1;
    return p;
}

// The two source texels that destination texel i of `to` falls between, and the weight of the
// second: texel centres map onto texel centres, edges clamped.
struct Span {
    UINT first, second;
    float weight;
};

Span SourceSpan(UINT i, UINT from, UINT to) {
    float s = (static_cast<float>(i) + 0.5f) * static_cast<float>(from) / static_cast<float>(to) - 0.5f;
    s = std::clamp(s, 0.0f, static_cast<float>(from - 1));
    const UINT first = static_cast<UINT>(s);
    return {first, std::min(first + 1, from - 1), s - static_cast<float>(first)};
}

// Bilinear stretch.
void Stretch(const Image& src, UINT width, UINT height, BYTE* dst, INT pitch) {
    auto texel = [&src](UINT x, UINT y) { return &src.bgra[(static_cast<size_t>(y) * src.width + x) * 4]; };
    for (UINT y = 0; y < height; ++y) {
        const Span sy = SourceSpan(y, src.height, height);
        BYTE* row = dst + static_cast<ptrdiff_t>(pitch) * y;
        for (UINT x = 0; x < width; ++x) {
            const Span sx = SourceSpan(x, src.width, width);
            const BYTE* p00 = texel(sx.first, sy.first);
            const BYTE* p01 = texel(sx.second, sy.first);
            const BYTE* p10 = texel(sx.first, sy.second);
            const BYTE* p11 = texel(sx.second, sy.second);
            for (int c = 0; c < 4; ++c) {
                float top = p00[c] + (p01[c] - p00[c]) * sx.weight;
                float bottom = p10[c] + (p11[c] - p10[c]) * sx.weight;
                row[x * 4 + c] = static_cast<BYTE>(std::lround(top + (bottom - top) * sy.weight));
            }
        }
    }
}

} // namespace

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, IDirect3DTexture9** texture) {
    if (!device || !srcFile || !texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    std::string path = srcFile;
    std::replace(path.begin(), path.end(), '\\', '/');

    Image image;
    {
        CDevilSession devil;
        if (!devil.Load(path, image))
            return D3DXERR_INVALIDDATA;
    }

    UINT width = NextPowerOfTwo(image.width);
    UINT height = NextPowerOfTwo(image.height);
    // One level: the game samples level 0 only (no mip filter) and the OpenGL device keeps one.
    IDirect3DTexture9* made = nullptr;
    HRESULT hr = device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &made, nullptr);
    if (FAILED(hr))
        return hr;
    if (!made)
        return E_FAIL;
    D3DLOCKED_RECT locked{};
    hr = made->LockRect(0, &locked, nullptr, 0);
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    if (width == image.width && height == image.height) {
        for (UINT y = 0; y < height; ++y)
            std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<ptrdiff_t>(locked.Pitch) * y,
                        image.bgra.data() + static_cast<size_t>(y) * width * 4,
                        static_cast<size_t>(width) * 4);
    } else {
        Stretch(image, width, height, static_cast<BYTE*>(locked.pBits), locked.Pitch);
    }
    made->UnlockRect(0);
    *texture = made;
    return D3D_OK;
}
