#include "game/logic/GzipReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* message) {
    throw CSaveFileError{message, LINE_LOAD_STREAM};
}

constexpr size_t kFileChunk = 1 << 20;

} // namespace

struct CGzipFileSource::Stream {
    z_stream z{};
    bool inflating = false; // z is initialised
    bool gzip = false;      // false: the bytes are the content (after Start)
    bool started = false;
    bool ended = false; // the last member ended; nothing more is content
    bool oneMember = true;
    FILE* file = nullptr;
    std::vector<uint8_t> buffer; // a file's bytes not yet taken
    const uint8_t* next = nullptr;
    size_t avail = 0;
    uint64_t availEnd = 0; // offset in the input of the byte after next + avail
    bool inputDone = false;
    GzipIndex index;
    uint32_t fileCrc = uint32_t(crc32(0L, nullptr, 0)); // of the file's bytes taken so far

    ~Stream() {
        if (inflating)
            inflateEnd(&z);
        if (file)
            std::fclose(file);
    }

    uint64_t Offset(const uint8_t* p) const { return availEnd - avail + uint64_t(p - next); }

    // Keeps the bytes not taken and appends more from the file; false at the input's end.
    bool More() {
        if (!file || inputDone)
            return false;
        if (buffer.size() < avail + kFileChunk) {
            std::vector<uint8_t> larger(avail + kFileChunk);
            if (avail > 0)
                std::memcpy(larger.data(), next, avail);
            buffer.swap(larger);
        } else if (avail > 0) {
            std::memmove(buffer.data(), next, avail);
        }
        next = buffer.data();
        const size_t got = std::fread(buffer.data() + avail, 1, kFileChunk, file);
        if (got == 0) {
            inputDone = true;
            return false;
        }
        avail += got;
        availEnd += got;
        return true;
    }

    void Take(size_t n) {
        if (gzip && oneMember)
            fileCrc = uint32_t(crc32_z(fileCrc, next, n));
        next += n;
        avail -= n;
    }

    // At least n bytes in hand unless the input ends first.
    bool Have(size_t n) {
        while (avail < n)
            if (!More())
                return false;
        return true;
    }

    bool GzipFollows() { return Have(2) && next[0] == 0x1f && next[1] == 0x8b; }

    void Start() {
        if (started)
            return;
        started = true;
        gzip = GzipFollows();
        if (gzip) {
            if (inflateInit2(&z, 15 + 16) != Z_OK)
                throw std::bad_alloc();
            inflating = true;
        }
    }

    // Inflates into out (up to n bytes) and returns how many came, 0 only once the content has
    // ended. Throws CSaveFileError for a damaged or cut stream.
    size_t Inflate(uint8_t* out, size_t n) {
        for (;;) {
            if (ended)
                return 0;
            z.next_in = const_cast<Bytef*>(next);
            z.avail_in = static_cast<uInt>(std::min<size_t>(avail, UINT_MAX));
            z.next_out = out;
            z.avail_out = static_cast<uInt>(std::min<size_t>(n, UINT_MAX));
            const int rc = inflate(&z, Z_BLOCK);
            const size_t produced = static_cast<size_t>(z.next_out - out);
            const uint8_t* stop = z.next_in;
            Take(static_cast<size_t>(stop - next));
            if (rc == Z_STREAM_END) {
                if (GzipFollows()) {
                    inflateReset(&z);
                    oneMember = false;
                } else {
                    ended = true;
                }
                if (produced > 0)
                    return produced;
                continue;
            } else if (rc == Z_OK) {
                // Between two blocks, on a byte boundary, and not after the last one.
                if ((z.data_type & (128 | 64 | 7)) == 128 && oneMember)
                    index.entries.push_back(GzipEntry{z.total_out, Offset(next), uint32_t(z.adler), fileCrc});
            } else if (rc != Z_BUF_ERROR) {
                Fail(kSaveDamagedStream);
            }
            if (produced > 0)
                return produced;
            if (rc == Z_BUF_ERROR || avail == 0) {
                if (!More())
                    Fail(kSaveShortFile);
            }
        }
    }
};

std::unique_ptr<CGzipFileSource> CGzipFileSource::Open(const std::string& path) {
    // Opened without waiting (a named pipe put under the name would block the open until a
    // writer came) and kept only when what was opened is a file of data.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    auto stream = std::make_unique<Stream>();
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0 ||
        !(stream->file = fdopen(fd, "rb"))) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<CGzipFileSource>(new CGzipFileSource(std::move(stream)));
}

CGzipFileSource::CGzipFileSource(std::unique_ptr<Stream> stream) : m_s(std::move(stream)) {}

CGzipFileSource::~CGzipFileSource() = default;

void CGzipFileSource::Read(void* data, size_t n) {
    Stream& s = *m_s;
    s.Start();
    uint8_t* out = static_cast<uint8_t*>(data);
    if (!s.gzip) {
        if (!s.Have(n))
            Fail(kSaveShortFile);
        std::memcpy(out, s.next, n);
        s.Take(n);
        return;
    }
    while (n > 0) {
        const size_t got = s.Inflate(out, n);
        if (got == 0)
            Fail(kSaveShortFile);
        out += got;
        n -= got;
    }
}

void CGzipFileSource::ExpectEnd() {
    Stream& s = *m_s;
    s.Start();
    uint8_t extra;
    if (s.gzip ? s.Inflate(&extra, 1) > 0 : s.Have(1))
        Fail(kSaveTrailingData);
}

GzipIndex CGzipFileSource::TakeIndex() {
    Stream& s = *m_s;
    GzipIndex index;
    if (!s.gzip || !s.ended || !s.oneMember)
        return index;
    // The file as it is now identifies it later: its size and last eight bytes.
    if (fseeko(s.file, 0, SEEK_END) != 0)
        return index;
    const off_t size = ftello(s.file);
    if (size < 8 || fseeko(s.file, size - 8, SEEK_SET) != 0 || std::fread(index.trailer, 1, 8, s.file) != 8)
        return index;
    index.fileSize = uint64_t(size);
    index.entries.swap(s.index.entries);
    return index;
}
