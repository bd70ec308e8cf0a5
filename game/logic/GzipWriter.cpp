#include "game/logic/GzipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <signal.h>
#include <thread>

namespace {

constexpr size_t kWindow = 32768;

// Replacing writers opened by this process: the count in their temporary files' names.
std::atomic<unsigned> g_replacingWriters{0};

} // namespace

struct CGzipFileWriter::Block {
    uint64_t content = 0; // where the block's content starts
    std::vector<uint8_t> dictionary;
    std::vector<uint8_t> data;
    bool last = false;
    int level = 8;
    std::vector<uint8_t> out;
    uint32_t crc = 0;
    bool ok = false;
    const Loan* loan = nullptr; // set: the block is the loan's bytes, copied when collected

    void Compress() {
        crc = static_cast<uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
        z_stream s{};
        if (deflateInit2(&s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return;
        if (!dictionary.empty())
            deflateSetDictionary(&s, dictionary.data(), static_cast<uInt>(dictionary.size()));
        out.resize(deflateBound(&s, data.size()) + 64);
        s.next_in = data.data();
        s.avail_in = static_cast<uInt>(data.size());
        int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            s.next_out = out.data() + s.total_out;
            s.avail_out = static_cast<uInt>(out.size() - s.total_out);
            int rc = deflate(&s, flush);
            if (rc == Z_STREAM_ERROR)
                break;
            if (last ? rc == Z_STREAM_END : (s.avail_in == 0 && s.avail_out > 0)) {
                ok = true;
                break;
            }
            out.resize(out.size() * 2);
        }
        out.resize(s.total_out);
        deflateEnd(&s);
    }
};

// Content [from, to) taken from another file: its compressed bytes [fileFrom, fileTo), entered
// and left at two of its entry points. The new file's entry points are its own blocks' and the
// loan's two ends, which is all the next save of the same game borrows by.
struct CGzipFileWriter::Loan {
    FILE* file = nullptr;
    uint64_t from = 0, to = 0;
    uint64_t fileFrom = 0, fileTo = 0;
    uint32_t crc = 0;     // of content [from, to)
    uint32_t fileCrc = 0; // of the file's bytes [fileFrom, fileTo), checked while they are copied
    bool queued = false;

    ~Loan() {
        if (file)
            std::fclose(file);
    }
};

CGzipFileWriter::CGzipFileWriter(int level, bool spread)
    : m_level(level), m_spread(spread), m_crc(static_cast<uint32_t>(crc32(0L, nullptr, 0))),
      m_fileCrc(m_crc) {
    // One block in flight per core plus one being collected keeps every core busy.
    m_maxInFlight = spread ? std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8) + 1 : 1;
}

CGzipFileWriter::~CGzipFileWriter() {
    Close();
}

void CGzipFileWriter::Close() {
    for (auto& f : m_inFlight)
        f.second.wait();
    m_inFlight.clear();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_loan.reset();
}

bool CGzipFileWriter::Open(const std::string& path, bool exclusive) {
    m_file = std::fopen(path.c_str(), exclusive ? "wbx" : "wb");
    if (!m_file)
        return false;
    // The member header zlib's gzopen writes: no name, no time, the Unix system code.
    const uint8_t header[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, static_cast<uint8_t>(m_level == 9 ? 2 : 0), 3};
    Emit(header, sizeof header);
    m_pending.reserve(kBlockSize);
    return true;
}

uint64_t CGzipFileWriter::Borrow(const std::string& path, const GzipIndex& index, uint64_t begin,
                                 uint64_t end) {
    if (!m_file || m_position != 0 || m_loan || index.Empty())
        return 0;
    // Entering at `from` needs the 32 KiB before it to be the same content too. Block starts of
    // this writer are preferred: a file it wrote then lends exactly the bytes a fresh write makes.
    const auto& e = index.entries;
    auto usable = [&](const GzipEntry& x) { return x.content >= begin + kWindow && x.content <= end; };
    auto pick = [&](bool fromEnd) {
        const GzipEntry* any = nullptr;
        for (size_t i = 0; i < e.size(); ++i) {
            const GzipEntry& x = e[fromEnd ? e.size() - 1 - i : i];
            if (!usable(x))
                continue;
            if (x.content % kBlockSize == 0)
                return &x;
            if (!any)
                any = &x;
        }
        return any;
    };
    const GzipEntry* first = pick(false);
    const GzipEntry* last = pick(true);
    if (!first || !last || last->content <= first->content)
        return 0;

    // A whole file that no longer has its size and last eight bytes is not asked to lend; what
    // passes this is still checked byte for byte while it is copied.
    auto loan = std::make_unique<Loan>();
    loan->file = std::fopen(path.c_str(), "rb");
    if (!loan->file || fseeko(loan->file, 0, SEEK_END) != 0)
        return 0;
    const off_t size = ftello(loan->file);
    uint8_t trailer[8];
    if (index.fileSize != 0
            ? size != off_t(index.fileSize) || fseeko(loan->file, -8, SEEK_END) != 0 ||
                  std::fread(trailer, 1, 8, loan->file) != 8 || std::memcmp(trailer, index.trailer, 8) != 0
            : size < off_t(last->file))
        return 0;
    loan->from = first->content;
    loan->to = last->content;
    loan->fileFrom = first->file;
    loan->fileTo = last->file;
    // CRC-32 is linear: crc(A B) = shift(crc(A), |B|) ^ crc(B), so crc(B) follows from the CRCs
    // of the two prefixes.
    loan->crc = uint32_t(crc32_combine(first->crc, last->crc, z_off_t(loan->to - loan->from)));
    loan->fileCrc =
        uint32_t(crc32_combine(first->fileCrc, last->fileCrc, z_off_t(loan->fileTo - loan->fileFrom)));
    m_loan = std::move(loan);
    return m_loan->to - m_loan->from;
}

