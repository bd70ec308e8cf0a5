// Writes seed inputs for save_fuzz into a folder: saved games of a few small boards, written by
// the game's own writer (gzip), and one of them as plain content behind a 0 byte.
#include "game/logic/GzipWriter.h"
#include "game/logic/SaveFile.h"
#include "tests/game/MemorySave.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace {

struct Saved {
    Board board;
    CMemoryPixels pixels;
};

// A consistent board of columns x rows cells of 48 pixels, pieces in a shuffled stack.
Saved MakeGame(int columns, int rows, uint32_t seed) {
    Saved d;
    Board& h = d.board;
    h.columns = columns;
    h.rows = rows;
    h.pieceCount = columns * rows;
    h.cellWidth = h.cellHeight = 48;
    h.areaWidth = columns * 48;
    h.areaHeight = rows * 48;
    h.atlasNeedWidth = h.areaWidth + (columns - 1) * 48 / 4;
    h.atlasNeedHeight = h.areaHeight + (rows - 1) * 48 / 4;
    h.atlasSize = 1;
    while (h.atlasSize < h.atlasNeedWidth || h.atlasSize < h.atlasNeedHeight)
        h.atlasSize *= 2;
    h.boardWidth = 1.5f * h.areaWidth + 2 * h.pieceCount;
    h.boardHeight = 1.5f * h.areaHeight + 2 * h.pieceCount;
    h.playTime = seed * 1000u;
    auto next = [&seed] { return (seed = seed * 214013u + 2531011u) >> 16 & 0x7fff; };
    for (int c = 0; c < columns; ++c)
        h.colStart.push_back(c == 0 ? 0 : c * 48 - 6 + static_cast<int>(next() % 12));
    for (int r = 0; r < rows; ++r)
        h.rowStart.push_back(r == 0 ? 0 : r * 48 - 6 + static_cast<int>(next() % 12));
    for (int i = 0; i < 2 * columns * rows; ++i)
        h.tabMap.push_back(static_cast<uint8_t>(next() & 1));
    for (int y = 0; y < h.areaHeight; ++y)
        for (int x = 0; x < h.areaWidth; ++x)
            h.ownerMap.push_back(static_cast<uint16_t>((y / 48) * columns + x / 48));
    h.thumbWidth = std::min(512, h.areaWidth);
    h.thumbHeight = std::min(512, h.areaHeight);
    d.pixels.thumbnail.assign(kThumbnailBytes, 0xFF);
    d.pixels.atlasSide = h.atlasSize;
    d.pixels.atlas.resize(4 * size_t(h.atlasSize) * h.atlasSize);
    for (size_t i = 0; i < d.pixels.atlas.size(); ++i)
        d.pixels.atlas[i] = static_cast<uint8_t>(i % 4 == 3 ? 255 : (i / 4) % 251);
    for (int n = 0; n < h.pieceCount; ++n)
        h.pieces.push_back({float(next() % 300), float(next() % 200), uint16_t(n), uint8_t(next() & 1), 0});
    for (size_t i = h.pieces.size(); i > 1; --i)
        std::swap(h.pieces[i - 1], h.pieces[next() % i]);
    return d;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::pair<int, int> grids[] = {{2, 2}, {3, 2}, {1, 4}, {5, 3}};
    uint32_t seed = 1;
    for (auto [c, r] : grids) {
        CGzipFileWriter w(8);
        std::string path = dir + "/game-" + std::to_string(c) + "x" + std::to_string(r) + ".pzz";
        if (!w.Open(path))
            return 1;
        Saved game = MakeGame(c, r, seed++);
        WriteSavedGame(w, game.board, game.pixels);
        if (!w.Finish())
            return 1;
    }
    CMemorySink plain;
    plain.bytes.push_back(0);
    Saved game = MakeGame(2, 2, 99);
    WriteSavedGame(plain, game.board, game.pixels);
    FILE* f = std::fopen((dir + "/plain-2x2").c_str(), "wb");
    if (!f || std::fwrite(plain.bytes.data(), 1, plain.bytes.size(), f) != plain.bytes.size() ||
        std::fclose(f))
        return 1;
    return 0;
}
