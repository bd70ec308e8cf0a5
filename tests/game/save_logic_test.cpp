// The saved-game bytes: layout, the gzip stream, and the reader's refusal of damaged files.
#include "game/logic/GzipWriter.h"
#include "game/logic/GzipReader.h"
#include "game/logic/SaveFile.h"
#include "tests/game/MemorySave.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace {

// A whole saved game in memory.
struct Saved {
    Board board;
    CMemoryPixels pixels;
};

// A consistent 2 x 2 game: 96 x 96 area, cells of 48, atlas 128.
Saved TwoByTwo() {
    Saved d;
    Board& h = d.board;
    h.pieceCount = 4;
    h.atlasSize = 128;
    h.areaWidth = h.areaHeight = 96;
    h.columns = h.rows = 2;
    h.cellWidth = h.cellHeight = 48;
    h.atlasNeedWidth = h.atlasNeedHeight = 96 + 48 / 4;
    h.boardWidth = h.boardHeight = 1.5f * 96 + 2 * 4;
    h.playTime = 0x0000000123456789ull;
    h.colStart = {0, 45};
    h.rowStart = {0, 50};
    h.tabMap = {1, 0, 7, 1, 0, 9, 3, 5};
    h.ownerMap.resize(96 * 96);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            h.ownerMap[y * 96 + x] = static_cast<uint16_t>((y >= 50) * 2 + (x >= 45));
    h.thumbWidth = 96;
    h.thumbHeight = 96;
    d.pixels.thumbnail.resize(kThumbnailBytes);
    for (size_t i = 0; i < d.pixels.thumbnail.size(); ++i)
        d.pixels.thumbnail[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    d.pixels.atlasSide = 128;
    d.pixels.atlas.resize(4 * 128 * 128);
    for (size_t i = 0; i < d.pixels.atlas.size(); ++i)
        d.pixels.atlas[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
    h.pieces = {{10.5f, 20.25f, 3, 1, 0}, {100, 7, 0, 0, 0xAB}, {55, 66, 2, 1, 0}, {-3, 140, 1, 0, 0}};
    return d;
}

std::vector<uint8_t> Content(Saved d) {
    CMemorySink sink;
    WriteSavedGame(sink, d.board, d.pixels);
    return sink.bytes;
}

Saved Read(CSaveSource& src, const SaveLimits& limits = {}) {
    Saved d;
    ReadSavedGame(src, d.board, d.pixels, limits);
    return d;
}

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "save_logic_" + name;
}

// Deletes the files the tests leave in the temporary folder when the program ends.
struct CTempFiles {
    ~CTempFiles() {
        for (const char* name : {"layout.pzz", "member.gz", "replace.pzz", "roundtrip.pzz", "damaged.pzz"})
            std::remove(TempPath(name).c_str());
    }
} g_tempFiles;

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteGzip(const std::string& path, const std::vector<uint8_t>& content) {
    CGzipFileWriter w(8);
    ASSERT_TRUE(w.Open(path));
    w.Write(content.data(), content.size());
    ASSERT_TRUE(w.Finish());
}

// Inflates a gzip file as exactly one member (zlib directly: header, raw deflate, trailer) and
// fails the test if the trailer's CRC or length disagree or anything follows the member.
std::vector<uint8_t> InflateSingleMember(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> out;
    EXPECT_GE(file.size(), 18u);
    // No optional fields: the deflate data starts at byte 10.
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 4), (std::vector<uint8_t>{0x1f, 0x8b, 8, 0}));
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(file.data() + 10);
    z.avail_in = static_cast<uInt>(file.size() - 10);
    uint8_t buf[65536];
    int rc;
    do {
        z.next_out = buf;
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buf, z.next_out);
    } while (rc == Z_OK);
    EXPECT_EQ(rc, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 8u) << "exactly the trailer must follow the deflate stream";
    const uint8_t* t = z.next_in;
    inflateEnd(&z);
    uint32_t crc = 0, size = 0;
    for (int i = 0; i < 4; ++i) {
        crc |= uint32_t{t[i]} << (8 * i);
        size |= uint32_t{t[4 + i]} << (8 * i);
    }
    EXPECT_EQ(crc, crc32(crc32(0, nullptr, 0), out.data(), static_cast<uInt>(out.size())));
    EXPECT_EQ(size, static_cast<uint32_t>(out.size()));
    return out;
}