void CGzipFileWriter::Emit(const void* data, size_t n) {
    if (m_failed || !m_file)
        return;
    EmitKnown(data, n);
    m_fileCrc = uint32_t(crc32_z(m_fileCrc, static_cast<const Bytef*>(data), n));
}

void CGzipFileWriter::EmitKnown(const void* data, size_t n) {
    if (m_failed || !m_file)
        return;
    if (std::fwrite(data, 1, n, m_file) != n)
        m_failed = true;
    m_fileOffset += n;
}

void CGzipFileWriter::Remember(const uint8_t* data, size_t n) {
    const size_t keep = std::min(kWindow, n);
    m_window.insert(m_window.end(), data + n - keep, data + n);
    if (m_window.size() > kWindow)
        m_window.erase(m_window.begin(), m_window.end() - kWindow);
}

void CGzipFileWriter::Write(const void* data, size_t n) {
    if (m_failed || !m_file)
        return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        Loan* loan = m_loan.get();
        if (loan && m_position >= loan->from && m_position < loan->to) {
            // Lent content: only its last 32 KiB matter, as the dictionary of the block after it.
            if (!loan->queued)
                QueueLoan();
            const size_t take = size_t(std::min<uint64_t>(n, loan->to - m_position));
            Remember(p, take);
            p += take;
            n -= take;
            m_position += take;
            continue;
        }
        size_t take = std::min(n, kBlockSize - m_pending.size());
        if (loan && m_position < loan->from)
            take = size_t(std::min<uint64_t>(take, loan->from - m_position));
        m_pending.insert(m_pending.end(), p, p + take);
        p += take;
        n -= take;
        m_position += take;
        if (m_pending.size() == kBlockSize || (loan && m_position == loan->from))
            Dispatch(false);
    }
}

bool CGzipFileWriter::Skip(size_t n) {
    Loan* loan = m_loan.get();
    if (m_failed || !loan || m_position < loan->from || m_position + n + kWindow > loan->to)
        return false;
    if (!loan->queued)
        QueueLoan();
    m_position += n;
    return true;
}

void CGzipFileWriter::QueueLoan() {
    Dispatch(false);
    m_loan->queued = true;
    auto block = std::make_unique<Block>();
    block->content = m_loan->from;
    block->loan = m_loan.get();
    Queue(std::move(block), false);
}

void CGzipFileWriter::Dispatch(bool last) {
    if (m_pending.empty() && !last)
        return;
    auto block = std::make_unique<Block>();
    block->content = m_position - m_pending.size();
    block->dictionary = m_window;
    block->last = last;
    block->level = m_level;
    Remember(m_pending.data(), m_pending.size());
    block->data.swap(m_pending);
    m_pending.clear();
    m_pending.reserve(kBlockSize);
    Queue(std::move(block), last);
}

void CGzipFileWriter::Queue(std::unique_ptr<Block> block, bool last) {
    Block* raw = block.get();
    std::future<void> done;
    if (raw->loan) {
        done = std::async(std::launch::deferred, [] {});
    } else if (!m_spread) {
        done = std::async(std::launch::deferred, [raw] { raw->Compress(); });
    } else {
        try {
            done = std::async(std::launch::async, [raw] { raw->Compress(); });
        } catch (const std::system_error&) {
            // No thread to be had: compress here.
            done = std::async(std::launch::deferred, [raw] { raw->Compress(); });
        }
    }
    m_inFlight.emplace_back(std::move(block), std::move(done));
    while (m_inFlight.size() >= m_maxInFlight || (last && !m_inFlight.empty())) {
        auto front = std::move(m_inFlight.front());
        m_inFlight.pop_front();
        front.second.get();
        Collect(std::move(front.first));
    }
}

