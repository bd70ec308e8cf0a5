#include "game/logic/AtlasTexture.h"

#include "game/logic/Cutting.h"

bool AtlasTextureFits(const Board& grid, int largestSide) {
    return grid.atlasSize > 0 && AtlasTextureWidth(grid) <= largestSide &&
           AtlasTextureHeight(grid) <= largestSide;
}

bool AtlasTextureFits(int width, int height, int count, int largestSide) {
    // The pieces need at least the picture's width and height (the cropping to whole cells
    // takes less than the quarter-cell gaps add), so a larger picture is refused at once.
    if (width > largestSide || height > largestSide)
        return false;
    Board grid;
    return !ComputeGrid(width, height, count, grid) || AtlasTextureFits(grid, largestSide);
}
