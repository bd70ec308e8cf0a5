// The Windows C runtime's rand, srand and _splitpath.
#include "platform/CRT.h"

#include <algorithm>
#include <cstring>

namespace {
// The Windows runtime keeps the generator per thread, starting as if seeded with 1.
thread_local unsigned int g_randState = 1;

void CopyCut(char* out, size_t capacity, const char* begin, const char* end) {
    if (!out)
        return;
    size_t length = std::min(size_t(end - begin), capacity - 1);
    memcpy(out, begin, length);
    out[length] = '\0';
}
} // namespace

// Hidden: the program's own calls bind to these definitions when it is linked, but they are not
// exported, so the shared libraries in the process (OpenGL drivers, image and sound libraries)
// keep the C library's generator and cannot reseed or draw from the game's.
extern "C" {

__attribute__((visibility("hidden"))) int rand(void) noexcept {
    g_randState = g_randState * 214013u + 2531011u;
    return int((g_randState >> 16) & 0x7fff);
}

__attribute__((visibility("hidden"))) void srand(unsigned int seed) noexcept {
    g_randState = seed;
}

} // extern "C"

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    if (!path)
        path = "";
    const char* p = path;
    const char* end = path + strlen(path);
    if (p[0] && p[1] == ':') {
        CopyCut(drive, _MAX_DRIVE, p, p + 2);
        p += 2;
    } else {
        CopyCut(drive, _MAX_DRIVE, p, p);
    }
    const char* name = p;
    for (const char* q = p; q < end; ++q)
        if (*q == '\\' || *q == '/')
            name = q + 1;
    CopyCut(dir, _MAX_DIR, p, name);
    const char* dot = end;
    for (const char* q = end; q > name; --q)
        if (q[-1] == '.') {
            dot = q - 1;
            break;
        }
    CopyCut(fname, _MAX_FNAME, name, dot);
    CopyCut(ext, _MAX_EXT, dot, end);
}
