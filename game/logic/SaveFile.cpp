#include "game/logic/SaveFile.h"

#include "game/logic/Cutting.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

// Arrays and records are written as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

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

} // namespace

uint64_t SaveContentSize(const Board& h) {
    uint64_t c = static_cast<uint64_t>(h.columns), r = static_cast<uint64_t>(h.rows);
    uint64_t w = static_cast<uint64_t>(h.areaWidth), hh = static_cast<uint64_t>(h.areaHeight);
    uint64_t s = static_cast<uint64_t>(h.atlasSize), n = static_cast<uint64_t>(h.pieceCount);
    return kSaveHeaderBytes + 4 * c + 4 * r + 2 * c * r + 2 * w * hh + 8 + kThumbnailBytes + 4 * s * s +
           12 * n;
}

void EncodeSaveHeader(const Board& h, uint8_t out[kSaveHeaderBytes]) {
    uint8_t* p = out;
    for (int32_t v : {h.pieceCount, h.atlasSize, h.areaWidth, h.areaHeight, h.columns, h.rows, h.cellWidth,
                      h.cellHeight, h.atlasNeedWidth, h.atlasNeedHeight})
        Put(p, v);
    Put(p, h.boardWidth);
    Put(p, h.boardHeight);
    Put(p, h.playTime);
}

namespace {

void DecodeSaveHeader(const uint8_t in[kSaveHeaderBytes], Board& h) {
    const uint8_t* p = in;
    for (int32_t* v : {&h.pieceCount, &h.atlasSize, &h.areaWidth, &h.areaHeight, &h.columns, &h.rows,
                       &h.cellWidth, &h.cellHeight, &h.atlasNeedWidth, &h.atlasNeedHeight})
        *v = Get<int32_t>(p);
    h.boardWidth = Get<float>(p);
    h.boardHeight = Get<float>(p);
    h.playTime = Get<uint64_t>(p);
}

} // namespace