template <typename T> T At(const std::vector<uint8_t>& b, size_t offset) {
    T v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

TEST(SaveFileLayout, TwoByTwoGameFieldByField) {
    Saved d = TwoByTwo();
    std::string path = TempPath("layout.pzz");
    WriteGzip(path, Content(d));
    std::vector<uint8_t> b = InflateSingleMember(ReadFileBytes(path));

    ASSERT_EQ(b.size(), 1132680u);
    EXPECT_EQ(SaveContentSize(d.board), 1132680u);
    const int32_t fixed[] = {4, 128, 96, 96, 2, 2, 48, 48, 108, 108};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(At<int32_t>(b, 4 * i), fixed[i]) << "field at offset " << 4 * i;
    EXPECT_EQ(At<float>(b, 40), 152.0f);
    EXPECT_EQ(At<float>(b, 44), 152.0f);
    EXPECT_EQ(At<uint64_t>(b, 48), 0x0000000123456789ull);
    EXPECT_EQ((std::vector<int32_t>{At<int32_t>(b, 56), At<int32_t>(b, 60), At<int32_t>(b, 64),
                                    At<int32_t>(b, 68)}),
              (std::vector<int32_t>{0, 45, 0, 50}));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 72, b.begin() + 80), d.board.tabMap);
    const size_t owners = 80;
    EXPECT_EQ(At<uint16_t>(b, owners), 0);
    EXPECT_EQ(At<uint16_t>(b, owners + 2 * 45), 1);
    EXPECT_EQ(At<uint16_t>(b, owners + 2 * (50 * 96)), 2);
    EXPECT_EQ(At<uint16_t>(b, owners + 2 * (95 * 96 + 95)), 3);
    const size_t t = owners + 2 * 96 * 96;
    EXPECT_EQ(At<int32_t>(b, t), 96);
    EXPECT_EQ(At<int32_t>(b, t + 4), 96);
    EXPECT_EQ(0, std::memcmp(b.data() + t + 8, d.pixels.thumbnail.data(), kThumbnailBytes));
    const size_t p = t + 8 + kThumbnailBytes;
    EXPECT_EQ(0, std::memcmp(b.data() + p, d.pixels.atlas.data(), d.pixels.atlas.size()));
    const size_t r = p + 4 * 128 * 128;
    ASSERT_EQ(r, 1132680u - 48);
    // Records of 12 bytes: x, y, number, joined.
    EXPECT_EQ((std::vector<float>{At<float>(b, r), At<float>(b, r + 4), At<float>(b, r + 36),
                                  At<float>(b, r + 40)}),
              (std::vector<float>{10.5f, 20.25f, -3.0f, 140.0f}));
    EXPECT_EQ(
        (std::vector<int>{At<uint16_t>(b, r + 8), b[r + 10], At<uint16_t>(b, r + 12 + 8), b[r + 12 + 10]}),
        (std::vector<int>{3, 1, 0, 0}));
}

// Rows lying further apart than their bytes, as locked textures hand them out; the padding
// starts as 0xEE.
class CPaddedPixels : public CSavePixels {
  public:
    static constexpr int kPadding = 12;
    void Create(SaveImage image, int side) override {
        m_side[int(image)] = side;
        m_image[int(image)].assign(size_t(4 * side + kPadding) * side, 0xEE);
    }
    uint8_t* Lock(SaveImage image, int first, int, ptrdiff_t& pitch) override {
        ++locks;
        pitch = 4 * m_side[int(image)] + kPadding;
        return m_image[int(image)].data() + first * pitch;
    }
    void Unlock(SaveImage) override {}
    bool PaddingUntouched() const {
        for (int i = 0; i < 2; ++i)
            for (int r = 0; r < m_side[i]; ++r)
                for (int b = 0; b < kPadding; ++b)
                    if (m_image[i][size_t(4 * m_side[i] + kPadding) * r + 4 * m_side[i] + b] != 0xEE)
                        return false;
        return true;
    }
    int locks = 0;

  private:
    int m_side[2] = {};
    std::vector<uint8_t> m_image[2];
};

// A sink that already holds every atlas band.
class CSkippingSink : public CMemorySink {
  public:
    bool Skip(size_t n) override {
        skipped += n;
        return true;
    }
    size_t skipped = 0;
};

