#include "game/logic/SaveFile.h"

#include "game/logic/Cutting.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

// Arrays and records are written as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

const char* const kShortFile = kSaveShortFile;
const char* const kDamagedStream = kSaveDamagedStream;
const char* const kTrailingData = kSaveTrailingData;
const char* const kBadGridLines = "Uszkodzony plik z zapisaną grą: nieprawidłowe położenie linii siatki";
const char* const kBadOwner = "Uszkodzony plik z zapisaną grą: nieprawidłowy numer elementu w mapie pikseli";
const char* const kBadThumbSize = "Uszkodzony plik z zapisaną grą: nieprawidłowy rozmiar miniaturki";
const char* const kBadPieceNumber = "Uszkodzony plik z zapisaną grą: nieprawidłowy numer elementu";
const char* const kPieceTwice = "Uszkodzony plik z zapisaną grą: element zapisany dwukrotnie";
const char* const kBadPiece = "Uszkodzony plik z zapisaną grą: nieprawidłowe położenie lub znacznik elementu";

[[noreturn]] void Fail(const char* message, int line) {
    throw CSaveFileError{message, line};
}

template <typename T> void Put(uint8_t*& p, T v) {
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
}

template <typename T> T Get(const uint8_t*& p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

bool IsPowerOfTwo(int64_t v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Grid line positions as the cutting places them: line 0 at 0, line i within cell/8 before
// i * cell and cell/4 - cell/8 - 1 after it, each after the one before and inside the area.
bool GridLinesValid(const int32_t* start, int count, int cell, int area) {
    if (start[0] != 0)
        return false;
    for (int i = 1; i < count; ++i) {
        int64_t low = int64_t{i} * cell - cell / 8;
        if (start[i] < low || start[i] > low + cell / 4 - 1 || start[i] <= start[i - 1] || start[i] >= area)
            return false;
    }
    return true;
}

} // namespace

uint64_t SaveContentSize(const SaveHeader& h) {
    uint64_t c = static_cast<uint64_t>(h.columns), r = static_cast<uint64_t>(h.rows);
    uint64_t w = static_cast<uint64_t>(h.areaWidth), hh = static_cast<uint64_t>(h.areaHeight);
    uint64_t s = static_cast<uint64_t>(h.atlasSize), n = static_cast<uint64_t>(h.pieceCount);
    return kSaveHeaderBytes + 4 * c + 4 * r + 2 * c * r + 2 * w * hh + 8 + kThumbnailBytes + 4 * s * s +
           12 * n;
}

void EncodeSaveHeader(const SaveHeader& h, uint8_t out[kSaveHeaderBytes]) {
    uint8_t* p = out;
    for (int32_t v : {h.pieceCount, h.atlasSize, h.areaWidth, h.areaHeight, h.columns, h.rows, h.cellWidth,
                      h.cellHeight, h.atlasNeedWidth, h.atlasNeedHeight})
        Put(p, v);
    Put(p, h.boardWidth);
    Put(p, h.boardHeight);
    Put(p, h.playTime);
}

SaveHeader DecodeSaveHeader(const uint8_t in[kSaveHeaderBytes]) {
    const uint8_t* p = in;
    SaveHeader h;
    for (int32_t* v : {&h.pieceCount, &h.atlasSize, &h.areaWidth, &h.areaHeight, &h.columns, &h.rows,
                       &h.cellWidth, &h.cellHeight, &h.atlasNeedWidth, &h.atlasNeedHeight})
        *v = Get<int32_t>(p);
    h.boardWidth = Get<float>(p);
    h.boardHeight = Get<float>(p);
    h.playTime = Get<uint64_t>(p);
    return h;
}

const char* CheckSaveHeader(const SaveHeader& h, const SaveLimits& limits) {
    if (h.columns < 1 || h.rows < 1 || h.cellWidth < kMinCellSide || h.cellHeight < kMinCellSide)
        return "Uszkodzony plik z zapisaną grą: nieprawidłowy podział na elementy";
    const int64_t cells = int64_t{h.columns} * h.rows;
    if (cells > limits.maxPieces || h.pieceCount != cells)
        return "Uszkodzony plik z zapisaną grą: liczba elementów nie zgadza się z podziałem";
    if (h.areaWidth != int64_t{h.columns} * h.cellWidth || h.areaHeight != int64_t{h.rows} * h.cellHeight)
        return "Uszkodzony plik z zapisaną grą: wymiary obrazka nie zgadzają się z podziałem";
    if (h.atlasNeedWidth != h.areaWidth + (int64_t{h.columns} - 1) * h.cellWidth / 4 ||
        h.atlasNeedHeight != h.areaHeight + (int64_t{h.rows} - 1) * h.cellHeight / 4)
        return "Uszkodzony plik z zapisaną grą: potrzebny rozmiar tekstury nie zgadza się z podziałem";
    if (!IsPowerOfTwo(h.atlasSize) || h.atlasSize > limits.maxAtlasSize || h.atlasSize < h.atlasNeedWidth ||
        h.atlasSize < h.atlasNeedHeight)
        return "Uszkodzony plik z zapisaną grą: nieprawidłowy rozmiar tekstury puzzli";
    if (!std::isfinite(h.boardWidth) || !std::isfinite(h.boardHeight) || h.boardWidth <= 0 ||
        h.boardHeight <= 0)
        return "Uszkodzony plik z zapisaną grą: nieprawidłowy rozmiar planszy";
    return nullptr;
}

// ---- sources ----

void CMemorySource::Read(void* data, size_t n) {
    if (n > size_ - pos_)
        Fail(kShortFile, SAVE_LINE_STREAM);
    std::memcpy(data, data_ + pos_, n);
    pos_ += n;
}

void CMemorySource::ExpectEnd() {
    if (pos_ != size_)
        Fail(kTrailingData, SAVE_LINE_STREAM);
}

struct CGzipMemorySource::Stream {
    z_stream z{};
};

CGzipMemorySource::CGzipMemorySource(const uint8_t* data, size_t size) : s_(new Stream) {
    s_->z.next_in = const_cast<Bytef*>(data);
    s_->z.avail_in = static_cast<uInt>(std::min<size_t>(size, UINT_MAX));
    if (inflateInit2(&s_->z, 15 + 16) != Z_OK) {
        delete s_;
        throw std::bad_alloc();
    }
}

CGzipMemorySource::~CGzipMemorySource() {
    inflateEnd(&s_->z);
    delete s_;
}

void CGzipMemorySource::Read(void* data, size_t n) {
    uint8_t* out = static_cast<uint8_t*>(data);
    while (n > 0) {
        if (ended_)
            Fail(kShortFile, SAVE_LINE_STREAM);
        z_stream& z = s_->z;
        z.next_out = out;
        z.avail_out = static_cast<uInt>(std::min<size_t>(n, UINT_MAX));
        int rc = inflate(&z, Z_NO_FLUSH);
        size_t produced = static_cast<size_t>(z.next_out - out);
        out += produced;
        n -= produced;
        if (rc == Z_STREAM_END) {
            // Like gzread: another member may follow; anything else after the stream is ignored.
            if (z.avail_in >= 2 && z.next_in[0] == 0x1f && z.next_in[1] == 0x8b)
                inflateReset(&z);
            else
                ended_ = true;
        } else if (rc == Z_BUF_ERROR || (rc == Z_OK && produced == 0 && z.avail_in == 0)) {
            Fail(kShortFile, SAVE_LINE_STREAM);
        } else if (rc != Z_OK) {
            Fail(kDamagedStream, SAVE_LINE_STREAM);
        }
    }
}

void CGzipMemorySource::ExpectEnd() {
    uint8_t extra;
    while (!ended_) {
        z_stream& z = s_->z;
        z.next_out = &extra;
        z.avail_out = 1;
        int rc = inflate(&z, Z_NO_FLUSH);
        if (z.avail_out == 0)
            Fail(kTrailingData, SAVE_LINE_STREAM);
        if (rc == Z_STREAM_END)
            ended_ = true;
        else if (rc == Z_BUF_ERROR || (rc == Z_OK && z.avail_in == 0))
            Fail(kShortFile, SAVE_LINE_STREAM);
        else if (rc != Z_OK)
            Fail(kDamagedStream, SAVE_LINE_STREAM);
    }
    // A second member that holds more content is content after the end too.
    if (s_->z.avail_in >= 2 && s_->z.next_in[0] == 0x1f && s_->z.next_in[1] == 0x8b)
        Fail(kTrailingData, SAVE_LINE_STREAM);
}

CGzipFileSource::CGzipFileSource(void* gzFile) : file_(gzFile) {}

namespace {

[[noreturn]] void FailGz(gzFile f) {
    int err = Z_OK;
    gzerror(f, &err);
    // A stream cut short is zlib's Z_BUF_ERROR; anything else is damage.
    Fail(err == Z_OK || err == Z_BUF_ERROR ? kShortFile : kDamagedStream, SAVE_LINE_STREAM);
}

} // namespace

void CGzipFileSource::Read(void* data, size_t n) {
    gzFile f = static_cast<gzFile>(file_);
    uint8_t* out = static_cast<uint8_t*>(data);
    while (n > 0) {
        unsigned chunk = static_cast<unsigned>(std::min<size_t>(n, 1u << 30));
        int got = gzread(f, out, chunk);
        if (got <= 0)
            FailGz(f);
        out += got;
        n -= static_cast<size_t>(got);
    }
}

void CGzipFileSource::ExpectEnd() {
    gzFile f = static_cast<gzFile>(file_);
    uint8_t extra;
    int got = gzread(f, &extra, 1);
    if (got > 0)
        Fail(kTrailingData, SAVE_LINE_STREAM);
    int err = Z_OK;
    gzerror(f, &err);
    if (got < 0 || err != Z_OK)
        FailGz(f);
}

// ---- reading steps ----

SaveHeader ReadSaveHeader(CSaveSource& src, const SaveLimits& limits) {
    uint8_t bytes[kSaveHeaderBytes];
    src.Read(bytes, sizeof bytes);
    SaveHeader h = DecodeSaveHeader(bytes);
    if (const char* problem = CheckSaveHeader(h, limits))
        Fail(problem, SAVE_LINE_HEADER);
    return h;
}

void ReadSaveGrid(CSaveSource& src, const SaveHeader& h, int32_t* colStart, int32_t* rowStart,
                  uint8_t* tabMap, uint16_t* ownerMap) {
    src.Read(colStart, 4 * size_t(h.columns));
    src.Read(rowStart, 4 * size_t(h.rows));
    if (!GridLinesValid(colStart, h.columns, h.cellWidth, h.areaWidth) ||
        !GridLinesValid(rowStart, h.rows, h.cellHeight, h.areaHeight))
        Fail(kBadGridLines, SAVE_LINE_GRID);
    src.Read(tabMap, 2 * size_t(h.columns) * size_t(h.rows));
    const size_t pixels = size_t(h.areaWidth) * size_t(h.areaHeight);
    src.Read(ownerMap, 2 * pixels);
    uint16_t highest = 0;
    for (size_t i = 0; i < pixels; ++i)
        highest = std::max(highest, ownerMap[i]);
    if (pixels > 0 && highest >= h.pieceCount)
        Fail(kBadOwner, SAVE_LINE_OWNERS);
}

void ReadThumbnailSize(CSaveSource& src, int32_t& width, int32_t& height) {
    int32_t sizes[2];
    src.Read(sizes, sizeof sizes);
    if (sizes[0] < 1 || sizes[0] > kSaveThumbnailSide || sizes[1] < 1 || sizes[1] > kSaveThumbnailSide)
        Fail(kBadThumbSize, SAVE_LINE_THUMB);
    width = sizes[0];
    height = sizes[1];
}

void ReadPixelRows(CSaveSource& src, uint8_t* bits, ptrdiff_t pitch, size_t rowBytes, int rows) {
    for (int r = 0; r < rows; ++r)
        src.Read(bits + r * pitch, rowBytes);
}

std::vector<BoardPiece> ReadSavePieces(CSaveSource& src, const SaveHeader& h) {
    std::vector<BoardPiece> pieces(static_cast<size_t>(h.pieceCount));
    src.Read(pieces.data(), pieces.size() * sizeof(BoardPiece));
    std::vector<bool> seen(pieces.size());
    for (const BoardPiece& p : pieces) {
        if (p.number >= h.pieceCount)
            Fail(kBadPieceNumber, SAVE_LINE_PIECES);
        if (seen[p.number])
            Fail(kPieceTwice, SAVE_LINE_PIECES);
        seen[p.number] = true;
        if (p.joined > 1 || !std::isfinite(p.x) || !std::isfinite(p.y))
            Fail(kBadPiece, SAVE_LINE_PIECES);
    }
    return pieces;
}

// ---- writing ----

void WriteSaveGrid(CSaveSink& sink, const SaveHeader& h, const int32_t* colStart, const int32_t* rowStart,
                   const uint8_t* tabMap, const uint16_t* ownerMap) {
    uint8_t bytes[kSaveHeaderBytes];
    EncodeSaveHeader(h, bytes);
    sink.Write(bytes, sizeof bytes);
    sink.Write(colStart, 4 * size_t(h.columns));
    sink.Write(rowStart, 4 * size_t(h.rows));
    sink.Write(tabMap, 2 * size_t(h.columns) * size_t(h.rows));
    sink.Write(ownerMap, 2 * size_t(h.areaWidth) * size_t(h.areaHeight));
}

void WriteThumbnailSize(CSaveSink& sink, int32_t width, int32_t height) {
    const int32_t sizes[2] = {width, height};
    sink.Write(sizes, sizeof sizes);
}

void WritePixelRows(CSaveSink& sink, const uint8_t* bits, ptrdiff_t pitch, size_t rowBytes, int rows) {
    for (int r = 0; r < rows; ++r)
        sink.Write(bits + r * pitch, rowBytes);
}

void WriteSavePieces(CSaveSink& sink, const BoardPiece* pieces, size_t count) {
    sink.Write(pieces, count * sizeof(BoardPiece));
}

void WriteSaveData(CSaveSink& sink, const SaveData& d) {
    const SaveHeader& h = d.header;
    WriteSaveGrid(sink, h, d.colStart.data(), d.rowStart.data(), d.tabMap.data(), d.ownerMap.data());
    WriteThumbnailSize(sink, d.thumbWidth, d.thumbHeight);
    WritePixelRows(sink, d.thumbnail.data(), 4 * kSaveThumbnailSide, 4 * kSaveThumbnailSide,
                   kSaveThumbnailSide);
    WritePixelRows(sink, d.atlas.data(), 4 * ptrdiff_t(h.atlasSize), 4 * size_t(h.atlasSize), h.atlasSize);
    WriteSavePieces(sink, d.pieces.data(), d.pieces.size());
}

SaveData ReadSaveData(CSaveSource& src, const SaveLimits& limits) {
    SaveData d;
    SaveHeader& h = d.header;
    h = ReadSaveHeader(src, limits);
    d.colStart.resize(size_t(h.columns));
    d.rowStart.resize(size_t(h.rows));
    d.tabMap.resize(2 * size_t(h.columns) * size_t(h.rows));
    d.ownerMap.resize(size_t(h.areaWidth) * size_t(h.areaHeight));
    ReadSaveGrid(src, h, d.colStart.data(), d.rowStart.data(), d.tabMap.data(), d.ownerMap.data());
    ReadThumbnailSize(src, d.thumbWidth, d.thumbHeight);
    d.thumbnail.resize(kThumbnailBytes);
    ReadPixelRows(src, d.thumbnail.data(), 4 * kSaveThumbnailSide, 4 * kSaveThumbnailSide,
                  kSaveThumbnailSide);
    d.atlas.resize(4 * size_t(h.atlasSize) * size_t(h.atlasSize));
    ReadPixelRows(src, d.atlas.data(), 4 * ptrdiff_t(h.atlasSize), 4 * size_t(h.atlasSize), h.atlasSize);
    d.pieces = ReadSavePieces(src, h);
    src.ExpectEnd();
    return d;
}
