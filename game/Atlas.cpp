// The piece atlas and the thumbnail: texels composed in memory by the atlas rules, then copied
// row by row into the locked managed textures.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/Picture.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/LogLines.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Rows of the atlas composed at a time: bounds the memory buffer to about 4 MB.
constexpr size_t kBandBytes = 4u << 20;

void CopyRows(const uint32_t* texels, int width, int rowCount, const CTextureLock& locked) {
    for (int y = 0; y < rowCount; ++y)
        std::memcpy(locked.Row(y), texels + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
}

int WorkerThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

} // namespace

void CGame::CreatePuzzleTexture() {
    // No power of two up to 32768 holds the pieces: nothing to ask the device for.
    const int atlasSize = m_board.atlasSize;
    HRESULT hr = D3DERR_INVALIDCALL;
    if (atlasSize > 0) {
        hr = m_device->CreateTexture(atlasSize, atlasSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     &m_textures.puzzle, nullptr);
    }
    if (FAILED(hr)) {
        m_textures.puzzle = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury puzzli", kGameLogSource, LINE_ATLAS_CREATE,
                     hr);
    }
}

// The atlas is composed and handed to the texture one band of rows at a time, each band locked
// on its own, so that neither the composition nor the lock ever holds a copy of the whole level.
void CGame::FillPuzzleTexture(const RgbImage& rgb) {
    const Board& cut = m_board;
    const int atlasSize = m_board.atlasSize;
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
        const CTextureLock locked(m_textures.puzzle, D3DLOCK_DISCARD, 4 * size_t(atlasSize), &rows);
        if (FAILED(locked.hr)) {
            throw CError(ERR_DIRECTX, "Nie można zapisywać do tekstuy puzzli", kGameLogSource,
                         LINE_ATLAS_FILL, locked.hr);
        }
        CopyRows(band.data(), atlasSize, rowCount, locked);
    }
}

void CGame::BuildThumbnail(CPicture& picture) {
    const RgbImage scaled = picture.Thumbnail(m_board);
    HRESULT hr = m_device->CreateTexture(kThumbnailSide, kThumbnailSide, 1, 0, D3DFMT_A8R8G8B8,
                                         D3DPOOL_MANAGED, &m_textures.thumbnail, nullptr);
    if (FAILED(hr)) {
        m_textures.thumbnail = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury miniaturki", kGameLogSource,
                     LINE_THUMBNAIL_CREATE, hr);
    }
    const CTextureLock locked(m_textures.thumbnail, D3DLOCK_DISCARD, 4 * size_t{kThumbnailSide});
    if (FAILED(locked.hr)) {
        throw CError(ERR_DIRECTX, "Nie można zapisywać do tekstury miniaturki", kGameLogSource,
                     LINE_THUMBNAIL_FILL, locked.hr);
    }
    std::vector<uint32_t> texels(static_cast<size_t>(kThumbnailSide) * kThumbnailSide);
    ComposeThumbnail(RgbView{scaled.data.get(), scaled.width}, m_board.thumbWidth, m_board.thumbHeight,
                     texels.data());
    CopyRows(texels.data(), kThumbnailSide, kThumbnailSide, locked);
}
