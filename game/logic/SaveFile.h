// The saved-game file: a gzip stream whose content is, little-endian and without any header of
// its own, the fixed fields (56 bytes), colStart, rowStart, tabMap, ownerMap, the thumbnail's two
// sizes and its 512 rows of 2048 bytes, the atlas's S rows of 4*S bytes, and the 12-byte piece
// records from the bottom of the stack to the top. One writer and one reader serve the game, the
// tests, the benchmark and the fuzzer.
//
// The reader trusts nothing: every size is checked against the others and against SaveLimits
// before anything is allocated, every value that later code uses as an index is range-checked,
// and a short read, a damaged stream or bytes after the content fail the load with
// CSaveFileError. Pixels travel through a CSavePixels, which hands out rows a band at a time, so
// textures are filled and read in place and this code needs no device.
#pragma once

#include "game/logic/Board.h"
#include "game/logic/GzipWriter.h"
#include "game/logic/LogLines.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

static_assert(sizeof(float) == 4 && sizeof(BoardPiece) == 12);

constexpr int kSaveThumbnailSide = 512;
constexpr size_t kSaveHeaderBytes = 56;
constexpr size_t kThumbnailBytes = size_t{kSaveThumbnailSide} * kSaveThumbnailSide * 4;

// What the reader accepts at most. The defaults cover every game the cutting can make from a
// picture whose atlas fits the largest texture the layer supports (16384 texels a side).
struct SaveLimits {
    int32_t maxAtlasSize = 16384;
    int32_t maxPieces = 65536; // piece numbers are 16 bits
};

// The stream failures, logged at LINE_LOAD_STREAM.
inline constexpr const char* kSaveShortFile = "Uszkodzony plik z zapisaną grą: plik jest za krótki";
inline constexpr const char* kSaveDamagedStream =
    "Uszkodzony plik z zapisaną grą: błąd w skompresowanych danych";
inline constexpr const char* kSaveTrailingData =
    "Uszkodzony plik z zapisaną grą: dane za końcem zapisanej gry";

// A failed load: message (Windows-1250 text) and the line its log entry names (LINE_LOAD_...).
struct CSaveFileError {
    const char* message;
    int line;
};

// Bytes of the whole content for the board's fields (valid fields only).
uint64_t SaveContentSize(const Board& board);

// The 56 bytes of the fixed fields, and their check: null when they agree with each other and
// with the limits, else what is wrong.
void EncodeSaveHeader(const Board& board, uint8_t out[kSaveHeaderBytes]);
const char* CheckSaveHeader(const Board& board, const SaveLimits& limits);

// ---- pixels ----

enum class SaveImage { Thumbnail, Atlas };

// The two textures' rows as the writer reads them and the reader fills them: 4 bytes a texel,
// the thumbnail 512 texels a side, the atlas atlasSize. Rows are asked for in bands: the
// thumbnail at once, the atlas about 4 MB at a time.
class CSavePixels {
  public:
    virtual ~CSavePixels() = default;
    // The reader calls it once for each image, before its rows.
    virtual void Create(SaveImage image, int side) = 0;
    // Rows first ... first + count - 1, `pitch` bytes apart, valid until Unlock. Throws when the
    // rows cannot be had.
    virtual uint8_t* Lock(SaveImage image, int first, int count, ptrdiff_t& pitch) = 0;
    virtual void Unlock(SaveImage image) = 0;
};

// Rows of the atlas handed over at a time: about 4 MB.
int AtlasBandRows(int atlasSize);

// ---- reading ----

// Byte source of the reader.
class CSaveSource {
  public:
    virtual ~CSaveSource() = default;
    // Fills exactly n bytes or throws CSaveFileError (short file or damaged stream).
    virtual void Read(void* data, size_t n) = 0;
    // Throws CSaveFileError unless the content ends here and the stream is whole (its trailer
    // checked).
    virtual void ExpectEnd() = 0;
};

// ---- the whole game ----

// Fills board (fixed fields, grid, maps, thumbnail size, pieces) and the two images.
void ReadSavedGame(CSaveSource& src, Board& board, CSavePixels& pixels, const SaveLimits& limits = {});
// Writes board and the two images; at most pieceCount pieces. Before each band of the atlas the
// sink is asked to Skip it; a band it already holds is neither locked nor written.
void WriteSavedGame(CSaveSink& sink, const Board& board, CSavePixels& pixels);
// The same with the owner map given apart: `board` may then be a copy without it.
void WriteSavedGame(CSaveSink& sink, const Board& board, const std::vector<uint16_t>& ownerMap,
                    CSavePixels& pixels);
