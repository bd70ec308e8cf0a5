// The start of a new game for 1600 x 1200 and 4000 x 3000 pictures with 1000 pieces: each step
// alone, the whole CreateResources on the recording device, and the relief count read literally
// (49 map reads per piece pixel) beside the fast one. The decoding steps are measured both in
// this process (the library's own work) and through the decoder program as the game runs it.
#include "game/Game.h"
#include "game/DecoderClient.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/Cutting.h"
#include "platform/CRT.h"
#include "platform/linux/Hooks.h"
#include "platform/test/RecordingDevice.h"
#include "tests/game/AtlasLiteral.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// A JPEG with some detail in it, made once per size.
std::string Picture(int width, int height) {
    const std::string file =
        (std::filesystem::temp_directory_path() /
         ("newgame_bench_" + std::to_string(width) + "x" + std::to_string(height) + ".jpg"))
            .string();
    if (!std::filesystem::exists(file)) {
        const std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                                    " gradient:red-blue -swirl 120 -quality 90 '" + file + "'";
        if (std::system(command.c_str()) != 0) {
            std::abort();
        }
    }
    return file;
}

// A cut made from rand(), as the game makes it.
struct Cut {
    Board grid;
    std::vector<uint8_t> rgb;
    int width;

    Cut(int w, int h, int count) : width(w) {
        srand(7);
        ComputeGrid(w, h, count, grid);
        RandomSource random = [] { return rand(); };
        PlaceGridLines(grid, random);
        ChooseTabSides(grid, random);
        BuildOwnerMap(grid, random);
        rgb.assign(static_cast<size_t>(w) * h * 3, 90);
    }
    const Board& View() const { return grid; }
};

void SetSizes(benchmark::internal::Benchmark* b) {
    b->Args({1600, 1200})->Args({4000, 3000})->Unit(benchmark::kMillisecond);
}

void BM_DecodePicture(benchmark::State& state) {
    const std::string file = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    ilInit();
    for (auto _ : state) {
        ILuint name;
        ilGenImages(1, &name);
        ilBindImage(name);
        ilLoadImage(file.c_str());
        ilDeleteImages(1, &name);
    }
    ilShutDown();
}
BENCHMARK(BM_DecodePicture)->Apply(SetSizes);

void BM_ThumbnailScale(benchmark::State& state) {
    const std::string file = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    ilInit();
    iluInit();
    ILuint names[2];
    ilGenImages(2, names);
    ilBindImage(names[0]);
    ilLoadImage(file.c_str());
    for (auto _ : state) {
        ilBindImage(names[1]);
        ilCopyImage(names[0]);
        iluImageParameter(ILU_FILTER, ILU_LINEAR);
        iluScale(512, 384, 1);
    }
    ilDeleteImages(2, names);
    ilShutDown();
}
BENCHMARK(BM_ThumbnailScale)->Apply(SetSizes);

// The decoder program as the game uses it: start, load, thumbnail and pixel copies, and the
// pixels read back into the game's buffers.
void BM_DecoderProcess(benchmark::State& state) {
    const std::string file = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    layer::SetHelperFolder(PUZZLE_BIN_DIR);
    for (auto _ : state) {
        CPictureDecoder decoder;
        if (decoder.Open(file, 1000, 16384) != CPictureDecoder::Load::Loaded) {
            state.SkipWithError("the decoder did not load the picture");
            break;
        }
        int thumbWidth = 0, thumbHeight = 0;
        ThumbnailSize(decoder.Width(), decoder.Height(), thumbWidth, thumbHeight);
        RgbImage scaled(thumbWidth, thumbHeight), rgb;
        if (decoder.Decode(thumbWidth, thumbHeight) != CPictureDecoder::Copy::Done ||
            !decoder.ReadThumbnail(scaled) || !decoder.ReadPicture(rgb)) {
            state.SkipWithError("the decoder failed");
            break;
        }
    }
}
BENCHMARK(BM_DecoderProcess)->Apply(SetSizes)->UseRealTime();

void BM_Cutting(benchmark::State& state) {
    for (auto _ : state) {
        Cut cut(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1000);
        benchmark::DoNotOptimize(cut.grid.ownerMap.data());
    }
}
BENCHMARK(BM_Cutting)->Apply(SetSizes);

void BM_AtlasLiteral(benchmark::State& state) {
    const Cut cut(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1000);
    std::vector<uint32_t> atlas(static_cast<size_t>(cut.grid.atlasSize) * cut.grid.atlasSize);
    for (auto _ : state) {
        ComposeAtlasLiteral(cut.View(), RgbView{cut.rgb.data(), cut.width}, cut.grid.atlasSize, atlas.data());
    }
}
BENCHMARK(BM_AtlasLiteral)->Apply(SetSizes);

// threads: 1 shows the gain of the interior test alone, 2 adds the second core. CPU time is the
// whole process's, so the two rows compare the work as well as the wall time. Bands of 4 MB, as
// the game composes them.
void BM_AtlasFast(benchmark::State& state) {
    const Cut cut(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1000);
    const int side = cut.grid.atlasSize;
    const int bandRows = std::min(side, (4 << 20) / (side * 4));
    std::vector<uint32_t> band(static_cast<size_t>(bandRows) * side);
    for (auto _ : state) {
        CAtlasComposer composer(cut.View(), RgbView{cut.rgb.data(), cut.width}, side, bandRows,
                                static_cast<int>(state.range(2)));
        for (int b = 0; b < composer.Bands(); ++b) {
            composer.ComposeBand(b, band.data(), side);
        }
    }
}
BENCHMARK(BM_AtlasFast)
    ->Args({1600, 1200, 1})
    ->Args({1600, 1200, 2})
    ->Args({4000, 3000, 1})
    ->Args({4000, 3000, 2})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_CreateResources(benchmark::State& state) {
    const std::string file = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    layer::SetBeepSink([](DWORD, DWORD) {});
    layer::SetHelperFolder(PUZZLE_BIN_DIR);
    for (auto _ : state) {
        CRecordingDevice* device = new CRecordingDevice();
        CGame* game = new CGame(nullptr, device);
        game->SetStartRequest(StartRequest{1, file, 1000});
        game->CreateResources();
        state.PauseTiming();
        game->DeleteResources();
        delete game;
        device->Release();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateResources)->Apply(SetSizes)->MeasureProcessCPUTime()->UseRealTime();

} // namespace

BENCHMARK_MAIN();
