// The saved-game file: a gzip stream whose content is, little-endian and without any header of
// its own, the fixed fields (56 bytes), colStart, rowStart, tabMap, ownerMap, the thumbnail's two
// sizes and its 512 rows of 2048 bytes, the atlas's S rows of 4*S bytes, and the 12-byte piece
// records from the bottom of the stack to the top.
//
// The reader trusts nothing: every size is checked against the others and against SaveLimits
// before anything is allocated, every value that later code uses as an index is range-checked,
// and a short read, a damaged stream or bytes after the content fail the load with
// CSaveFileError. Pixels travel as row pointers and a pitch, so textures reach this code as
// locked memory and the code needs no device.
#pragma once

#include "game/Board.h"
#include "game/logic/GzipWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

static_assert(sizeof(float) == 4 && sizeof(BoardPiece) == 12);

constexpr int kSaveThumbnailSide = 512;
constexpr size_t kSaveHeaderBytes = 56;
constexpr size_t kThumbnailBytes = size_t{kSaveThumbnailSide} * kSaveThumbnailSide * 4;

// The fixed fields, in file order.
struct SaveHeader {
    int32_t pieceCount = 0;
    int32_t atlasSize = 0;
    int32_t areaWidth = 0;
    int32_t areaHeight = 0;
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
    int32_t atlasNeedWidth = 0;
    int32_t atlasNeedHeight = 0;
    float boardWidth = 0;
    float boardHeight = 0;
    uint64_t playTime = 0;
};

// What the reader accepts at most. The defaults cover every game the cutting can make from a
// picture whose atlas fits the largest texture the layer supports (16384 texels a side).
struct SaveLimits {
    int32_t maxAtlasSize = 16384;
    int32_t maxPieces = 65536; // piece numbers are 16 bits
};

// A failed load: message (Windows-1250 text) and the line its log entry names.
struct CSaveFileError {
    const char* message;
    int line;
};

// The stream failures, all logged at SAVE_LINE_STREAM.
inline constexpr const char* kSaveShortFile = "Uszkodzony plik z zapisaną grą: plik jest za krótki";
inline constexpr const char* kSaveDamagedStream = "Uszkodzony plik z zapisaną grą: błąd w skompresowanych danych";
inline constexpr const char* kSaveTrailingData = "Uszkodzony plik z zapisaną grą: dane za końcem zapisanej gry";

// Log lines of the load failures found by the checks.
enum SaveErrorLine {
    SAVE_LINE_STREAM = 1890, // short file, damaged gzip stream, bytes after the content
    SAVE_LINE_HEADER = 1891, // fixed fields that disagree
    SAVE_LINE_GRID = 1892,   // colStart or rowStart
    SAVE_LINE_OWNERS = 1893, // ownerMap
    SAVE_LINE_THUMB = 1894,  // thumbnail sizes
    SAVE_LINE_PIECES = 1895, // piece records
};

// Bytes of the whole content for these fields (valid fields only).
uint64_t SaveContentSize(const SaveHeader& h);

// The 56 bytes of the fixed fields.
void EncodeSaveHeader(const SaveHeader& h, uint8_t out[kSaveHeaderBytes]);
SaveHeader DecodeSaveHeader(const uint8_t in[kSaveHeaderBytes]);

// Null when the fields agree with each other and with the limits, else what is wrong.
const char* CheckSaveHeader(const SaveHeader& h, const SaveLimits& limits);

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

// Uncompressed content in memory.
class CMemorySource : public CSaveSource {
  public:
    CMemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    void Read(void* data, size_t n) override;
    void ExpectEnd() override;

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A gzip stream in memory, inflated as it is read.
class CGzipMemorySource : public CSaveSource {
  public:
    CGzipMemorySource(const uint8_t* data, size_t size);
    ~CGzipMemorySource() override;
    void Read(void* data, size_t n) override;
    void ExpectEnd() override;

  private:
    struct Stream;
    Stream* s_;
    bool ended_ = false;
};

// A gzip file opened by the caller with gzopen(path, "rb"); the caller closes it.
class CGzipFileSource : public CSaveSource {
  public:
    explicit CGzipFileSource(void* gzFile);
    void Read(void* data, size_t n) override;
    void ExpectEnd() override;

  private:
    void* file_;
};

// The reading steps in file order. Each checks what it read; the arrays and rows are those of
// the header that ReadSaveHeader returned, allocated by the caller after it returned.
SaveHeader ReadSaveHeader(CSaveSource& src, const SaveLimits& limits);
void ReadSaveGrid(CSaveSource& src, const SaveHeader& h, int32_t* colStart, int32_t* rowStart,
                  uint8_t* tabMap, uint16_t* ownerMap);
// The two thumbnail sizes, each 1 to 512.
void ReadThumbnailSize(CSaveSource& src, int32_t& width, int32_t& height);
// rows rows of rowBytes each into bits + row * pitch.
void ReadPixelRows(CSaveSource& src, uint8_t* bits, ptrdiff_t pitch, size_t rowBytes, int rows);
// pieceCount records; numbers 0 ... pieceCount - 1 each once, joined 0 or 1, finite positions.
std::vector<BoardPiece> ReadSavePieces(CSaveSource& src, const SaveHeader& h);

// ---- writing ----

// The fixed fields, colStart, rowStart, tabMap and ownerMap.
void WriteSaveGrid(CSaveSink& sink, const SaveHeader& h, const int32_t* colStart, const int32_t* rowStart,
                   const uint8_t* tabMap, const uint16_t* ownerMap);
void WriteThumbnailSize(CSaveSink& sink, int32_t width, int32_t height);
// rows rows of rowBytes each from bits + row * pitch (the pitch padding is not written).
void WritePixelRows(CSaveSink& sink, const uint8_t* bits, ptrdiff_t pitch, size_t rowBytes, int rows);
void WriteSavePieces(CSaveSink& sink, const BoardPiece* pieces, size_t count);

// ---- a whole board in memory (tests, benchmark, fuzzing) ----

struct SaveData {
    SaveHeader header;
    std::vector<int32_t> colStart, rowStart;
    std::vector<uint8_t> tabMap;
    std::vector<uint16_t> ownerMap;
    int32_t thumbWidth = 0, thumbHeight = 0;
    std::vector<uint8_t> thumbnail; // 512 rows of 2048 bytes
    std::vector<uint8_t> atlas;     // S rows of 4*S bytes
    std::vector<BoardPiece> pieces;
};

void WriteSaveData(CSaveSink& sink, const SaveData& d);
SaveData ReadSaveData(CSaveSource& src, const SaveLimits& limits = {});
