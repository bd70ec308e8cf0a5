// A saved game's gzip stream lent to the next save of the same game: the bytes that come out, the
// entry points found when reading, and lenders that must not lend.
#include "game/logic/GzipReader.h"
#include "game/logic/GzipWriter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// Content like a board's: runs of noise, of repeated texels and of zeros, 5.3 MiB.
std::vector<uint8_t> Content(uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> c;
    while (c.size() < (5u << 20) + 300000) {
        const size_t run = 1000 + random() % 60000;
        const int kind = int(random() % 3);
        for (size_t i = 0; i < run; ++i)
            c.push_back(kind == 0 ? uint8_t(random() & 0x0F) : kind == 1 ? uint8_t(i % 7 * 30) : 0);
    }
    return c;
}

// The files of this run, in a folder of its own that is removed at the end, also after a failure.
class CRunFolder : public testing::Environment {
  public:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "gzip_reuse_XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern.data())) << pattern;
        path = pattern + "/";
    }
    void TearDown() override { std::filesystem::remove_all(path); }
    std::string path;
};
CRunFolder* const g_folder = static_cast<CRunFolder*>(testing::AddGlobalTestEnvironment(new CRunFolder));

std::string Temp(const char* name) {
    return g_folder->path + name;
}

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Gives content in 1 MB pieces, offering each to Skip first when `skip` is set.
void Produce(CSaveSink& sink, const std::vector<uint8_t>& content, bool skip) {
    for (size_t at = 0; at < content.size(); at += 1000000) {
        const size_t n = std::min<size_t>(1000000, content.size() - at);
        if (!(skip && sink.Skip(n)))
            sink.Write(content.data() + at, n);
    }
}

GzipIndex Write(const std::string& path, const std::vector<uint8_t>& content, const std::string& lender = "",
                const GzipIndex& lent = {}, uint64_t* borrowed = nullptr, bool skip = false) {
    CGzipFileWriter writer(8);
    EXPECT_TRUE(writer.Open(path));
    const uint64_t got = lender.empty() ? 0 : writer.Borrow(lender, lent, 56, content.size() - 1200);
    if (borrowed)
        *borrowed = got;
    Produce(writer, content, skip);
    EXPECT_TRUE(writer.Finish());
    return writer.Index();
}

// What the file holds, read back the way a saved game is, with the entry points found.
std::vector<uint8_t> Read(const std::string& path, size_t size, GzipIndex* index = nullptr) {
    std::vector<uint8_t> out(size);
    std::unique_ptr<CGzipFileSource> source = CGzipFileSource::Open(path);
    try {
        source->Read(out.data(), size);
        source->ExpectEnd();
    } catch (const CSaveFileError& e) {
        ADD_FAILURE() << path << ": " << e.message;
    }
    if (index)
        *index = source->TakeIndex();
    return out;
}

TEST(GzipReuse, LentBytesJoinIntoTheSameFileAsAFreshWrite) {
    const std::vector<uint8_t> first = Content(1);
    std::vector<uint8_t> second = first;
    second[50] ^= 0xFF; // what changes between two saves: the header's play time and the pieces
    second[second.size() - 1000] ^= 0xFF;

    const std::string lender = Temp("lender.gz"), fresh = Temp("fresh.gz"), out = Temp("out.gz");
    const GzipIndex written = Write(lender, first);
    Write(fresh, second);

    // The reader finds at least every block start the writer made, at the same places.
    GzipIndex read;
    EXPECT_EQ(Read(lender, first.size(), &read), first);
    for (const GzipEntry& e : written.entries) {
        bool found = false;
        for (const GzipEntry& r : read.entries)
            found |= r.content == e.content && r.file == e.file && r.crc == e.crc && r.fileCrc == e.fileCrc;
        EXPECT_TRUE(found) << "entry at content " << e.content;
    }
    EXPECT_EQ(read.fileSize, written.fileSize);

    for (const GzipIndex* index : std::vector<const GzipIndex*>{&written, &read}) {
        for (bool skip : {false, true}) {
            uint64_t borrowed = 0;
            const GzipIndex made = Write(out, second, lender, *index, &borrowed, skip);
            EXPECT_GE(borrowed, 3u << 20);
            EXPECT_EQ(Bytes(out), Bytes(fresh)) << "skip " << skip;
            // The new file lends in turn, with entry points true to its own bytes.
            GzipIndex again;
            EXPECT_EQ(Read(out, second.size(), &again), second);
            const std::vector<uint8_t> file = Bytes(out);
            for (const GzipEntry& e : made.entries) {
                EXPECT_EQ(e.crc, uint32_t(crc32(0, second.data(), uInt(e.content))));
                EXPECT_EQ(e.fileCrc, uint32_t(crc32(0, file.data(), uInt(e.file))));
            }
        }
    }
}

