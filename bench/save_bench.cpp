// Saving and loading a 1000-piece game made from a 1600 x 1200 and from a 4000 x 3000 picture,
// measured next to `gzip -8` and `zcat` of the very same uncompressed bytes in the same run.
// The board is cut by the game's own rules and its atlas composed by them from a picture with
// photograph-like detail (smooth shapes plus grain), so the compressor sees realistic data.
//   save_bench [--benchmark_filter=...]     (writes its files in $TMPDIR or /tmp)
#include "game/logic/AtlasTexels.h"
#include "game/logic/Cutting.h"
#include "game/logic/GzipWriter.h"
#include "game/logic/GzipReader.h"
#include "game/logic/SaveAhead.h"
#include "game/logic/SaveFile.h"
#include "tests/game/MemorySave.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string TempDir() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? t : "/tmp";
}

// A whole game in memory: the board and its two images.
struct SavedGame {
    Board board;
    CMemoryPixels pixels;
};

SavedGame MakeGame(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    uint32_t noise = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            double u = double(x) / width, v = double(y) / height;
            double shape =
                0.5 + 0.25 * std::sin(9 * u + 4 * std::sin(7 * v)) + 0.2 * std::cos(13 * v * u + 3 * u);
            for (int c = 0; c < 3; ++c) {
                double value = 255 * shape * (0.7 + 0.15 * c) + int((noise >> (8 + 5 * c)) & 15) - 8;
                rgb[(size_t(y) * width + x) * 3 + c] = uint8_t(std::clamp(value, 0.0, 255.0));
            }
        }
    SavedGame d;
    Board& h = d.board;
    if (!ComputeGrid(width, height, 1000, h))
        throw std::runtime_error("no grid");
    h.playTime = 1234567;
    RandomSource random = [] { return std::rand() & 0x7fff; };
    PlaceGridLines(h, random);
    ChooseTabSides(h, random);
    BuildOwnerMap(h, random);

    RgbView view{rgb.data(), width};
    d.pixels.atlasSide = h.atlasSize;
    d.pixels.atlas.resize(4 * size_t(h.atlasSize) * h.atlasSize);
    CAtlasComposer(h, view, h.atlasSize, h.atlasSize, 2)
        .ComposeBand(0, reinterpret_cast<uint32_t*>(d.pixels.atlas.data()), h.atlasSize);

    ThumbnailSize(width, height, h.thumbWidth, h.thumbHeight);
    std::vector<uint8_t> scaled(size_t(h.thumbWidth) * h.thumbHeight * 3);
    for (int y = 0; y < h.thumbHeight; ++y)
        for (int x = 0; x < h.thumbWidth; ++x)
            for (int c = 0; c < 3; ++c)
                scaled[(size_t(y) * h.thumbWidth + x) * 3 + c] =
                    rgb[(size_t(y * height / h.thumbHeight) * width + x * width / h.thumbWidth) * 3 + c];
    d.pixels.thumbnail.resize(kThumbnailBytes);
    ComposeThumbnail(RgbView{scaled.data(), h.thumbWidth}, h.thumbWidth, h.thumbHeight,
                     reinterpret_cast<uint32_t*>(d.pixels.thumbnail.data()), kThumbnailSide);
    for (int n = 0; n < h.pieceCount; ++n)
        h.pieces.push_back({float(std::rand() % int(h.boardWidth)), float(std::rand() % int(h.boardHeight)),
                            uint16_t(n), uint8_t(n % 3 == 0), 0});
    return d;
}

struct Fixture {
    SavedGame game;
    std::string plainPath; // the uncompressed content
    std::string savePath;  // written by the game's writer
    size_t contentBytes = 0;
    GzipIndex index; // of the file at savePath
};

