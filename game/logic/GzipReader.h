// Reading a saved game's gzip file as zlib's gzread reads it: a file that does not start as gzip
// is read as it is, further members are content too, bytes after the last member that are not
// gzip are ignored. While it inflates it notes the stream's entry points (GzipIndex.h), so that
// the next save of the same game can take its compressed bytes over.
//
// A gzip file is inflated on a thread of the source's own, started by the first Read and at most
// 64 MiB ahead of the reader; the reader's thread checks each member's CRC as it takes the bytes.
// A failure is raised by the Read that reaches it, as if the file were read in one thread.
#pragma once

#include "game/logic/GzipIndex.h"
#include "game/logic/SaveFile.h"

#include <memory>
#include <string>

class CGzipFileSource : public CSaveSource {
  public:
    // Null when the file cannot be opened or is not a file of data (a pipe, a device, a folder).
    static std::unique_ptr<CGzipFileSource> Open(const std::string& path);
    ~CGzipFileSource() override;
    CGzipFileSource(const CGzipFileSource&) = delete;
    CGzipFileSource& operator=(const CGzipFileSource&) = delete;

    void Read(void* data, size_t n) override;
    void ExpectEnd() override;

    // The entry points of a file of one gzip member whose end ExpectEnd has confirmed, with the
    // file's size and last eight bytes as they are now; empty for anything else.
    GzipIndex TakeIndex();

  private:
    struct Stream;
    explicit CGzipFileSource(std::unique_ptr<Stream> stream);
    std::unique_ptr<Stream> m_s;
};
