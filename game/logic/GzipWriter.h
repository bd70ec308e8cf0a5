// Writing one gzip stream with the compression spread over the processor's cores, and replacing a
// file only once its new content is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
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
    // Called before n content bytes the writer would otherwise have to produce: true means the
    // sink already has them and counts them as written; Write is then not called for them.
    virtual bool Skip(size_t /*n*/) { return false; }
};

// Collects everything in memory (tests, the fuzzing corpus, the benchmark's reference bytes).
class CMemorySink : public CSaveSink {
  public:
    void Write(const void* data, size_t n) override;
    std::vector<uint8_t> bytes;
};

// A gzip file of one member, as `gzip -t` and zcat accept it. The content is cut into blocks of
// kBlockSize bytes that are compressed on worker threads, each primed with the 32 KiB before it
// and ended with a sync flush, so the blocks join into one deflate stream; the trailer carries
// the CRC of the whole content (crc32_combine of the blocks') and its length modulo 2^32.
class CGzipFileWriter : public CSaveSink {
  public:
    static constexpr size_t kBlockSize = 1 << 20;

    explicit CGzipFileWriter(int level = 8);
    ~CGzipFileWriter() override; // closes an unfinished file as it stands

    // Creates or truncates the file; false if it cannot be opened. With `exclusive` an existing
    // file is never opened (false, errno EEXIST).
    bool Open(const std::string& path, bool exclusive = false);
    void Write(const void* data, size_t n) override;
    // Compresses what is left, writes the trailer and closes the file. True only when every byte
    // reached the file and the close succeeded (a full disk gives false).
    bool Finish();
    // Waits for the blocks in flight and closes the file as it stands, without a trailer.
    void Close();

  private:
    struct Block;
    void Dispatch(bool last);
    void Collect(std::unique_ptr<Block> block);
    void Emit(const void* data, size_t n);

    int level_;
    FILE* file_ = nullptr;
    bool failed_ = false;
    std::vector<uint8_t> pending_; // the content of the block being filled
    std::vector<uint8_t> window_;  // the last 32 KiB handed out, the next block's dictionary
    std::deque<std::pair<std::unique_ptr<Block>, std::future<void>>> inFlight_;
    size_t maxInFlight_;
    uint32_t crc_;
    uint64_t length_ = 0;
};

// Writes to a temporary file beside path and moves it over path only after a complete write:
// until Commit succeeds the file at path (if any) is untouched, and an abandoned temporary file
// is deleted. The temporary file belongs to one writer alone: "~<process>-<count>.tmp" in the
// folder of path, from the writer's process id and a count of the process's writers, created
// only if no file has that name. It is short whatever the length of path's own name.
class CReplacingGzipFile : public CSaveSink {
  public:
    explicit CReplacingGzipFile(int level = 8) : writer_(level) {}
    ~CReplacingGzipFile() override;

    bool Open(const std::string& path, unsigned long processId);
    void Write(const void* data, size_t n) override { writer_.Write(data, n); }
    // Finishes the stream and renames it over the target. False leaves the target untouched.
    bool Commit();

    const std::string& TemporaryPath() const { return temp_; }

  private:
    CGzipFileWriter writer_;
    std::string path_, temp_;
    bool open_ = false;
};
