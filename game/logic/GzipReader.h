// Reading a saved game's gzip stream, from memory or from a file, as zlib's gzread reads it: a
// file that does not start as gzip is read as it is, further members are content too, bytes after
// the last member that are not gzip are ignored. While it inflates it notes the stream's entry
// points (GzipIndex.h), so that the next save of the same game can reuse its compressed bytes.
#pragma once

#include "game/logic/GzipIndex.h"
#include "game/logic/SaveFile.h"

#include <cstdio>
#include <memory>

class CGzipSource : public CSaveSource {
  public:
    // Compressed bytes in memory; they must outlive the source.
    CGzipSource(const uint8_t* data, size_t size);
    // A file opened for reading by the caller, read from its current position; the caller closes it.
    explicit CGzipSource(FILE* file);
    ~CGzipSource() override;
    CGzipSource(const CGzipSource&) = delete;
    CGzipSource& operator=(const CGzipSource&) = delete;

    void Read(void* data, size_t n) override;
    void ExpectEnd() override;

    // The entry points of a file of one gzip member whose end ExpectEnd has confirmed (with the
    // file's size and trailer); empty for anything else.
    GzipIndex TakeIndex();

  private:
    struct Stream;
    std::unique_ptr<Stream> m_s;
};
