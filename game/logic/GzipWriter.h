// Writing one gzip stream with the compression spread over the processor's cores, and replacing a
// file only once its new content is complete.
#pragma once

#include "game/logic/GzipIndex.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

// Byte sink of the saved-game writer.
class CSaveSink {
  public:
    virtual ~CSaveSink() = default;
    // Appends n bytes. A sink that fails remembers it and ignores the rest; Finish reports it.
    virtual void Write(const void* data, size_t n) = 0;
    // Called before n content bytes the writer would otherwise have to produce (a band of atlas
    // rows): true means the sink already has them and counts them as written, and Write is not
    // called for them.
    virtual bool Skip(size_t n) {
        (void)n;
        return false;
    }
};

// A gzip file of one member, as `gzip -t` and zcat accept it. The content is cut into blocks of
// kBlockSize bytes that are compressed on worker threads, each primed with the 32 KiB before it
// and ended with a sync flush, so the blocks join into one deflate stream; the trailer carries
// the CRC of the whole content (crc32_combine of the blocks') and its length modulo 2^32.
//
// A file written before with the same content in a range can lend that range: its compressed
// bytes between two of its entry points are copied instead of compressed again. Since blocks
// always start at multiples of kBlockSize, a file that lends to a file of the same length gets
// exactly the bytes it would have had.
class CGzipFileWriter : public CSaveSink {
  public:
    static constexpr size_t kBlockSize = 1 << 20;

    // `spread`: blocks are compressed on worker threads, one per core; otherwise each on the
    // calling thread as it is written.
    explicit CGzipFileWriter(int level = 8, bool spread = true);
    ~CGzipFileWriter() override; // closes an unfinished file as it stands

    // Creates or truncates the file; false if it cannot be opened. With `exclusive` an existing
    // file is never opened (false, errno EEXIST).
    bool Open(const std::string& path, bool exclusive = false);
    // Before the first Write: content [begin, end) of this file will be the same as content
    // [begin, end) of the file at `path`, whose entry points are `index`. The file is opened and
    // kept open until Finish; a whole file lends nothing unless its size and last eight bytes
    // are still those in `index`, a file still being written (fileSize 0) nothing unless it is
    // long enough. Returns how many content bytes it will lend. The lent bytes are checked
    // against their CRC while they are copied: if they differ, the writer fails and
    // LoanRefused says why, so that the caller writes the file again without lending.
    uint64_t Borrow(const std::string& path, const GzipIndex& index, uint64_t begin, uint64_t end);
    void Write(const void* data, size_t n) override;
    bool Skip(size_t n) override;
    // Compresses what is left, writes the trailer and closes the file. True only when every byte
    // reached the file and the close succeeded (a full disk gives false).
    bool Finish();
    // Waits for the blocks in flight and closes the file as it stands, without a trailer.
    void Close();
    // The entry points of the file Finish completed (of what Close left, without a size).
    const GzipIndex& Index() const { return m_index; }
    // The lender's bytes were not the ones its entry points describe.
    bool LoanRefused() const { return m_loanRefused; }

  private:
    struct Block;
    struct Loan;
    void Dispatch(bool last);
    void QueueLoan();
    void Queue(std::unique_ptr<Block> block, bool last);
    void Collect(std::unique_ptr<Block> block);
    void Emit(const void* data, size_t n);
    // Emit without adding the bytes to m_fileCrc, for bytes whose CRC the caller has.
    void EmitKnown(const void* data, size_t n);
    void Remember(const uint8_t* data, size_t n);

    int m_level;
    bool m_spread;
    FILE* m_file = nullptr;
    bool m_failed = false;
    std::vector<uint8_t> m_pending; // the content of the block being filled
    std::vector<uint8_t> m_window;  // the last 32 KiB of content, the next block's dictionary
    std::deque<std::pair<std::unique_ptr<Block>, std::future<void>>> m_inFlight;
    size_t m_maxInFlight;
    uint32_t m_crc;
    uint32_t m_fileCrc; // of the bytes emitted
    bool m_loanRefused = false;
    uint64_t m_position = 0;   // content bytes written or skipped
    uint64_t m_fileOffset = 0; // bytes emitted
    std::unique_ptr<Loan> m_loan;
    GzipIndex m_index;
};

// Writes to a temporary file beside path and moves it over path only after a complete write:
// until Commit succeeds the file at path (if any) is untouched, and an abandoned temporary file
// is deleted. The temporary file belongs to one writer alone: "~<process>-<count>.tmp" in the
// folder of path, from the writer's process id and a count of the process's writers, created
// only if no file has that name. It is short whatever the length of path's own name.
class CReplacingGzipFile : public CSaveSink {
  public:
    explicit CReplacingGzipFile(int level = 8) : m_writer(level) {}
    ~CReplacingGzipFile() override;

    bool Open(const std::string& path, unsigned long processId);
    // See CGzipFileWriter::Borrow; `path` is normally the target being replaced.
    uint64_t Borrow(const std::string& path, const GzipIndex& index, uint64_t begin, uint64_t end) {
        return m_writer.Borrow(path, index, begin, end);
    }
    void Write(const void* data, size_t n) override { m_writer.Write(data, n); }
    bool Skip(size_t n) override { return m_writer.Skip(n); }
    // Finishes the stream and renames it over the target. False leaves the target untouched.
    bool Commit();

    const std::string& TemporaryPath() const { return m_temp; }
    // The entry points of the committed file.
    const GzipIndex& Index() const { return m_writer.Index(); }
    bool LoanRefused() const { return m_writer.LoanRefused(); }

  private:
    CGzipFileWriter m_writer;
    std::string m_path, m_temp;
    bool m_open = false;
};

// Opens writer on a new file "~<process>-<count>.tmp" in the folder of path, a name no other
// writer has; returns that name, or an empty one when no file could be made.
std::string OpenTemporaryBeside(CGzipFileWriter& writer, const std::string& path, unsigned long processId);

// Removes from folder the temporary files "~<process>-<count>.tmp" that processes no longer
// running left behind (a save cut off by a kill); those of running processes are left to them.
void RemoveStaleTemporaryFiles(const std::string& folder);

// A file whose compressed bytes a new file may take over: where it is, its entry points, and the
// content range [begin, end) the new file shares with it.
struct GzipLender {
    std::string path;
    GzipIndex index;
    uint64_t begin = 0, end = 0;
};

enum class ReplaceResult { Replaced, CannotOpen, WriteFailed };

// Writes path through a CReplacingGzipFile with the content `produce` gives, lending from
// `lender` when one is given. When the lent bytes prove not to be the ones the lender's entries
// describe, the file is written again, whole and without lending, so `produce` may be called
// twice. Exceptions of `produce` pass through (the target untouched). On Replaced, `index`
// receives the new file's entry points.
ReplaceResult ReplaceGzipFile(const std::string& path, unsigned long processId, const GzipLender* lender,
                              const std::function<void(CSaveSink&)>& produce, GzipIndex& index,
                              int level = 8);