const char* CheckSaveHeader(const Board& h, const SaveLimits& limits) {
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

// ---- pixels ----

int AtlasBandRows(int atlasSize) {
    return std::max(1, int((4u << 20) / (4 * size_t(atlasSize))));
}

// ---- the whole game ----

namespace {

// One band of rows of an image, locked while the object lives.
class CBand {
  public:
    CBand(CSavePixels& pixels, SaveImage image, int first, int count)
        : m_pixels(pixels), m_image(image), m_bits(pixels.Lock(image, first, count, m_pitch)) {}
    ~CBand() { m_pixels.Unlock(m_image); }
    CBand(const CBand&) = delete;
    CBand& operator=(const CBand&) = delete;

    uint8_t* Row(int r) const { return m_bits + r * m_pitch; }

  private:
    CSavePixels& m_pixels;
    SaveImage m_image;
    ptrdiff_t m_pitch = 0;
    uint8_t* m_bits;
};

// Calls visit(band, rows, bytes per row) for the thumbnail at once and for the atlas band by band.
template <typename Visit> void ForEachBand(const Board& board, Visit visit) {
    visit(SaveImage::Thumbnail, 0, kSaveThumbnailSide, 4 * size_t{kSaveThumbnailSide});
    const int side = board.atlasSize;
    for (int first = 0; first < side; first += AtlasBandRows(side))
        visit(SaveImage::Atlas, first, std::min(AtlasBandRows(side), side - first), 4 * size_t(side));
}

// Grid line positions as the cutting places them: line 0 at 0, line i within cell/8 before
// i * cell and cell/4 - cell/8 - 1 after it, each after the one before and inside the area.
bool GridLinesValid(const std::vector<int32_t>& start, int cell, int area) {
    if (start[0] != 0)
        return false;
    for (size_t i = 1; i < start.size(); ++i) {
        int64_t low = int64_t(i) * cell - cell / 8;
        if (start[i] < low || start[i] > low + cell / 4 - 1 || start[i] <= start[i - 1] || start[i] >= area)
            return false;
    }
    return true;
}

template <typename T> void ReadVector(CSaveSource& src, std::vector<T>& v, size_t count) {
    v.resize(count);
    src.Read(v.data(), count * sizeof(T));
}

} // namespace

void ReadSavedGame(CSaveSource& src, Board& board, CSavePixels& pixels, const SaveLimits& limits) {
    uint8_t bytes[kSaveHeaderBytes];
    src.Read(bytes, sizeof bytes);
    DecodeSaveHeader(bytes, board);
    if (const char* problem = CheckSaveHeader(board, limits))
        Fail(problem, LINE_LOAD_HEADER);

    ReadVector(src, board.colStart, size_t(board.columns));
    ReadVector(src, board.rowStart, size_t(board.rows));
    if (!GridLinesValid(board.colStart, board.cellWidth, board.areaWidth) ||
        !GridLinesValid(board.rowStart, board.cellHeight, board.areaHeight))
        Fail(kBadGridLines, LINE_LOAD_GRID);
    ReadVector(src, board.tabMap, 2 * size_t(board.columns) * size_t(board.rows));
    ReadVector(src, board.ownerMap, size_t(board.areaWidth) * size_t(board.areaHeight));
    const uint16_t highest = *std::max_element(board.ownerMap.begin(), board.ownerMap.end());
    if (highest >= board.pieceCount)
        Fail(kBadOwner, LINE_LOAD_OWNERS);

    int32_t sizes[2];
    src.Read(sizes, sizeof sizes);
    if (sizes[0] < 1 || sizes[0] > kSaveThumbnailSide || sizes[1] < 1 || sizes[1] > kSaveThumbnailSide)
        Fail(kBadThumbSize, LINE_LOAD_THUMB);
    board.thumbWidth = sizes[0];
    board.thumbHeight = sizes[1];

    pixels.Create(SaveImage::Thumbnail, kSaveThumbnailSide);
    bool atlasCreated = false;
    ForEachBand(board, [&](SaveImage image, int first, int count, size_t rowBytes) {
        if (image == SaveImage::Atlas && !atlasCreated) {
            pixels.Create(SaveImage::Atlas, board.atlasSize);
            atlasCreated = true;
        }
        const CBand band(pixels, image, first, count);
        for (int r = 0; r < count; ++r)
            src.Read(band.Row(r), rowBytes);
    });

    std::vector<BoardPiece> pieces;
    ReadVector(src, pieces, size_t(board.pieceCount));
    std::vector<bool> seen(pieces.size());
    for (const BoardPiece& p : pieces) {
        if (p.number >= board.pieceCount)
            Fail(kBadPieceNumber, LINE_LOAD_PIECES);
        if (seen[p.number])
            Fail(kPieceTwice, LINE_LOAD_PIECES);
        seen[p.number] = true;
        if (p.joined > 1 || !std::isfinite(p.x) || !std::isfinite(p.y))
            Fail(kBadPiece, LINE_LOAD_PIECES);
    }
    src.ExpectEnd();
    board.pieces.insert(board.pieces.end(), pieces.begin(), pieces.end());
}

void WriteSavedGame(CSaveSink& sink, const Board& board, CSavePixels& pixels) {
    WriteSavedGame(sink, board, board.ownerMap, pixels);
}

void WriteSavedGame(CSaveSink& sink, const Board& board, const std::vector<uint16_t>& ownerMap,
                    CSavePixels& pixels) {
    uint8_t bytes[kSaveHeaderBytes];
    EncodeSaveHeader(board, bytes);
    sink.Write(bytes, sizeof bytes);
    sink.Write(board.colStart.data(), 4 * size_t(board.columns));
    sink.Write(board.rowStart.data(), 4 * size_t(board.rows));
    sink.Write(board.tabMap.data(), 2 * size_t(board.columns) * size_t(board.rows));
    sink.Write(ownerMap.data(), 2 * size_t(board.areaWidth) * size_t(board.areaHeight));
    const int32_t sizes[2] = {board.thumbWidth, board.thumbHeight};
    sink.Write(sizes, sizeof sizes);
    ForEachBand(board, [&](SaveImage image, int first, int count, size_t rowBytes) {
        if (image == SaveImage::Atlas && sink.Skip(rowBytes * size_t(count)))
            return;
        const CBand band(pixels, image, first, count);
        for (int r = 0; r < count; ++r)
            sink.Write(band.Row(r), rowBytes);
    });
    sink.Write(board.pieces.data(),
               std::min(board.pieces.size(), size_t(board.pieceCount)) * sizeof(BoardPiece));
}
