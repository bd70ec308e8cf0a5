#include "game/logic/GzipReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <new>
#include <thread>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* message) {
    throw CSaveFileError{message, LINE_LOAD_STREAM};
}

constexpr size_t kFileChunk = 1 << 20;
constexpr size_t kPieceBytes = 256 << 10;
// How far inflating may run ahead of the reader: enough for the time the game takes to create the
// atlas texture, during which nothing is read.
constexpr size_t kMostPieces = 256;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A run of inflated content handed from the inflating thread to the reader, with what happened
// at places inside it: an entry point reached, a gzip member ended (its trailer's CRC and length,
// checked by the reader, which computes the content's CRC as it takes the bytes).
struct Piece {
    struct Mark {
        size_t at; // bytes of the piece before it
        bool memberEnd;
        uint64_t file;        // entry: its offset in the file
        uint32_t fileCrc;     // entry: CRC of the file's bytes before it
        uint32_t crc, length; // member end: the trailer's
    };
    std::unique_ptr<uint8_t[]> bytes{new uint8_t[kPieceBytes]};
    size_t size = 0;
    std::vector<Mark> marks;  // in order of `at`
    bool last = false;        // the content ends with this piece
    std::exception_ptr error; // raised to the reader once it has taken the bytes before it

    void Clear() {
        size = 0;
        marks.clear();
        last = false;
        error = nullptr;
    }
};

} // namespace

struct CGzipFileSource::Stream {
    // ---- the inflating thread's (the caller's before it starts, and again once it has ended) ----
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
    uint32_t fileCrc = uint32_t(crc32(0L, nullptr, 0)); // of the file's bytes taken so far
    uint8_t lastTaken[8] = {}; // the last eight bytes taken: a member's trailer once it has ended

    // ---- shared ----
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::unique_ptr<Piece>> pieces; // made as they are needed, up to kMostPieces
    std::vector<Piece*> free;
    size_t most = kMostPieces;
    std::deque<Piece*> filled; // oldest first
    bool cancel = false;
    bool workerDone = false;
    std::thread worker;

    // ---- the reader's ----
    Piece* current = nullptr;
    size_t taken = 0; // bytes of current taken
    size_t marksDone = 0;
    uint32_t memberCrc = uint32_t(crc32(0L, nullptr, 0));
    uint32_t memberLength = 0; // modulo 2^32, as the trailer keeps it
    uint64_t content = 0;
    GzipIndex index;

    ~Stream() {
        StopWorker();
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
        if (n >= 8) {
            std::memcpy(lastTaken, next + n - 8, 8);
        } else if (n > 0) {
            std::memmove(lastTaken, lastTaken + n, 8 - n);
            std::memcpy(lastTaken + 8 - n, next, n);
        }
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
        if (!gzip)
            return;
        // zlib is left to parse the members' headers and trailers but not to compute the CRC:
        // the reader does that as it takes the bytes, on its own thread, while this one inflates.
        if (inflateInit2(&z, 15 + 16) != Z_OK)
            throw std::bad_alloc();
        inflating = true;
        inflateValidate(&z, 0);
        pieces.push_back(std::make_unique<Piece>());
        free.push_back(pieces.back().get());
        try {
            worker = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the reader inflates each piece itself when it needs it.
        }
    }

    void StopWorker() {
        if (!worker.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            cancel = true;
        }
        changed.notify_all();
        worker.join();
    }

    // ---- the inflating thread ----

    void Work() {
        while (FillOne()) {
        }
    }

    // Fills a piece and hands it to the reader; false once the last is handed over or cancelled.
    bool FillOne() {
        Piece* piece = TakeFreePiece();
        if (!piece)
            return false;
        try {
            Fill(*piece);
        } catch (...) {
            piece->error = std::current_exception();
        }
        const bool done = piece->last || piece->error;
        {
            std::lock_guard<std::mutex> lock(mutex);
            filled.push_back(piece);
            workerDone = done;
        }
        changed.notify_all();
        return !done;
    }

