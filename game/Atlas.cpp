// The piece atlas and the thumbnail: texels composed by the atlas rules into the locked rows of
// the managed textures.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/logic/AtlasTexels.h"

#include <algorithm>
#include <thread>

namespace {

constexpr const char* kSource = "game.cpp";
// Rows of the atlas locked at a time: bounds the lock's staging copy to about 4 MB.
constexpr size_t kBandBytes = 4u << 20;

// Unlocks level 0 when the composition leaves early.
class CLevelLock {
  public:
    explicit CLevelLock(IDirect3DTexture9* texture) : m_texture(texture) {}
    ~CLevelLock() { m_texture->UnlockRect(0); }
    CLevelLock(const CLevelLock&) = delete;
    CLevelLock& operator=(const CLevelLock&) = delete;

  private:
    IDirect3DTexture9* m_texture;
};

int WorkerThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

} // namespace

void CGame::CreatePuzzleTexture() {
    // No power of two up to 32768 holds the pieces: nothing to ask the device for.
    HRESULT hr = D3DERR_INVALIDCALL;
    if (atlasSize > 0) {
        hr = m_device->CreateTexture(atlasSize, atlasSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     &puzzleTexture, nullptr);
    }
    if (FAILED(hr)) {
        puzzleTexture = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury puzzli", kSource, 764, hr);
    }
}

// The atlas is composed one band of rows at a time straight into that band's lock, so that
// neither the composition nor the lock ever holds a copy of the whole level. The picture's rows
// are discarded as soon as no later band reads them: the picture is spent.
void CGame::FillPuzzleTexture(const RgbImage& rgb) {
    const int bandRows = static_cast<int>(std::clamp<size_t>(
        kBandBytes / (static_cast<size_t>(atlasSize) * 4), 1, static_cast<size_t>(atlasSize)));
    CAtlasComposer composer(CurrentCut(), RgbView{rgb.data.get(), rgb.width}, atlasSize, bandRows,
                            WorkerThreads());
    const size_t rowBytes = static_cast<size_t>(rgb.width) * 3;
    int discarded = 0;
    for (int b = 0; b < composer.Bands(); ++b) {
        const RECT rows{0, b * bandRows, atlasSize, b * bandRows + composer.BandRows(b)};
        D3DLOCKED_RECT locked;
        const HRESULT hr = puzzleTexture->LockRect(0, &locked, &rows, D3DLOCK_DISCARD);
        if (FAILED(hr)) {
            throw CError(ERR_DIRECTX, "Nie można zapisywać do tekstuy puzzli", kSource, 793, hr);
        }
        {
            CLevelLock unlock(puzzleTexture);
            composer.ComposeBand(b, static_cast<uint32_t*>(locked.pBits),
                                 static_cast<size_t>(locked.Pitch) / 4);
        }
        const int stillRead = composer.FirstRowStillRead(b + 1);
        if (stillRead > discarded) {
            DiscardVirtualMemory(rgb.data.get() + discarded * rowBytes, (stillRead - discarded) * rowBytes);
            discarded = stillRead;
        }
    }
}

void CGame::BuildThumbnail(CPictureDecoder& decoder) {
    const RgbImage scaled = ScaleThumbnailImage(decoder);
    HRESULT hr = m_device->CreateTexture(kThumbnailSide, kThumbnailSide, 1, 0, D3DFMT_A8R8G8B8,
                                         D3DPOOL_MANAGED, &thumbnailTexture, nullptr);
    if (FAILED(hr)) {
        thumbnailTexture = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury miniaturki", kSource, 1547, hr);
    }
    D3DLOCKED_RECT locked;
    hr = thumbnailTexture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD);
    if (FAILED(hr)) {
        throw CError(ERR_DIRECTX, "Nie można zapisywać do tekstury miniaturki", kSource, 1552, hr);
    }
    CLevelLock unlock(thumbnailTexture);
    ComposeThumbnail(RgbView{scaled.data.get(), scaled.width}, thumbWidth, thumbHeight,
                     static_cast<uint32_t*>(locked.pBits), static_cast<size_t>(locked.Pitch) / 4);
}
