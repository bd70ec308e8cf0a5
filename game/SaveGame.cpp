// Saved games: the board model to and from a .pzz file (the byte layout is game/logic/SaveFile.h).
#include "framework/Error.h"
#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/logic/GzipWriter.h"
#include "game/logic/SaveFile.h"
#include "platform/CRT.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

const char* const kSourceFile = "game.cpp";

// Log lines of the save failures that replace the unchecked writes.
constexpr int kLineWriteFailed = 1790;

// The longest name of a new game's file: what "--open:" leaves of a 260-byte argument buffer.
constexpr size_t kSaveNameLimit = MAX_PATH - 1 - 7;

// Level 0 of a texture (or the rows of it given), locked while the object lives when `hr`
// succeeded. A pitch shorter than the rows to copy would make the copies overrun the level, so it
// counts as a failed lock.
class CLevelLock {
  public:
    CLevelLock(IDirect3DTexture9* texture, DWORD flags, size_t rowBytes, const RECT* area = nullptr)
        : texture_(texture) {
        hr = texture->LockRect(0, &rect, area, flags);
        if (SUCCEEDED(hr) && (rect.pBits == nullptr || rect.Pitch < 0 || size_t(rect.Pitch) < rowBytes)) {
            texture->UnlockRect(0);
            hr = D3DERR_INVALIDCALL;
        }
    }
    ~CLevelLock() {
        if (SUCCEEDED(hr))
            texture_->UnlockRect(0);
    }
    CLevelLock(const CLevelLock&) = delete;
    CLevelLock& operator=(const CLevelLock&) = delete;

    uint8_t* Bits() const { return static_cast<uint8_t*>(rect.pBits); }

    HRESULT hr;
    D3DLOCKED_RECT rect{};

  private:
    IDirect3DTexture9* texture_;
};

// Rows of the atlas locked at a time when it is saved or loaded: about 4 MB.
int AtlasBandRows(int atlasSize) {
    return std::max(1, int((4u << 20) / (4 * size_t(atlasSize))));
}

SaveHeader HeaderOf(const CGame& g) {
    SaveHeader h;
    h.pieceCount = g.pieceCount;
    h.atlasSize = g.atlasSize;
    h.areaWidth = g.areaWidth;
    h.areaHeight = g.areaHeight;
    h.columns = g.columns;
    h.rows = g.rows;
    h.cellWidth = g.cellWidth;
    h.cellHeight = g.cellHeight;
    h.atlasNeedWidth = g.atlasNeedWidth;
    h.atlasNeedHeight = g.atlasNeedHeight;
    h.boardWidth = g.boardWidth;
    h.boardHeight = g.boardHeight;
    h.playTime = g.playTime;
    return h;
}

} // namespace

std::string CGame::MakeSaveName() const {
    if (mode == 2)
        return path;
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(path.c_str(), drive, dir, name, ext);
    // "%s (%i).pzz" of the file name with its extension. A long picture name is cut, whole
    // characters only, so that the name keeps its count and ".pzz" and fits both a file name
    // (255 bytes) and, after "--open:", one command-line argument (259 characters): the
    // launcher lists it and the game opens it again.
    const std::string suffix = " (" + std::to_string(pieceCount) + ").pzz";
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
void CGame::SaveGame() {
    const char* result = "Gra została zapisana";
    try {
        std::string name = MakeSaveName();
        const DWORD attributes = GetFileAttributesA(name.c_str());
        const DWORD refused = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
        CReplacingGzipFile file(8);
        if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & refused)) ||
            !file.Open(name, GetCurrentProcessId()))
            throw CError(ERR_NORMAL, "Nie można otworzyć pliku aby zapisać grę", kSourceFile, 1756, 0);

        const SaveHeader h = HeaderOf(*this);
        WriteSaveGrid(file, h, colStart, rowStart, tabMap, ownerMap);

        WriteThumbnailSize(file, thumbWidth, thumbHeight);
        {
            CLevelLock lock(thumbnailTexture, D3DLOCK_READONLY, 4 * kSaveThumbnailSide);
            if (FAILED(lock.hr))
                throw CError(ERR_DIRECTX, "Nie można odczytać do tekstury miniaturki", kSourceFile, 1827,
                             lock.hr);
            WritePixelRows(file, lock.Bits(), lock.rect.Pitch, 4 * kSaveThumbnailSide, kSaveThumbnailSide);
        }
        // The atlas is read a band of rows at a time: a whole level's copy would be as large again
        // as the texture.
        const size_t rowBytes = 4 * size_t(atlasSize);
        for (int first = 0; first < atlasSize; first += AtlasBandRows(atlasSize)) {
            const int count = std::min(AtlasBandRows(atlasSize), atlasSize - first);
            const RECT band{0, first, atlasSize, first + count};
            CLevelLock lock(puzzleTexture, D3DLOCK_READONLY, rowBytes, &band);
            if (FAILED(lock.hr))
                throw CError(ERR_DIRECTX, "Nie można odczytać tekstuy puzzli", kSourceFile, 1848, lock.hr);
            WritePixelRows(file, lock.Bits(), lock.rect.Pitch, rowBytes, count);
        }
        WriteSavePieces(file, pieces.data(), std::min(pieces.size(), size_t(pieceCount)));

        if (!file.Commit())
            throw CError(ERR_NORMAL, "Błąd zapisu pliku z zapisaną grą", kSourceFile, kLineWriteFailed, 0);
    } catch (const CError&) {
        result = "Błąd podczas zapisywania gry";
    } catch (const std::exception&) {
        // Out of memory or no thread for the compression: logged like any other failed write.
        CError(ERR_NORMAL, "Błąd zapisu pliku z zapisaną grą", kSourceFile, kLineWriteFailed, 0);
        result = "Błąd podczas zapisywania gry";
    }
    delete messagePanel;
    messagePanel = new MessagePanel(PANEL_NOTICE, result);
}