    // A piece to fill, made when none is free and fewer than `most` exist; null once cancelled.
    Piece* TakeFreePiece() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return cancel || !free.empty() || pieces.size() < most; });
            if (cancel)
                return nullptr;
            if (!free.empty())
                break;
            try {
                pieces.push_back(std::make_unique<Piece>());
                free.push_back(pieces.back().get());
            } catch (const std::bad_alloc&) {
                most = pieces.size(); // the first is made before the thread starts
            }
        }
        Piece* piece = free.back();
        free.pop_back();
        piece->Clear();
        return piece;
    }

    // Inflates into the piece until it is full or the content ends. Throws CSaveFileError for a
    // damaged or cut stream.
    void Fill(Piece& piece) {
        while (piece.size < kPieceBytes) {
            if (ended) {
                piece.last = true;
                return;
            }
            uint8_t* out = piece.bytes.get() + piece.size;
            z.next_in = const_cast<Bytef*>(next);
            z.avail_in = static_cast<uInt>(std::min<size_t>(avail, UINT_MAX));
            z.next_out = out;
            z.avail_out = static_cast<uInt>(kPieceBytes - piece.size);
            const int rc = inflate(&z, Z_BLOCK);
            piece.size += static_cast<size_t>(z.next_out - out);
            Take(static_cast<size_t>(z.next_in - next));
            if (rc == Z_STREAM_END) {
                // zlib has taken the member's trailer and no byte after it.
                piece.marks.push_back({piece.size, true, 0, 0, Le32(lastTaken), Le32(lastTaken + 4)});
                if (GzipFollows()) {
                    inflateReset(&z);
                    oneMember = false;
                } else {
                    ended = true;
                }
                continue;
            } else if (rc == Z_OK) {
                // Between two blocks, on a byte boundary, and not after the last one.
                if ((z.data_type & (128 | 64 | 7)) == 128 && oneMember)
                    piece.marks.push_back({piece.size, false, Offset(next), fileCrc, 0, 0});
            } else if (rc != Z_BUF_ERROR) {
                Fail(kSaveDamagedStream);
            }
            if ((rc == Z_BUF_ERROR || avail == 0) && z.avail_out > 0 && !More())
                Fail(kSaveShortFile);
        }
    }

    // ---- the reader ----

    // The next piece of content, the one taken given back; null once the inflating thread has
    // handed over its last.
    Piece* NextPiece() {
        std::unique_lock<std::mutex> lock(mutex);
        if (current) {
            free.push_back(current);
            current = nullptr;
            changed.notify_all();
        }
        if (!worker.joinable() && filled.empty() && !workerDone) {
            lock.unlock();
            FillOne();
            lock.lock();
        }
        changed.wait(lock, [&] { return !filled.empty() || workerDone; });
        if (filled.empty())
            return nullptr;
        current = filled.front();
        filled.pop_front();
        taken = 0;
        marksDone = 0;
        return current;
    }

    void ApplyMarks() {
        while (marksDone < current->marks.size() && current->marks[marksDone].at == taken) {
            const Piece::Mark& m = current->marks[marksDone++];
            if (!m.memberEnd) {
                index.entries.push_back(GzipEntry{content, m.file, memberCrc, m.fileCrc});
                continue;
            }
            if (m.crc != memberCrc || m.length != memberLength)
                Fail(kSaveDamagedStream);
            memberCrc = uint32_t(crc32(0L, nullptr, 0));
            memberLength = 0;
        }
    }

    // Copies up to n bytes of content to out and returns how many, 0 only once the content has
    // ended.
    size_t Pull(uint8_t* out, size_t n) {
        for (;;) {
            if (!current && !NextPiece())
                return 0;
            ApplyMarks();
            size_t run = current->size - taken;
            if (marksDone < current->marks.size())
                run = current->marks[marksDone].at - taken;
            run = std::min(run, n);
            if (run > 0) {
                const uint8_t* from = current->bytes.get() + taken;
                std::memcpy(out, from, run);
                memberCrc = uint32_t(crc32_z(memberCrc, from, run));
                memberLength += uint32_t(run);
                taken += run;
                content += run;
                ApplyMarks();
                return run;
            }
            if (current->error)
                std::rethrow_exception(current->error);
            if (current->last || !NextPiece())
                return 0;
        }
    }

    void JoinWorker() {
        if (worker.joinable())
            worker.join();
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
        const size_t got = s.Pull(out, n);
        if (got == 0)
            Fail(kSaveShortFile);
        out += got;
        n -= got;
    }
}

void CGzipFileSource::ExpectEnd() {
    Stream& s = *m_s;
    s.Start();
    if (!s.gzip) {
        if (s.Have(1))
            Fail(kSaveTrailingData);
        return;
    }
    uint8_t extra;
    if (s.Pull(&extra, 1) > 0)
        Fail(kSaveTrailingData);
    s.JoinWorker();
}

GzipIndex CGzipFileSource::TakeIndex() {
    Stream& s = *m_s;
    GzipIndex index;
    if (!s.gzip || !s.ended || !s.oneMember || s.worker.joinable())
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
