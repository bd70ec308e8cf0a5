// The piece atlas and the thumbnail: texels composed in memory by the atlas rules, then copied
// row by row into the locked managed textures.
#include "framework/Error.h"
#include "game/Game.h"
#include "game/logic/AtlasTexels.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr const char* kSource = "game.cpp";
// Rows of the atlas composed at a time: bounds the memory buffer to about 4 MB.
constexpr size_t kBandBytes = 4u << 20;

// Unlocks level 0 when the copy leaves early.
class CLevelLock {
  public:
    explicit CLevelLock(IDirect3DTexture9* texture) : m_texture(texture) {}
    ~CLevelLock() { m_texture->UnlockRect(0); }
    CLevelLock(const CLevelLock&) = delete;
    CLevelLock& operator=(const CLevelLock&) = delete;

  private:
    IDirect3DTexture9* m_texture;
};

void CopyRows(const uint32_t* texels, int width, int rowCount, const D3DLOCKED_RECT& locked, int firstRow) {
    for (int y = 0; y < rowCount; ++y) {
        BYTE* row = static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(firstRow + y) * locked.Pitch;
        std::memcpy(row, texels + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
    }
}

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

// The atlas is composed and handed to the texture one band of rows at a time, each band locked
// on its own, so that neither the composition nor the lock ever holds a copy of the whole level.
void CGame::FillPuzzleTexture(const RgbImage& rgb) {
    const PieceCut cut = CurrentCut();
    const RgbView pixels{rgb.data.get(), rgb.width};
    std::vector<int8_t> counts = ComputeReliefCounts(cut, WorkerThreads());
    const int bandRows = static_cast<int>(std::clamp<size_t>(
        kBandBytes / (static_cast<size_t>(atlasSize) * 4), 1, static_cast<size_t>(atlasSize)));
    std::vector<uint32_t> band(static_cast<size_t>(bandRows) * atlasSize);

    for (int first = 0; first < atlasSize; first += bandRows) {
        const int rowCount = std::min(bandRows, atlasSize - first);
        ComposeAtlasRows(cut, pixels, counts.data(), atlasSize, first, rowCount, band.data(),
                         WorkerThreads());
        const RECT rows{0, first, atlasSize, first + rowCount};
        D3DLOCKED_RECT locked;
        const HRESULT hr = puzzleTexture->LockRect(0, &locked, &rows, D3DLOCK_DISCARD);
        if (FAILED(hr)) {
            throw CError(ERR_DIRECTX, "Nie można zapisywać do tekstuy puzzli", kSource, 793, hr);
        }
        CLevelLock unlock(puzzleTexture);
        CopyRows(band.data(), atlasSize, rowCount, locked, 0);
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
    std::vector<uint32_t> texels(static_cast<size_t>(kThumbnailSide) * kThumbnailSide);
    ComposeThumbnail(RgbView{scaled.data.get(), scaled.width}, thumbWidth, thumbHeight, texels.data());
    CopyRows(texels.data(), kThumbnailSide, kThumbnailSide, locked, 0);
}