TEST(GzipReuse, AStreamFromElsewhereLendsAtItsOwnBlockBoundaries) {
    const std::vector<uint8_t> first = Content(2);
    std::vector<uint8_t> second = first;
    second[10] ^= 0x55;
    const std::string lender = Temp("zlib.gz"), out = Temp("out2.gz");
    gzFile z = gzopen(lender.c_str(), "wb8");
    gzwrite(z, first.data(), unsigned(first.size()));
    gzclose(z);

    GzipIndex read;
    ASSERT_EQ(Read(lender, first.size(), &read), first);
    uint64_t borrowed = 0;
    Write(out, second, lender, read, &borrowed, true);
    EXPECT_GT(borrowed, 0u);
    EXPECT_EQ(Read(out, second.size()), second);
}

TEST(GzipReuse, ALenderThatChangedLendsNothing) {
    const std::vector<uint8_t> content = Content(3);
    const std::string lender = Temp("changed.gz"), out = Temp("out3.gz");
    const GzipIndex index = Write(lender, content);
    const std::vector<uint8_t> bytes = Bytes(lender);

    std::vector<std::vector<uint8_t>> changes = {{bytes.begin(), bytes.end() - 1}, bytes, {}};
    changes[1][changes[1].size() - 3] ^= 1; // another length in the trailer
    for (const auto& change : changes) {
        std::ofstream(lender, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(change.data()), std::streamsize(change.size()));
        uint64_t borrowed = 1;
        Write(out, content, lender, index, &borrowed, true);
        EXPECT_EQ(borrowed, 0u);
        EXPECT_EQ(Read(out, content.size()), content);
    }
    uint64_t borrowed = 1;
    Write(out, content, Temp("missing.gz"), index, &borrowed, true);
    EXPECT_EQ(borrowed, 0u);
}

// The lender changed behind the writer's back, keeping its size and last eight bytes: whatever
// the change, the new file is whole and the same as a fresh write (the lent bytes are checked
// and, when they differ, the file is written again without them).
TEST(GzipReuse, ALenderChangedInItsMiddleStillGivesAWholeFile) {
    const std::vector<uint8_t> content = Content(4);
    std::vector<uint8_t> next = content;
    next[50] ^= 0xFF;
    const std::string lender = Temp("middle.gz"), fresh = Temp("fresh4.gz"), out = Temp("out4.gz");
    Write(fresh, next);
    const std::vector<uint8_t> other = Bytes(fresh);
    const GzipIndex index = Write(lender, content);
    const std::vector<uint8_t> bytes = Bytes(lender);
    auto sameEnd = [&](std::vector<uint8_t> b) {
        b.resize(bytes.size());
        std::copy(bytes.end() - 8, bytes.end(), b.end() - 8);
        return b;
    };
    std::vector<uint8_t> inLent = bytes, inRest = bytes;
    inLent[bytes.size() / 2] ^= 1;
    inRest[12] ^= 1; // the first block, which is never lent
    Write(Temp("other4.gz"), Content(5));
    const std::vector<uint8_t> anotherGame = sameEnd(Bytes(Temp("other4.gz")));
    const std::vector<uint8_t> cutAndRegrown = sameEnd({bytes.begin(), bytes.begin() + bytes.size() / 3});
    const std::pair<const char*, const std::vector<uint8_t>*> cases[] = {
        {"a byte in the lent range", &inLent},
        {"a byte outside it", &inRest},
        {"another game's file", &anotherGame},
        {"cut and regrown", &cutAndRegrown}};
    for (const auto& [what, change] : cases) {
        SCOPED_TRACE(what);
        std::ofstream(lender, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(change->data()), std::streamsize(change->size()));
        const GzipLender lent{lender, index, 56, content.size() - 1200};
        GzipIndex made;
        EXPECT_EQ(ReplaceGzipFile(
                      out, static_cast<unsigned long>(getpid()), &lent,
                      [&](CSaveSink& sink) { Produce(sink, next, true); }, made),
                  ReplaceResult::Replaced);
        EXPECT_EQ(Read(out, next.size()), next);
        EXPECT_EQ(Bytes(out), other);
    }
}

} // namespace

TEST(GzipReuse, TemporaryFilesOfEndedProcessesAreRemoved) {
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    const std::string folder = Temp("stale/"), gone = std::to_string(ended), alive = std::to_string(getpid());
    std::filesystem::create_directory(folder);
    const std::set<std::string> kept = {"~" + alive + "-0.tmp", "~" + gone + "-0.pzz", "~" + gone + "-x.tmp",
                                        "a~" + gone + "-0.tmp", "kot.jpg (4).pzz"};
    for (const std::string& name : kept)
        std::ofstream(folder + name) << "x";
    std::ofstream(folder + "~" + gone + "-3.tmp") << "x";
    RemoveStaleTemporaryFiles(folder);
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, kept);
}
