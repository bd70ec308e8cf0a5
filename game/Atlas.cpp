// The piece atlas and the thumbnail: texels composed by the atlas rules into the locked rows of
// the managed textures.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/Picture.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/AtlasTexture.h"
#include "game/logic/LogLines.h"

#include <algorithm>
#include <thread>

namespace {

// Rows of the atlas locked at a time: bounds the lock's staging copy to about 4 MB.
constexpr size_t kBandBytes = 4u << 20;

int WorkerThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

} // namespace

// The texture holds only the rectangle of the atlas that the pieces need: the rest of the square
// is 0 and is never drawn, and a texture is zero-filled in full when it is made.
void CGame::CreatePuzzleTexture() {
    HRESULT hr = D3DERR_INVALIDCALL;
    if (AtlasTextureFits(m_board, LargestTextureSide())) {
        hr = m_device->CreateTexture(UINT(AtlasTextureWidth(m_board)), UINT(AtlasTextureHeight(m_board)), 1,
                                     0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_textures.puzzle, nullptr);
    }
    if (FAILED(hr)) {
        m_textures.puzzle = nullptr;
        throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury puzzli", kGameLogSource, LINE_ATLAS_CREATE,
                     hr);
    }
}

// The atlas is composed one band of rows at a time straight into that band's lock, so that
// neither the composition nor the lock ever holds a copy of the whole level. The picture's rows
// are discarded as soon as no later band reads them: the picture is spent.
void CGame::FillPuzzleTexture(const RgbImage& rgb) {
    const int width = AtlasTextureWidth(m_board);
    const int height = AtlasTextureHeight(m_board);
    const int bandRows = static_cast<int>(
        std::clamp<size_t>(kBandBytes / (static_cast<size_t>(width) * 4), 1, static_cast<size_t>(height)));
    CAtlasComposer composer(m_board, RgbView{rgb.data.get(), rgb.width}, width, height, bandRows,
                            WorkerThreads());
    const size_t rowBytes = static_cast<size_t>(rgb.width) * 3;
    int discarded = 0;
    for (int b = 0; b < composer.Bands(); ++b) {
        const RECT rows{0, b * bandRows, width, b * bandRows + composer.BandRows(b)};
        {
            const CTextureLock locked(m_textures.puzzle, D3DLOCK_DISCARD, 4 * size_t(width), &rows);
            if (FAILED(locked.hr)) {
                throw CError(ERR_DIRECTX, "Nie można zapisywać do tekstuy puzzli", kGameLogSource,
                             LINE_ATLAS_FILL, locked.hr);
            }
            composer.ComposeBand(b, reinterpret_cast<uint32_t*>(locked.Row(0)),
                                 static_cast<size_t>(locked.rect.Pitch) / 4);
        }
        const int stillRead = composer.FirstRowStillRead(b + 1);
        if (stillRead > discarded) {
            DiscardVirtualMemory(rgb.data.get() + discarded * rowBytes, (stillRead - discarded) * rowBytes);
            discarded = stillRead;
        }
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
    ComposeThumbnail(RgbView{scaled.data.get(), scaled.width}, m_board.thumbWidth, m_board.thumbHeight,
                     reinterpret_cast<uint32_t*>(locked.Row(0)), static_cast<size_t>(locked.rect.Pitch) / 4);
}
