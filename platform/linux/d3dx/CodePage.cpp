// Windows-1250 and Windows-1252 to Unicode, as the font reads the bytes of a text.
#include "platform/linux/d3dx/CodePage.h"
#include "platform/linux/CodePages.h"

std::u32string DecodeCodePage(const char* bytes, size_t count, BYTE charSet) {
    const char16_t* high = charSet == EASTEUROPE_CHARSET ? layer::kCp1250High : layer::kCp1252High;
    std::u32string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(b < 0x80 ? char32_t{b} : char32_t{high[b - 0x80]});
    }
    return out;
}
