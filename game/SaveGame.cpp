// Saved games: the board and the two textures to and from a .pzz file through the one reader and
// writer of game/logic/SaveFile.h.
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/logic/AtlasTexture.h"
#include "game/logic/GzipWriter.h"
#include "game/logic/LogLines.h"
#include "game/logic/GzipReader.h"
#include "game/logic/SaveAhead.h"
#include "game/logic/SaveFile.h"
#include "platform/CRT.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

namespace {

// The longest name of a new game's file: what "--open:" leaves of a 260-byte argument buffer.
constexpr size_t kSaveNameLimit = MAX_PATH - 1 - 7;

// The textures as the saved-game code sees them. Saving locks them read-only; loading creates
// them and locks them to be written. Every failure is the CError of its own log line.
//
// The file holds the square atlas, atlasSize texels a side, but its texture holds only the
// rectangle that the pieces need (AtlasTexture.h). Its rows therefore pass through a band of
// whole file rows: saving copies the texture's texels into it and leaves the rest of every row,
// and every row below the texture, 0; loading reads the file's rows into it and copies only the
// texture's part on, the rest is read and ignored.
class CTexturePixels : public CSavePixels {
  public:
    // board: the grid whose textures are saved, or (loading) which the reader fills before it
    // creates the atlas.
    CTexturePixels(IDirect3DDevice9* device, BoardTextures& textures, const Board& board, bool loading)
        : m_device(device), m_textures(textures), m_board(board), m_loading(loading) {}

    void Create(SaveImage image, int side) override {
        const bool atlas = image == SaveImage::Atlas;
        IDirect3DTexture9*& texture = atlas ? m_textures.puzzle : m_textures.thumbnail;
        const HRESULT hr =
            atlas
                ? m_device->CreateTexture(UINT(AtlasTextureWidth(m_board)), UINT(AtlasTextureHeight(m_board)),
                                          1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)
                : m_device->CreateTexture(UINT(side), UINT(side), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                          &texture, nullptr);
        if (FAILED(hr)) {
            throw CError(ERR_DIRECTX,
                         atlas ? "Nie można utworzyć tekstury puzzli"
                               : "Nie można utworzyć tekstury miniaturki",
                         kGameLogSource, atlas ? LINE_LOAD_ATLAS_CREATE : LINE_LOAD_THUMBNAIL_CREATE, hr);
        }
    }

    uint8_t* Lock(SaveImage image, int first, int count, ptrdiff_t& pitch) override {
        if (image == SaveImage::Thumbnail) {
            LockTexture(false, nullptr, kSaveThumbnailSide);
            pitch = m_lock->rect.Pitch;
            return m_lock->Row(0);
        }
        const int side = m_board.atlasSize;
        int width = 0, height = 0;
        TextureSize(width, height);
        width = std::min(width, side);
        m_bandRows = std::max(0, std::min(first + count, height) - first);
        m_bandWidth = width;
        const size_t rowBytes = 4 * size_t(side);
        m_band.resize(rowBytes * size_t(count));
        if (m_bandRows > 0) {
            const RECT rows{0, first, width, first + m_bandRows};
            LockTexture(true, &rows, width);
        }
        if (!m_loading) {
            std::fill(m_band.begin(), m_band.end(), uint8_t{0});
            for (int i = 0; i < m_bandRows; ++i)
                std::memcpy(m_band.data() + rowBytes * size_t(i), m_lock->Row(i), 4 * size_t(width));
            m_lock.reset();
        }
        pitch = ptrdiff_t(rowBytes);
        return m_band.data();
    }

    void Unlock(SaveImage image) override {
        if (image == SaveImage::Atlas && m_loading && m_lock) {
            const size_t rowBytes = 4 * size_t(m_board.atlasSize);
            for (int i = 0; i < m_bandRows; ++i)
                std::memcpy(m_lock->Row(i), m_band.data() + rowBytes * size_t(i), 4 * size_t(m_bandWidth));
        }
        m_lock.reset();
    }

  private:
    // The atlas texture's size: as made when loading, as it is when saving.
    void TextureSize(int& width, int& height) const {
        if (m_loading) {
            width = AtlasTextureWidth(m_board);
            height = AtlasTextureHeight(m_board);
            return;
        }
        D3DSURFACE_DESC desc{};
        const HRESULT hr = m_textures.puzzle ? m_textures.puzzle->GetLevelDesc(0, &desc) : D3DERR_INVALIDCALL;
        if (FAILED(hr))
            throw CError(ERR_DIRECTX, Message(true), kGameLogSource, Line(true), hr);
        width = int(desc.Width);
        height = int(desc.Height);
    }

    // Every texel of a locked band is rewritten when loading: nothing needs to be read back.
    void LockTexture(bool atlas, const RECT* area, int width) {
        const DWORD flags = m_loading ? D3DLOCK_NOSYSLOCK | (atlas ? D3DLOCK_DISCARD : 0) : D3DLOCK_READONLY;
        m_lock.emplace(atlas ? m_textures.puzzle : m_textures.thumbnail, flags, 4 * size_t(width), area);
        if (FAILED(m_lock->hr)) {
            const HRESULT hr = m_lock->hr;
            m_lock.reset();
            throw CError(ERR_DIRECTX, Message(atlas), kGameLogSource, Line(atlas), hr);
        }
    }

    const char* Message(bool atlas) const {
        if (m_loading)
            return atlas ? "Nie można zapisać tekstuy puzzli" : "Nie można odczytać tekstury miniaturki";
        return atlas ? "Nie można odczytać tekstuy puzzli" : "Nie można odczytać do tekstury miniaturki";
    }
    int Line(bool atlas) const {
        if (m_loading)
            return atlas ? LINE_LOAD_ATLAS_LOCK : LINE_LOAD_THUMBNAIL_LOCK;
        return atlas ? LINE_SAVE_ATLAS_LOCK : LINE_SAVE_THUMBNAIL_LOCK;
    }