TEST(SaveFileLayout, PaddedRowsAndSkippedBands) {
    const std::vector<uint8_t> content = Content(TwoByTwo());
    CMemorySource src(content.data(), content.size());
    Board board;
    CPaddedPixels padded;
    ReadSavedGame(src, board, padded);
    EXPECT_TRUE(padded.PaddingUntouched()) << "the padding of a locked row is left alone";
    CMemorySink sink;
    WriteSavedGame(sink, board, padded);
    EXPECT_EQ(sink.bytes, content) << "the padding of a locked row never reaches the file";

    // A sink that has the atlas already: those bytes are neither locked nor written.
    CSkippingSink skipping;
    padded.locks = 0;
    WriteSavedGame(skipping, board, padded);
    EXPECT_EQ(skipping.skipped, 4u * 128 * 128);
    EXPECT_EQ(padded.locks, 1) << "only the thumbnail";
    EXPECT_EQ(skipping.bytes.size(), content.size() - 4 * 128 * 128);
}

// The parallel writer's blocks must join into one member whatever the content length.
TEST(GzipFileWriter, OneMemberThatZlibAndGzreadExpandExactly) {
    for (size_t n :
         {size_t{0}, size_t{1}, CGzipFileWriter::kBlockSize, 3 * CGzipFileWriter::kBlockSize + 17}) {
        std::vector<uint8_t> content(n);
        uint32_t x = 12345;
        for (size_t i = 0; i < n; ++i) {
            x = x * 1103515245 + 12345;
            content[i] = static_cast<uint8_t>(i % 3000 < 1500 ? (x >> 24) & 7 : i / 4096);
        }
        std::string path = TempPath("member.gz");
        WriteGzip(path, content);
        EXPECT_EQ(InflateSingleMember(ReadFileBytes(path)), content) << n << " bytes";

        gzFile f = gzopen(path.c_str(), "rb");
        ASSERT_TRUE(f);
        std::vector<uint8_t> back(n + 1);
        EXPECT_EQ(gzread(f, back.data(), static_cast<unsigned>(back.size())), static_cast<int>(n));
        back.resize(n);
        EXPECT_EQ(back, content);
        gzclose(f);
    }
}

TEST(GzipFileWriter, FullDiskIsAFailure) {
    CGzipFileWriter w(8);
    ASSERT_TRUE(w.Open("/dev/full"));
    std::vector<uint8_t> content(3 * CGzipFileWriter::kBlockSize, 0x5A);
    w.Write(content.data(), content.size());
    EXPECT_FALSE(w.Finish());
}

TEST(ReplacingGzipFile, OldFileStaysUntilCommitAndTemporaryFileGoes) {
    std::string path = TempPath("replace.pzz");
    WriteFileBytes(path, {'o', 'l', 'd'});
    const std::vector<uint8_t> content(100000, 42);
    std::string abandoned;
    {
        CReplacingGzipFile f(8);
        ASSERT_TRUE(f.Open(path, 4242));
        abandoned = f.TemporaryPath();
        f.Write(content.data(), content.size());
        // Abandoned: as a save that failed half way.
    }
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(std::ifstream(abandoned).good());

    // Two writers of one process, and a name an earlier process left behind, never share a file.
    CReplacingGzipFile f(8), g(8);
    ASSERT_TRUE(f.Open(path, 4242));
    const std::string prefix = ::testing::TempDir() + "~4242-";
    ASSERT_EQ(f.TemporaryPath().compare(0, prefix.size(), prefix), 0) << f.TemporaryPath();
    const std::string leftover =
        prefix + std::to_string(std::stoul(f.TemporaryPath().substr(prefix.size())) + 1) + ".tmp";
    WriteFileBytes(leftover, {'l', 'e', 'f', 't'});
    ASSERT_TRUE(g.Open(path, 4242));
    EXPECT_NE(g.TemporaryPath(), f.TemporaryPath());
    EXPECT_NE(g.TemporaryPath(), leftover);
    const std::vector<uint8_t> other(5000, 7);
    g.Write(other.data(), other.size());
    f.Write(content.data(), content.size());
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(InflateSingleMember(ReadFileBytes(path)), content);
    ASSERT_TRUE(g.Commit());
    EXPECT_EQ(InflateSingleMember(ReadFileBytes(path)), other);
    EXPECT_FALSE(std::ifstream(f.TemporaryPath()).good());
    EXPECT_FALSE(std::ifstream(g.TemporaryPath()).good());
    EXPECT_EQ(ReadFileBytes(leftover), (std::vector<uint8_t>{'l', 'e', 'f', 't'}));
    std::remove(leftover.c_str());
}