// One board per picture size, made once and shared by the four benchmarks of that size.
Fixture& Get(int width, int height) {
    static std::map<int, Fixture> fixtures;
    auto it = fixtures.find(width);
    if (it != fixtures.end())
        return it->second;
    Fixture& f = fixtures[width];
    f.game = MakeGame(width, height);
    std::string base = TempDir() + "/save_bench_" + std::to_string(width) + "x" + std::to_string(height);
    f.plainPath = base + ".raw";
    f.savePath = base + ".pzz";
    CMemorySink plain;
    WriteSavedGame(plain, f.game.board, f.game.pixels);
    f.contentBytes = plain.bytes.size();
    FILE* out = std::fopen(f.plainPath.c_str(), "wb");
    std::fwrite(plain.bytes.data(), 1, plain.bytes.size(), out);
    std::fclose(out);
    CGzipFileWriter w(8);
    w.Open(f.savePath);
    WriteSavedGame(w, f.game.board, f.game.pixels);
    w.Finish();
    f.index = w.Index();
    return f;
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

// A save as the game makes it; `again` takes over what the file saved before holds unchanged,
// as every save after the first of a game does (the play time differs each time).
void Save(benchmark::State& state, bool again) {
    Fixture& f = Get(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        f.game.board.playTime += 1000;
        const GzipLender lender{f.savePath, f.index, kSaveHeaderBytes,
                                f.contentBytes - 12 * f.game.board.pieces.size()};
        GzipIndex written;
        if (ReplaceGzipFile(
                f.savePath, static_cast<unsigned long>(getpid()), again ? &lender : nullptr,
                [&](CSaveSink& sink) { WriteSavedGame(sink, f.game.board, f.game.pixels); },
                written) != ReplaceResult::Replaced)
            state.SkipWithError("save failed");
        f.index = written;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.contentBytes));
}

void BM_Save(benchmark::State& state) {
    Save(state, false);
}

void BM_SaveAgain(benchmark::State& state) {
    Save(state, true);
}

// The first save of a new game once the background has compressed its unchanging part (that
// work, served as fast as it asks, is untimed; its time is reported as background_s).
void BM_FirstSaveAfterBackground(benchmark::State& state) {
    Fixture& f = Get(int(state.range(0)), int(state.range(1)));
    const std::string path = TempDir() + "/save_bench_first.pzz";
    double background = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto start = std::chrono::steady_clock::now();
        CSaveAhead ahead(path, static_cast<unsigned long>(getpid()), f.game.board);
        while (!ahead.Done()) {
            ahead.Serve(f.game.pixels);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        background += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        f.game.board.playTime += 1000;
        state.ResumeTiming();
        GzipIndex written;
        if (ReplaceGzipFile(
                path, static_cast<unsigned long>(getpid()), ahead.Stop(),
                [&](CSaveSink& sink) { WriteSavedGame(sink, f.game.board, f.game.pixels); },
                written) != ReplaceResult::Replaced)
            state.SkipWithError("save failed");
    }
    state.counters["background_s"] = background / double(state.iterations());
    std::remove(path.c_str());
}

void BM_GzipMinus8(benchmark::State& state) {
    Fixture& f = Get(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        Run("gzip -8 -c '" + f.plainPath + "' > '" + f.plainPath + ".gz'");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.contentBytes));
}

void BM_Load(benchmark::State& state) {
    Fixture& f = Get(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        std::unique_ptr<CGzipFileSource> src = CGzipFileSource::Open(f.savePath);
        SavedGame d;
        ReadSavedGame(*src, d.board, d.pixels);
        benchmark::DoNotOptimize(d.pixels.atlas.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.contentBytes));
}

void BM_Zcat(benchmark::State& state) {
    Fixture& f = Get(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        Run("zcat '" + f.savePath + "' > /dev/null");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.contentBytes));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({1600, 1200})
        ->Args({4000, 3000})
        ->Args({8000, 6000})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
}

BENCHMARK(BM_Save)->Apply(Sizes);
BENCHMARK(BM_SaveAgain)->Apply(Sizes);
BENCHMARK(BM_FirstSaveAfterBackground)
    ->Args({1600, 1200})
    ->Args({4000, 3000})
    ->Args({8000, 6000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_GzipMinus8)->Apply(Sizes);
BENCHMARK(BM_Load)->Apply(Sizes);
BENCHMARK(BM_Zcat)->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();