    IDirect3DDevice9* m_device;
    BoardTextures& m_textures;
    const Board& m_board;
    bool m_loading;
    std::optional<CTextureLock> m_lock;
    // The atlas band handed out: whole file rows, of which the first m_bandRows reach into the
    // texture, m_bandWidth texels of each.
    std::vector<uint8_t> m_band;
    int m_bandRows = 0;
    int m_bandWidth = 0;
};

} // namespace

std::string CGame::MakeSaveName() const {
    if (m_mode == START_OPEN)
        return m_path;
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(m_path.c_str(), drive, dir, name, ext);
    // "%s (%i).pzz" of the file name with its extension. A long picture name is cut, whole
    // characters only, so that the name keeps its count and ".pzz" and fits both a file name
    // (255 bytes) and, after "--open:", one command-line argument (259 characters): the
    // launcher lists it and the game opens it again.
    const std::string suffix = " (" + std::to_string(m_board.pieceCount) + ").pzz";
    std::string stem = std::string(name) + ext;
    const size_t limit = kSaveNameLimit - suffix.size();
    if (stem.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + suffix;
}

// The file is written beside its target under a temporary name and renamed over it only after
// a complete write, so a failed save never damages the game saved before. Renaming would replace
// what opening the target for writing refuses, so a read-only file, a folder or anything but a
// file of data under the target's name fails the save as a file that cannot be created.
bool CGame::SaveGame() {
    try {
        const std::string name = MakeSaveName();
        const DWORD attributes = GetFileAttributesA(name.c_str());
        const DWORD refused = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
        ReplaceResult result = ReplaceResult::CannotOpen;
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & refused)) {
            std::optional<GzipLender> lender;
            if (name == m_indexedPath) {
                const uint64_t pieces = sizeof(BoardPiece) * uint64_t(m_board.pieceCount);
                lender = GzipLender{name, m_fileIndex, kSaveHeaderBytes, SaveContentSize(m_board) - pieces};
            } else if (m_saveAhead) {
                // What the background has compressed so far; the rest is compressed here.
                if (const GzipLender* ahead = m_saveAhead->Stop())
                    lender = *ahead;
            }
            CTexturePixels pixels(m_device, m_textures, m_board, false);
            GzipIndex written;
            result = ReplaceGzipFile(
                name, GetCurrentProcessId(), lender ? &*lender : nullptr,
                [&](CSaveSink& sink) { WriteSavedGame(sink, m_board, pixels); }, written);
            if (result == ReplaceResult::Replaced) {
                m_fileIndex = std::move(written);
                m_indexedPath = name;
                m_saveAhead.reset(); // later saves lend from the saved file
                return true;
            }
        }
        if (result == ReplaceResult::CannotOpen)
            throw CError(ERR_NORMAL, "Nie można otworzyć pliku aby zapisać grę", kGameLogSource,
                         LINE_SAVE_OPEN, 0);
        throw CError(ERR_NORMAL, "Błąd zapisu pliku z zapisaną grą", kGameLogSource, LINE_SAVE_WRITE, 0);
    } catch (const CError&) {
    } catch (const std::exception&) {
        // Out of memory or no thread for the compression: logged like any other failed write.
        CError(ERR_NORMAL, "Błąd zapisu pliku z zapisaną grą", kGameLogSource, LINE_SAVE_WRITE, 0);
    }
    return false;
}

void CGame::ShowSaveNotice(bool saved) {
    m_panel = std::make_unique<MessagePanel>(PANEL_NOTICE,
                                             saved ? "Gra została zapisana" : "Błąd podczas zapisywania gry");
}

void CGame::SaveAheadStep() {
    if (!m_saveAhead) {
        // Only for a game whose file nothing can lend yet, once its board has been shown.
        if (m_framesBeforeSaveAhead == 0 || --m_framesBeforeSaveAhead > 0 || !m_indexedPath.empty() ||
            m_board.pieceCount <= 0 || !m_textures.puzzle || !m_textures.thumbnail)
            return;
        try {
            m_saveAhead = std::make_unique<CSaveAhead>(MakeSaveName(), GetCurrentProcessId(), m_board);
        } catch (const std::exception&) {
            // No thread or no memory for it: the first save compresses everything itself.
        }
        return;
    }
    try {
        CTexturePixels pixels(m_device, m_textures, m_board, false);
        m_saveAhead->Serve(pixels);
    } catch (...) {
        m_saveAhead.reset();
    }
}

bool CGame::SaveAheadDone() const {
    return m_saveAhead && m_saveAhead->Done();
}

void CGame::LoadGame() {
    try {
        // Only a file of data is opened (a named pipe, a folder or a device is not).
        std::unique_ptr<CGzipFileSource> source = CGzipFileSource::Open(m_path);
        if (!source)
            throw CError(ERR_NORMAL, "Nie można otworzyć pliku z zapisaną grą", kGameLogSource,
                         LINE_LOAD_OPEN, 0);
        CTexturePixels pixels(m_device, m_textures, m_board, true);
        try {
            ReadSavedGame(*source, m_board, pixels);
            m_fileIndex = source->TakeIndex();
            m_indexedPath = m_path;
        } catch (const CSaveFileError& e) {
            throw CError(ERR_NORMAL, e.message, kGameLogSource, e.line, 0);
        } catch (const std::bad_alloc&) {
            throw CError(ERR_NORMAL, "Brak pamięci na wczytanie zapisanej gry", kGameLogSource,
                         LINE_LOAD_OUT_OF_MEMORY, 0);
        }
    } catch (...) {
        Beep(2000, 100);
        throw;
    }
}
