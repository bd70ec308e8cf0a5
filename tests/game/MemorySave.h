// Saved games in memory, for the tests, the benchmark and the fuzzer: content collected or read
// as it is, and both images as plain rows.
#pragma once

#include "game/logic/GzipWriter.h"
#include "game/logic/SaveFile.h"

#include <cstring>
#include <vector>

class CMemorySink : public CSaveSink {
  public:
    void Write(const void* data, size_t n) override {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
    }
    std::vector<uint8_t> bytes;
};

// Uncompressed content; failing as a file cut short or one with bytes after its end fails.
class CMemorySource : public CSaveSource {
  public:
    CMemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    void Read(void* data, size_t n) override {
        if (n > m_size - m_pos)
            throw CSaveFileError{kSaveShortFile, LINE_LOAD_STREAM};
        std::memcpy(data, m_data + m_pos, n);
        m_pos += n;
    }
    void ExpectEnd() override {
        if (m_pos != m_size)
            throw CSaveFileError{kSaveTrailingData, LINE_LOAD_STREAM};
    }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Both images, rows without padding.
class CMemoryPixels : public CSavePixels {
  public:
    void Create(SaveImage image, int side) override {
        if (image == SaveImage::Atlas)
            atlasSide = side;
        (image == SaveImage::Atlas ? atlas : thumbnail).assign(4 * size_t(side) * size_t(side), 0);
    }
    uint8_t* Lock(SaveImage image, int first, int, ptrdiff_t& pitch) override {
        const bool isAtlas = image == SaveImage::Atlas;
        pitch = 4 * ptrdiff_t(isAtlas ? atlasSide : kSaveThumbnailSide);
        return (isAtlas ? atlas : thumbnail).data() + first * pitch;
    }
    void Unlock(SaveImage) override {}

    int atlasSide = 0;
    std::vector<uint8_t> thumbnail; // 512 rows of 2048 bytes
    std::vector<uint8_t> atlas;     // atlasSide rows of 4 * atlasSide bytes
};
