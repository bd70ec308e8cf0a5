// Code-page conversion and path text.
#include "platform/linux/CodePages.h"
#include "platform/linux/win32/Internal.h"

#include <cstring>

namespace layer {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string Cp1250ToUtf8(const char* text) {
    std::string out;
    if (!text)
        return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        AppendUtf8(out, *p < 0x80 ? char32_t(*p) : char32_t(kCp1250High[*p - 0x80]));
    return out;
}

char CodePointToCp1250(char32_t codePoint) {
    if (codePoint < 0x80)
        return char(codePoint);
    for (int i = 0; i < 128; ++i)
        if (kCp1250High[i] == codePoint)
            return char(0x80 + i);
    return '?';
}

std::string PosixPath(const char* path) {
    std::string out = path ? path : "";
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

} // namespace layer