TEST(SaveFileReader, RoundTripThroughFileAndMemory) {
    const std::vector<uint8_t> content = Content(TwoByTwo());
    std::string path = TempPath("roundtrip.pzz");
    WriteGzip(path, content);

    // Every field read is written again as it came: the game read is the game written (the
    // layout test above fixes where each field lies).
    std::unique_ptr<CGzipFileSource> fileSource = CGzipFileSource::Open(path);
    ASSERT_TRUE(fileSource);
    EXPECT_TRUE(Content(Read(*fileSource)) == content);
    CMemorySource plain(content.data(), content.size());
    EXPECT_TRUE(Content(Read(plain)) == content);
}

// ---- damaged files ----

struct Damage {
    const char* name;
    std::function<void(Board&)> edit; // applied to a good game before it is written
    int line;
    const char* messagePart;
};

// The reader's verdict on content, or line 0 when it loads.
std::pair<int, std::string> Verdict(const std::vector<uint8_t>& content, const SaveLimits& limits = {}) {
    try {
        CMemorySource src(content.data(), content.size());
        Read(src, limits);
        return {0, ""};
    } catch (const CSaveFileError& e) {
        return {e.line, e.message};
    }
}

TEST(SaveFileReader, RefusesEveryKindOfInconsistentContent) {
    static const float nan = std::numeric_limits<float>::quiet_NaN();
    const Damage cases[] = {
        {"pieces not columns times rows", [](Board& d) { d.pieceCount = 5; }, LINE_LOAD_HEADER,
         "liczba elementów"},
        {"zero columns", [](Board& d) { d.columns = 0; }, LINE_LOAD_HEADER, "podział"},
        {"negative rows", [](Board& d) { d.rows = -2; }, LINE_LOAD_HEADER, "podział"},
        {"cell below 48", [](Board& d) { d.cellHeight = 47; }, LINE_LOAD_HEADER, "podział"},
        {"area not whole cells", [](Board& d) { d.areaWidth = 97; }, LINE_LOAD_HEADER, "wymiary"},
        {"atlas need off the grid", [](Board& d) { d.atlasNeedHeight = 100; }, LINE_LOAD_HEADER, "potrzebny"},
        {"atlas side not a power of two", [](Board& d) { d.atlasSize = 192; }, LINE_LOAD_HEADER,
         "tekstury puzzli"},
        {"atlas side below the need", [](Board& d) { d.atlasSize = 64; }, LINE_LOAD_HEADER,
         "tekstury puzzli"},
        {"atlas side negative", [](Board& d) { d.atlasSize = INT32_MIN; }, LINE_LOAD_HEADER,
         "tekstury puzzli"},
        {"board width not a number", [](Board& d) { d.boardWidth = nan; }, LINE_LOAD_HEADER, "planszy"},
        {"first column not at 0", [](Board& d) { d.colStart[0] = 1; }, LINE_LOAD_GRID, "linii"},
        {"row line outside its band", [](Board& d) { d.rowStart[1] = 60; }, LINE_LOAD_GRID, "linii"},
        {"column line before the one left of it", [](Board& d) { d.colStart[1] = -5; }, LINE_LOAD_GRID,
         "linii"},
        {"owner beyond the last piece", [](Board& d) { d.ownerMap[96 * 96 - 1] = 4; }, LINE_LOAD_OWNERS,
         "mapie"},
        {"thumbnail wider than 512", [](Board& d) { d.thumbWidth = 513; }, LINE_LOAD_THUMB, "miniaturki"},
        {"thumbnail height 0", [](Board& d) { d.thumbHeight = 0; }, LINE_LOAD_THUMB, "miniaturki"},
        {"piece number out of range", [](Board& d) { d.pieces[2].number = 4; }, LINE_LOAD_PIECES, "numer"},
        {"piece twice", [](Board& d) { d.pieces[3].number = 3; }, LINE_LOAD_PIECES, "dwukrotnie"},
        {"joined mark not 0 or 1", [](Board& d) { d.pieces[0].joined = 2; }, LINE_LOAD_PIECES, "znacznik"},
        {"piece position infinite", [](Board& d) { d.pieces[1].y = std::numeric_limits<float>::infinity(); },
         LINE_LOAD_PIECES, "położenie"},
    };
    for (const Damage& c : cases) {
        Saved d = TwoByTwo();
        c.edit(d.board);
        // The arrays keep the good sizes; only the stored fixed fields change.
        Saved body = TwoByTwo();
        Board& b = body.board;
        b.colStart = d.board.colStart;
        b.rowStart = d.board.rowStart;
        b.ownerMap = d.board.ownerMap;
        b.thumbWidth = d.board.thumbWidth;
        b.thumbHeight = d.board.thumbHeight;
        b.pieces = d.board.pieces;
        std::vector<uint8_t> bytes = Content(body);
        EncodeSaveHeader(d.board, bytes.data());
        auto [line, message] = Verdict(bytes);
        EXPECT_EQ(line, c.line) << c.name;
        EXPECT_NE(message.find(c.messagePart), std::string::npos) << c.name << ": " << message;
    }
    EXPECT_EQ(Verdict(Content(TwoByTwo())).first, 0);
}

