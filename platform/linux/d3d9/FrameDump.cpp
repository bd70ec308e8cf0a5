// Frame dumps: the file-name pattern, the frame selection and a minimal PNG writer over zlib.
#include "platform/linux/d3d9/Objects.h"

#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace layer::d3d9 {

bool SplitFramePattern(const std::string& pattern, std::string& prefix, std::string& conversion,
                       std::string& suffix) {
    prefix.clear();
    conversion.clear();
    suffix.clear();
    bool found = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        std::string& out = found ? suffix : prefix;
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %[0-][width]d, nothing else: the text is handed to snprintf with one int.
        size_t j = i + 1;
        while (j < pattern.size() && (pattern[j] == '0' || pattern[j] == '-'))
            ++j;
        size_t digits = 0;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && digits < 3)
            ++j, ++digits;
        if (found || j >= pattern.size() || (pattern[j] != 'd' && pattern[j] != 'i'))
            return false;
        conversion = pattern.substr(i, j - i) + "d";
        found = true;
        i = j;
    }
    return found;
}

bool FrameSelected(const std::string& frames, unsigned long n) {
    if (frames == "all")
        return true;
    if (frames.rfind("every:", 0) == 0) {
        unsigned long every = std::strtoul(frames.c_str() + 6, nullptr, 10);
        return every > 0 && n % every == 0;
    }
    const char* p = frames.c_str();
    while (*p) {
        char* end = nullptr;
        unsigned long value = std::strtoul(p, &end, 10);
        if (end == p)
            return false;
        if (value == n)
            return true;
        p = end;
        while (*p == ',' || *p == ' ')
            ++p;
    }
    return false;
}

namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBigEndian(out, uint32_t(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, out.data() + start, uInt(out.size() - start));
    PutBigEndian(out, uint32_t(crc));
}

} // namespace

bool WritePng(const std::string& path, UINT width, UINT height, const std::vector<DWORD>& pixels) {
    if (width == 0 || height == 0 || pixels.size() < size_t(width) * height)
        return false;
    // Rows of filter byte 0 followed by R, G, B.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(height) * (1 + size_t(width) * 3));
    for (UINT y = 0; y < height; ++y) {
        raw.push_back(0);
        for (UINT x = 0; x < width; ++x) {
            DWORD c = pixels[size_t(y) * width + x];
            raw.push_back(uint8_t(c >> 16));
            raw.push_back(uint8_t(c >> 8));
            raw.push_back(uint8_t(c));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), Z_BEST_SPEED) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter set, no interlace
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});

    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = (std::fclose(out) == 0) && ok;
    return ok;
}

} // namespace layer::d3d9
