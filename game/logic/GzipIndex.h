// Where a gzip file's deflate stream can be entered, so that a later file of the same content can
// take the compressed bytes between two such places as they are instead of compressing again.
#pragma once

#include <cstdint>
#include <vector>

// A deflate block starts at byte `file` of the file, on a byte boundary, where the content
// reaches byte `content`; decoding from there needs only the 32 KiB of content before it. `crc`
// is the CRC-32 of content [0, content), `fileCrc` the CRC-32 of the file's bytes [0, file): the
// bytes between two entries are proven to be the ones described by the CRC of that range, which
// both give (CRC-32 is linear).
struct GzipEntry {
    uint64_t content = 0;
    uint64_t file = 0;
    uint32_t crc = 0;
    uint32_t fileCrc = 0;
};

// The entry points of one whole gzip file, in ascending order, with what identifies that file:
// its size and its last eight bytes (the CRC and length of the whole content). Empty when
// nothing is known. A file still being written has entries but no size (fileSize 0).
struct GzipIndex {
    std::vector<GzipEntry> entries;
    uint64_t fileSize = 0;
    uint8_t trailer[8] = {};

    bool Empty() const { return entries.empty(); }
};