TEST(SaveFileReader, RefusesShortAndOverlongContentAtEveryStage) {
    const std::vector<uint8_t> good = Content(TwoByTwo());
    // Cut inside the fixed fields, colStart, the owner map, the thumbnail, the atlas, the last record.
    for (size_t keep :
         {size_t{0}, size_t{55}, size_t{60}, size_t{5000}, size_t{20000}, size_t{1100000}, good.size() - 1}) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(keep));
        auto [line, message] = Verdict(cut);
        EXPECT_EQ(line, LINE_LOAD_STREAM) << keep;
        EXPECT_NE(message.find("za krótki"), std::string::npos) << keep;
    }
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_NE(Verdict(longer).second.find("za końcem"), std::string::npos);
}

TEST(SaveFileReader, AbsurdSizesAreRefusedBeforeAnythingIsAllocated) {
    // A 32768 x 32768 atlas (4 GiB) and a 65536-piece grid of 1.5 million pixels a side: only the
    // 56 fixed bytes exist, so any allocation before the checks would be visible as a crash or
    // an exhausted sanitizer heap.
    Board h;
    h.columns = h.rows = 256;
    h.pieceCount = 65536;
    h.cellWidth = h.cellHeight = 6000;
    h.areaWidth = h.areaHeight = 256 * 6000;
    h.atlasNeedWidth = h.atlasNeedHeight = 256 * 6000 + 255 * 6000 / 4;
    h.atlasSize = 1 << 21;
    h.boardWidth = h.boardHeight = 1e7f;
    std::vector<uint8_t> bytes(kSaveHeaderBytes);
    EncodeSaveHeader(h, bytes.data());
    EXPECT_EQ(Verdict(bytes).first, LINE_LOAD_HEADER);

    h.columns = h.rows = 300; // 90000 pieces: numbers would not fit in 16 bits
    h.pieceCount = 90000;
    h.cellWidth = h.cellHeight = 48;
    h.areaWidth = h.areaHeight = 300 * 48;
    h.atlasNeedWidth = h.atlasNeedHeight = 300 * 48 + 299 * 48 / 4;
    h.atlasSize = 32768;
    EncodeSaveHeader(h, bytes.data());
    EXPECT_EQ(Verdict(bytes).first, LINE_LOAD_HEADER);

    // The same header within a caller's smaller limits (the fuzzing target's).
    EXPECT_EQ(Verdict(Content(TwoByTwo()), SaveLimits{64, 4}).first, LINE_LOAD_HEADER);
}

TEST(SaveFileReader, DamagedOrCutGzipFilesFail) {
    const std::vector<uint8_t> content = Content(TwoByTwo());
    std::string path = TempPath("damaged.pzz");
    WriteGzip(path, content);
    const std::vector<uint8_t> good = ReadFileBytes(path);

    auto verdict = [&](const std::vector<uint8_t>& file) -> std::string {
        WriteFileBytes(path, file);
        std::unique_ptr<CGzipFileSource> src = CGzipFileSource::Open(path);
        EXPECT_TRUE(src);
        std::string result = "loaded";
        try {
            Read(*src);
        } catch (const CSaveFileError& e) {
            result = e.message;
        }
        return result;
    };
    EXPECT_EQ(verdict(good), "loaded");

    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2));
    EXPECT_NE(verdict(cut).find("za krótki"), std::string::npos);

    std::vector<uint8_t> noTrailer(good.begin(), good.end() - 8);
    EXPECT_NE(verdict(noTrailer).find("za krótki"), std::string::npos);

    // Every byte of the content arrives intact; only the trailer's CRC is wrong.
    std::vector<uint8_t> badCrc = good;
    badCrc[badCrc.size() - 8] ^= 0x01;
    EXPECT_NE(verdict(badCrc).find("skompresowanych"), std::string::npos);

    std::vector<uint8_t> garbled = good;
    for (size_t i = 20; i < 60; ++i)
        garbled[i] ^= 0xA5;
    EXPECT_NE(verdict(garbled), "loaded");
}