void CGame::LoadGame() {
    try {
        // Only a file of data is opened: a named pipe would block the open until a writer came,
        // a folder would read as a damaged file.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        const bool dataFile = attributes != INVALID_FILE_ATTRIBUTES &&
                              !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
        gzFile file = dataFile ? gzopen(path.c_str(), "rb") : nullptr;
        if (!file)
            throw CError(ERR_NORMAL, "Nie można otworzyć pliku z zapisaną grą", kSourceFile, 1878, 0);
        try {
            gzbuffer(file, 1 << 18);
            CGzipFileSource src(file);
            try {
                const SaveHeader h = ReadSaveHeader(src, SaveLimits{});
                pieceCount = h.pieceCount;
                atlasSize = h.atlasSize;
                areaWidth = h.areaWidth;
                areaHeight = h.areaHeight;
                columns = h.columns;
                rows = h.rows;
                cellWidth = h.cellWidth;
                cellHeight = h.cellHeight;
                atlasNeedWidth = h.atlasNeedWidth;
                atlasNeedHeight = h.atlasNeedHeight;
                boardWidth = h.boardWidth;
                boardHeight = h.boardHeight;
                playTime = h.playTime;

                colStart = new int32_t[size_t(columns)];
                rowStart = new int32_t[size_t(rows)];
                tabMap = new uint8_t[2 * size_t(columns) * size_t(rows)];
                tabMapWidth = columns;
                ownerMap = new uint16_t[size_t(areaWidth) * size_t(areaHeight)];
                ownerMapWidth = areaWidth;
                ReadSaveGrid(src, h, colStart, rowStart, tabMap, ownerMap);

                ReadThumbnailSize(src, thumbWidth, thumbHeight);
                HRESULT hr =
                    g_pDevice->CreateTexture(kSaveThumbnailSide, kSaveThumbnailSide, 1, 0, D3DFMT_A8R8G8B8,
                                             D3DPOOL_MANAGED, &thumbnailTexture, nullptr);
                if (FAILED(hr))
                    throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury miniaturki", kSourceFile, 1953,
                                 hr);
                {
                    CLevelLock lock(thumbnailTexture, D3DLOCK_NOSYSLOCK, 4 * kSaveThumbnailSide);
                    if (FAILED(lock.hr))
                        throw CError(ERR_DIRECTX, "Nie można odczytać tekstury miniaturki", kSourceFile, 1958,
                                     lock.hr);
                    ReadPixelRows(src, lock.Bits(), lock.rect.Pitch, 4 * kSaveThumbnailSide,
                                  kSaveThumbnailSide);
                }

                hr = g_pDevice->CreateTexture(UINT(atlasSize), UINT(atlasSize), 1, 0, D3DFMT_A8R8G8B8,
                                              D3DPOOL_MANAGED, &puzzleTexture, nullptr);
                if (FAILED(hr))
                    throw CError(ERR_DIRECTX, "Nie można utworzyć tekstury puzzli", kSourceFile, 1979, hr);
                const size_t rowBytes = 4 * size_t(atlasSize);
                for (int first = 0; first < atlasSize; first += AtlasBandRows(atlasSize)) {
                    const int count = std::min(AtlasBandRows(atlasSize), atlasSize - first);
                    const RECT band{0, first, atlasSize, first + count};
                    CLevelLock lock(puzzleTexture, D3DLOCK_NOSYSLOCK, rowBytes, &band);
                    if (FAILED(lock.hr))
                        throw CError(ERR_DIRECTX, "Nie można zapisać tekstuy puzzli", kSourceFile, 1983,
                                     lock.hr);
                    ReadPixelRows(src, lock.Bits(), lock.rect.Pitch, rowBytes, count);
                }

                std::vector<BoardPiece> loaded = ReadSavePieces(src, h);
                src.ExpectEnd();
                pieces.insert(pieces.end(), loaded.begin(), loaded.end());
            } catch (const CSaveFileError& e) {
                throw CError(ERR_NORMAL, e.message, kSourceFile, e.line, 0);
            } catch (const std::bad_alloc&) {
                throw CError(ERR_NORMAL, "Brak pamięci na wczytanie zapisanej gry", kSourceFile, 1896, 0);
            }
        } catch (...) {
            gzclose(file);
            throw;
        }
        gzclose(file);
    } catch (...) {
        Beep(2000, 100);
        throw;
    }
}
