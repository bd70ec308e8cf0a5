#include "decoder/GuardedMemory.h"

#include "game/logic/AtlasTexture.h"

#include <IL/il.h>

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace decoder {

namespace {

constexpr uint64_t kHeadMagic = 0x6b636f6c42474450ull; // "PDGBlock"
constexpr uint8_t kFill = 0xA5;
constexpr size_t kPeekSize = 16u << 20;
// Inaccessible address space after every block: the library's stray reads run a long way past
// the end of a buffer (tens of kilobytes), not just a few bytes. Only address space, no memory.
constexpr size_t kGuard = 1u << 20;

// Sits right before the caller's bytes. Every block is mapped on its own and ends (rounded up to
// 16 bytes, the rest filled with a known pattern) just before a megabyte that cannot be touched,
// so that reading or writing past its end stops the process at once.
struct alignas(16) Header {
    uint64_t magic;
    size_t size;
    void* base;
    size_t mapped;
    Header* prev;
    Header* next;
    uint64_t check; // magic ^ size: a header that is only partly overwritten is noticed too
};

Header* g_blocks = nullptr;
size_t g_count = 0;
size_t g_live = 0;
size_t g_budget = 0;
int32_t g_largestSide = 0;
int32_t g_pieceCount = 0;
int32_t g_refusedWidth = 0;
int32_t g_refusedHeight = 0;

size_t RoundUp(size_t value, size_t step) {
    return (value + step - 1) / step * step;
}

bool HeaderIntact(const Header* h) {
    return h->magic == kHeadMagic && h->check == (kHeadMagic ^ h->size);
}

bool TailIntact(const Header* h) {
    const uint8_t* tail = reinterpret_cast<const uint8_t*>(h + 1) + h->size;
    const size_t length = RoundUp(h->size, 16) - h->size;
    for (size_t i = 0; i < length; ++i) {
        if (tail[i] != kFill) {
            return false;
        }
    }
    return true;
}

void* ILAPIENTRY GuardedAlloc(const ILsizei size) {
    if (size > g_budget || g_live > g_budget - size) {
        return nullptr;
    }
    if (size >= kPeekSize && g_largestSide > 0) {
        // Image buffers are requested once the size is set: a picture no device can show is
        // refused before its pixels are decoded.
        const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
        const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
        if (!AtlasTextureFits(width, height, g_pieceCount, g_largestSide)) {
            g_refusedWidth = width;
            g_refusedHeight = height;
            return nullptr;
        }
    }
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t body = RoundUp(sizeof(Header) + RoundUp(size, 16), page);
    void* base = mmap(nullptr, body + kGuard, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        return nullptr;
    }
    if (mprotect(static_cast<uint8_t*>(base) + body, kGuard, PROT_NONE) != 0) {
        munmap(base, body + kGuard);
        return nullptr;
    }
    uint8_t* user = static_cast<uint8_t*>(base) + body - RoundUp(size, 16);
    Header* h = reinterpret_cast<Header*>(user) - 1;
    h->base = base;
    h->mapped = body + kGuard;
    std::memset(user + size, kFill, RoundUp(size, 16) - size);
    h->magic = kHeadMagic;
    h->size = size;
    h->check = kHeadMagic ^ size;
    h->prev = nullptr;
    h->next = g_blocks;
    if (g_blocks) {
        g_blocks->prev = h;
    }
    g_blocks = h;
    ++g_count;
    g_live += size;
    return h + 1;
}

void ILAPIENTRY GuardedFree(const void* pointer) {
    if (!pointer) {
        return;
    }
    Header* h = const_cast<Header*>(static_cast<const Header*>(pointer)) - 1;
    // A block freed twice, a pointer the allocator never gave, or an overflow: the picture has
    // driven the library off its rails; nothing it produced can be trusted.
    if (!HeaderIntact(h) || !TailIntact(h)) {
        std::abort();
    }
    (h->prev ? h->prev->next : g_blocks) = h->next;
    if (h->next) {
        h->next->prev = h->prev;
    }
    --g_count;
    g_live -= h->size;
    h->magic = 0;
    h->check = 0;
    munmap(h->base, h->mapped);
}

} // namespace

void InstallGuardedMemory(size_t budget, int32_t largestSide, int32_t count) {
    g_budget = budget;
    g_largestSide = largestSide;
    g_pieceCount = count;
    ilSetMemory(GuardedAlloc, GuardedFree);
}

bool GuardsIntact() {
    size_t seen = 0;
    for (const Header* h = g_blocks; h; h = h->next) {
        if (++seen > g_count || !HeaderIntact(h) || !TailIntact(h) || (h->next && h->next->prev != h)) {
            return false;
        }
    }
    return seen == g_count;
}

size_t BlockSize(const void* pointer) {
    for (const Header* h = g_blocks; h; h = h->next) {
        if (h + 1 == pointer) {
            return h->size;
        }
    }
    return 0;
}

bool RefusedPictureSize(int32_t& width, int32_t& height) {
    width = g_refusedWidth;
    height = g_refusedHeight;
    return width > 0 && height > 0;
}

} // namespace decoder