// A gzip member of stored blocks, so that its size is exact: 18 bytes, 5 a block and the content.
std::vector<uint8_t> StoredMember(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> m = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 3};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(content.size() - at, 65535);
        const uint8_t last = at + n == content.size();
        m.insert(m.end(), {last, uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
        m.insert(m.end(), content.begin() + ptrdiff_t(at), content.begin() + ptrdiff_t(at + n));
        at += n;
    } while (at < content.size());
    const uint32_t crc = uint32_t(crc32(0, content.data(), uInt(content.size())));
    for (uint32_t v : {crc, uint32_t(content.size())})
        for (int i = 0; i < 4; ++i)
            m.push_back(uint8_t(v >> 8 * i));
    return m;
}

std::vector<uint8_t> Pattern(size_t n, int seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 7 + (i >> 9) + size_t(seed));
    return v;
}

// Content and trailers are checked on the reading thread while another inflates ahead: members
// join as gzread joins them, and a trailer is checked wherever the file's reads cut it (they
// come a megabyte at a time).
TEST(SaveFileReader, MembersAndTrailersWhereverTheyFall) {
    const std::string path = TempPath("damaged.pzz");
    const std::vector<uint8_t> a = Pattern(5000, 1), b = Pattern(3000, 2);
    std::vector<uint8_t> ab = a;
    ab.insert(ab.end(), b.begin(), b.end());
    auto join = [](std::vector<uint8_t> x, const std::vector<uint8_t>& y) {
        x.insert(x.end(), y.begin(), y.end());
        return x;
    };
    std::vector<uint8_t> cutB = StoredMember(b);
    cutB.resize(cutB.size() - 3);
    auto flip = [](std::vector<uint8_t> x, size_t fromEnd) {
        x[x.size() - fromEnd] ^= 0x10;
        return x;
    };
    struct Case {
        std::string name;
        std::vector<uint8_t> file, content;
        const char* verdict; // "loaded" or part of the message
    };
    std::vector<Case> cases = {
        {"two members", join(StoredMember(a), StoredMember(b)), ab, "loaded"},
        {"first member's CRC", join(flip(StoredMember(a), 8), StoredMember(b)), ab, "skompresowanych"},
        {"second member cut", join(StoredMember(a), cutB), ab, "za krótki"},
        {"bytes after the member", join(StoredMember(a), {1, 2, 3}), a, "loaded"},
        {"not gzip", a, a, "loaded"},
        {"more than the content", join(StoredMember(a), StoredMember(b)), a, "za końcem"},
    };
    for (size_t k : {0, 1, 4, 7, 8}) {
        // A file of 1 MiB + k bytes: the trailer's first 8 - k bytes come with the first read.
        const size_t size = (size_t{1} << 20) + k;
        size_t blocks = 1;
        while ((size - 18 - 5 * blocks + 65534) / 65535 != blocks)
            ++blocks;
        const std::vector<uint8_t> content = Pattern(size - 18 - 5 * blocks, 3);
        const std::vector<uint8_t> file = StoredMember(content);
        EXPECT_EQ(file.size(), size);
        const std::string at = " with " + std::to_string(k) + " trailer bytes after the first read";
        cases.push_back({"whole" + at, file, content, "loaded"});
        cases.push_back({"CRC" + at, flip(file, 5), content, "skompresowanych"});
        cases.push_back({"length" + at, flip(file, 1), content, "skompresowanych"});
    }
    for (const Case& c : cases) {
        WriteFileBytes(path, c.file);
        std::unique_ptr<CGzipFileSource> src = CGzipFileSource::Open(path);
        ASSERT_TRUE(src);
        std::string result = "loaded";
        try {
            std::vector<uint8_t> back(c.content.size());
            src->Read(back.data(), back.size());
            src->ExpectEnd();
            if (back != c.content)
                result = "other content";
        } catch (const CSaveFileError& e) {
            result = e.message;
        }
        EXPECT_NE(result.find(c.verdict), std::string::npos) << c.name << ": " << result;
    }
}

} // namespace