void CGzipFileWriter::Collect(std::unique_ptr<Block> block) {
    m_index.entries.push_back(GzipEntry{block->content, m_fileOffset, m_crc, m_fileCrc});
    if (const Loan* loan = block->loan) {
        // The lent bytes must be the very bytes the lender's entries describe: a file changed in
        // its middle (same size, same end) would otherwise make a stream that fails its CRC.
        std::vector<uint8_t> buffer(kBlockSize);
        uint64_t left = loan->fileTo - loan->fileFrom;
        uint32_t copied = uint32_t(crc32(0L, nullptr, 0));
        bool same = fseeko(loan->file, off_t(loan->fileFrom), SEEK_SET) == 0;
        while (left > 0 && same && !m_failed) {
            const size_t chunk = size_t(std::min<uint64_t>(left, buffer.size()));
            same = std::fread(buffer.data(), 1, chunk, loan->file) == chunk;
            copied = uint32_t(crc32_z(copied, buffer.data(), chunk));
            EmitKnown(buffer.data(), chunk);
            left -= chunk;
        }
        if (!same || copied != loan->fileCrc) {
            m_loanRefused = true;
            m_failed = true;
        }
        // The copied bytes' CRC is the one just checked: the file's CRC goes on from it.
        m_fileCrc = uint32_t(crc32_combine(m_fileCrc, copied, z_off_t(loan->fileTo - loan->fileFrom)));
        m_crc = uint32_t(crc32_combine(m_crc, loan->crc, z_off_t(loan->to - loan->from)));
        return;
    }
    if (!block->ok)
        m_failed = true;
    m_crc = static_cast<uint32_t>(crc32_combine(m_crc, block->crc, static_cast<z_off_t>(block->data.size())));
    Emit(block->out.data(), block->out.size());
}

bool CGzipFileWriter::Finish() {
    if (!m_file)
        return false;
    // Content that ended inside a loan would leave the stream with bytes it does not have.
    if (m_loan && m_loan->queued && m_position < m_loan->to)
        m_failed = true;
    if (!m_failed) {
        Dispatch(true);
        uint8_t trailer[8];
        const uint32_t size = static_cast<uint32_t>(m_position);
        for (int i = 0; i < 4; ++i) {
            trailer[i] = static_cast<uint8_t>(m_crc >> (8 * i));
            trailer[4 + i] = static_cast<uint8_t>(size >> (8 * i));
        }
        Emit(trailer, sizeof trailer);
        std::memcpy(m_index.trailer, trailer, 8);
        m_index.fileSize = m_fileOffset;
    }
    if (std::fflush(m_file) != 0)
        m_failed = true;
    if (std::fclose(m_file) != 0)
        m_failed = true;
    m_file = nullptr;
    m_loan.reset();
    if (m_failed)
        m_index = GzipIndex{};
    return !m_failed;
}

CReplacingGzipFile::~CReplacingGzipFile() {
    if (m_open) {
        m_writer.Close();
        std::remove(m_temp.c_str());
    }
}

std::string OpenTemporaryBeside(CGzipFileWriter& writer, const std::string& path, unsigned long processId) {
    const std::string folder = path.substr(0, path.find_last_of("/\\") + 1);
    // A name left behind by an earlier process with the same id is skipped, never shared.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name =
            folder + "~" + std::to_string(processId) + "-" + std::to_string(g_replacingWriters++) + ".tmp";
        if (writer.Open(name, true))
            return name;
        if (errno != EEXIST)
            break;
    }
    return {};
}

bool CReplacingGzipFile::Open(const std::string& path, unsigned long processId) {
    m_path = path;
    m_temp = OpenTemporaryBeside(m_writer, path, processId);
    m_open = !m_temp.empty();
    return m_open;
}

void RemoveStaleTemporaryFiles(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        const size_t dash = name.find('-');
        if (name.size() < 8 || name[0] != '~' || dash == std::string::npos || dash < 2 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0 ||
            name.find_first_not_of("0123456789", 1) != dash ||
            name.find_first_not_of("0123456789", dash + 1) != name.size() - 4 || dash + 1 == name.size() - 4)
            continue;
        const unsigned long process = std::strtoul(name.c_str() + 1, nullptr, 10);
        // Signal 0 only asks whether the process exists.
        if (process > 0 && process <= 0x7fffffff && kill(pid_t(process), 0) != 0 && errno == ESRCH)
            std::filesystem::remove(entry.path(), error);
    }
}

bool CReplacingGzipFile::Commit() {
    if (!m_open)
        return false;
    m_open = false;
    // rename replaces the old file in one step: a reader sees either the old or the new game.
    if (!m_writer.Finish() || std::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        std::remove(m_temp.c_str());
        return false;
    }
    return true;
}

ReplaceResult ReplaceGzipFile(const std::string& path, unsigned long processId, const GzipLender* lender,
                              const std::function<void(CSaveSink&)>& produce, GzipIndex& index, int level) {
    for (bool lend : {lender != nullptr, false}) {
        CReplacingGzipFile file(level);
        if (!file.Open(path, processId))
            return ReplaceResult::CannotOpen;
        if (lend)
            file.Borrow(lender->path, lender->index, lender->begin, lender->end);
        produce(file);
        if (file.Commit()) {
            index = file.Index();
            return ReplaceResult::Replaced;
        }
        if (!lend || !file.LoanRefused())
            break;
    }
    return ReplaceResult::WriteFailed;
}
