#include "game/logic/GzipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

constexpr size_t kWindow = 32768;

// Replacing writers opened by this process: the count in their temporary files' names.
std::atomic<unsigned> g_replacingWriters{0};

} // namespace

void CMemorySink::Write(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
}

struct CGzipFileWriter::Block {
    std::vector<uint8_t> dictionary;
    std::vector<uint8_t> data;
    bool last = false;
    int level = 8;
    std::vector<uint8_t> out;
    uint32_t crc = 0;
    bool ok = false;

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

CGzipFileWriter::CGzipFileWriter(int level)
    : level_(level), crc_(static_cast<uint32_t>(crc32(0L, nullptr, 0))) {
    // One block in flight per core plus one being collected keeps every core busy.
    maxInFlight_ = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8) + 1;
}

CGzipFileWriter::~CGzipFileWriter() {
    Close();
}

void CGzipFileWriter::Close() {
    for (auto& f : inFlight_)
        f.second.wait();
    inFlight_.clear();
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

bool CGzipFileWriter::Open(const std::string& path, bool exclusive) {
    file_ = std::fopen(path.c_str(), exclusive ? "wbx" : "wb");
    if (!file_)
        return false;
    // The member header zlib's gzopen writes: no name, no time, the Unix system code.
    const uint8_t header[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, static_cast<uint8_t>(level_ == 9 ? 2 : 0), 3};
    Emit(header, sizeof header);
    pending_.reserve(kBlockSize);
    return true;
}

void CGzipFileWriter::Emit(const void* data, size_t n) {
    if (failed_ || !file_)
        return;
    if (std::fwrite(data, 1, n, file_) != n)
        failed_ = true;
}

void CGzipFileWriter::Write(const void* data, size_t n) {
    if (failed_ || !file_)
        return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        size_t take = std::min(n, kBlockSize - pending_.size());
        pending_.insert(pending_.end(), p, p + take);
        p += take;
        n -= take;
        if (pending_.size() == kBlockSize)
            Dispatch(false);
    }
}

void CGzipFileWriter::Dispatch(bool last) {
    auto block = std::make_unique<Block>();
    block->dictionary = window_;
    block->last = last;
    block->level = level_;
    size_t keep = std::min(kWindow, pending_.size());
    window_.insert(window_.end(), pending_.end() - keep, pending_.end());
    if (window_.size() > kWindow)
        window_.erase(window_.begin(), window_.end() - kWindow);
    block->data.swap(pending_);
    pending_.clear();
    pending_.reserve(kBlockSize);
    length_ += block->data.size();

    Block* raw = block.get();
    std::future<void> done;
    try {
        done = std::async(std::launch::async, [raw] { raw->Compress(); });
    } catch (const std::system_error&) {
        // No thread to be had: compress here.
        done = std::async(std::launch::deferred, [raw] { raw->Compress(); });
    }
    inFlight_.emplace_back(std::move(block), std::move(done));
    while (inFlight_.size() >= maxInFlight_ || (last && !inFlight_.empty())) {
        auto front = std::move(inFlight_.front());
        inFlight_.pop_front();
        front.second.get();
        Collect(std::move(front.first));
    }
}

void CGzipFileWriter::Collect(std::unique_ptr<Block> block) {
    if (!block->ok)
        failed_ = true;
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, block->crc, static_cast<z_off_t>(block->data.size())));
    Emit(block->out.data(), block->out.size());
}

bool CGzipFileWriter::Finish() {
    if (!file_)
        return false;
    if (!failed_) {
        Dispatch(true);
        uint8_t trailer[8];
        uint32_t size = static_cast<uint32_t>(length_);
        for (int i = 0; i < 4; ++i) {
            trailer[i] = static_cast<uint8_t>(crc_ >> (8 * i));
            trailer[4 + i] = static_cast<uint8_t>(size >> (8 * i));
        }
        Emit(trailer, sizeof trailer);
    }
    if (std::fflush(file_) != 0)
        failed_ = true;
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
    return !failed_;
}

CReplacingGzipFile::~CReplacingGzipFile() {
    if (open_) {
        writer_.Close();
        std::remove(temp_.c_str());
    }
}

bool CReplacingGzipFile::Open(const std::string& path, unsigned long processId) {
    path_ = path;
    const std::string folder = path.substr(0, path.find_last_of("/\\") + 1);
    // A name left behind by an earlier process with the same id is skipped, never shared.
    for (int attempt = 0; attempt < 100 && !open_; ++attempt) {
        temp_ =
            folder + "~" + std::to_string(processId) + "-" + std::to_string(g_replacingWriters++) + ".tmp";
        open_ = writer_.Open(temp_, true);
        if (!open_ && errno != EEXIST)
            break;
    }
    return open_;
}

bool CReplacingGzipFile::Commit() {
    if (!open_)
        return false;
    open_ = false;
    // rename replaces the old file in one step: a reader sees either the old or the new game.
    if (!writer_.Finish() || std::rename(temp_.c_str(), path_.c_str()) != 0) {
        std::remove(temp_.c_str());
        return false;
    }
    return true;
}
