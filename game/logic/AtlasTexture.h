// The texture that holds the piece atlas. The atlas is a square of atlasSize texels a side (the
// saved game stores it whole), but every texel right of or below the rectangle the pieces need
// (atlasNeedWidth x atlasNeedHeight) is 0 and no piece quad samples it, so the texture holds only
// that rectangle: its texel (s, t) is atlas texel (s, t).
#pragma once

#include "game/logic/Board.h"

inline int AtlasTextureWidth(const Board& b) {
    return b.atlasNeedWidth;
}
inline int AtlasTextureHeight(const Board& b) {
    return b.atlasNeedHeight;
}

// Texture coordinates of the atlas texel edges s (across) and t (down).
inline float AtlasU(const Board& b, int s) {
    return static_cast<float>(s) / static_cast<float>(AtlasTextureWidth(b));
}
inline float AtlasV(const Board& b, int t) {
    return static_cast<float>(t) / static_cast<float>(AtlasTextureHeight(b));
}

// Whether a device whose textures are at most largestSide texels a side can hold the atlas
// texture of this grid. An atlas that no power of two up to 32768 holds (atlasSize 0) never fits.
bool AtlasTextureFits(const Board& grid, int largestSide);
// The same for a picture of width x height pixels cut for `count` pieces, from its size alone.
// A picture too small for one piece fits here: it is refused as too small.
bool AtlasTextureFits(int width, int height, int count, int largestSide);
