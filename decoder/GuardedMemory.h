// The decoder's allocator for the image library: every block ends at an inaccessible page and
// carries guards that an overflowing write destroys, and the whole library is held to a memory
// budget.
#pragma once

#include <cstddef>
#include <cstdint>

namespace decoder {

// Installs the allocator into the image library; call before the library's start.
// budget: bytes the library may hold at once. A request of 16 MB or more made while the bound
// image's atlas for `count` pieces needs a texture larger than largestSide (AtlasTextureFits) is
// refused (the picture cannot be shown anyway), and the picture's size is remembered.
void InstallGuardedMemory(size_t budget, int32_t largestSide, int32_t count);

// True when every live block's guards are intact.
bool GuardsIntact();

// The size of a live block from its start, or 0 when `pointer` is not one.
size_t BlockSize(const void* pointer);

// The size of the picture whose memory was refused for being too large, or false.
bool RefusedPictureSize(int32_t& width, int32_t& height);

} // namespace decoder
