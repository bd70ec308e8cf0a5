// Frame, pick and drop times of the game screen on boards cut from a 4800 x 4800 area: 10000
// requested pieces (the largest board such a request gives) and 1000. The frame is what the
// application does each frame: Update, clear, begin, Render, end, Present, on the OpenGL device
// with the view the game starts with. Run under Xvfb; D3D9_NO_VSYNC=1 is set so that Present
// does not wait for the display, and D3D9_DRAW_EVERY_FRAME=1 so that the unchanged view is drawn
// every frame.
#include "framework/Gfx.h"
#include "game/Game.h"
#include "game/logic/AtlasTexture.h"
#include "game/logic/Cutting.h"
#include "game/logic/Scatter.h"
#include "platform/CRT.h"
#include "platform/Win32.h"
#include "tests/platform/d3d9/WindowedParameters.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>
#include <unistd.h>

namespace {

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// One window, device and set of shared images for the whole run.
struct Display {
    HWND window = nullptr;
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    CGfx gfx;
    bool ok = false;

    Display() {
        setenv("D3D9_NO_VSYNC", "1", 1);
        setenv("D3D9_DRAW_EVERY_FRAME", "1", 1);
        if (chdir(PUZZLE_BIN_DIR) != 0)
            return;
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof wc);
        wc.lpfnWndProc = BenchWindowProc;
        wc.lpszClassName = "PlayBench";
        RegisterClassA(&wc);
        RECT rect = {0, 0, 800, 600};
        const DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
        AdjustWindowRectEx(&rect, style, FALSE, 0);
        window = CreateWindowExA(0, "PlayBench", "PlayBench", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                 rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr,
                                 nullptr);
        direct3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!window || !direct3d)
            return;
        D3DPRESENT_PARAMETERS pp = WindowedParameters(window);
        if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                          D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device)))
            return;
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        try {
            gfx.LoadTextures(device);
            gfx.CreateTextFont();
        } catch (...) {
            return;
        }
        ok = true;
    }
};

Display& TheDisplay() {
    static Display display;
    return display;
}

// A board cut as a new game cuts it (grid, lines, tabs, ownership, scattering), with an atlas
// texture of the right size whose texels are left empty: drawing costs the same.
std::unique_ptr<CGame> MakeBoard(int requested, bool withTexture) {
    Display& d = TheDisplay();
    auto game = std::make_unique<CGame>(d.window, d.device, &d.gfx);
    srand(12345);
    Board& b = game->GetBoard();
    const RandomSource random = [] { return rand(); };
    ComputeGrid(4800, 4800, requested, b);
    PlaceGridLines(b, random);
    ChooseTabSides(b, random);
    BuildOwnerMap(b, random);
    if (withTexture)
        d.device->CreateTexture(UINT(AtlasTextureWidth(b)), UINT(AtlasTextureHeight(b)), 1, 0,
                                D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &game->GetTextures().puzzle, nullptr);
    ScatterPieces(b, random);
    game->GetBar().shownCount = b.pieceCount;
    return game;
}

std::map<int, std::unique_ptr<CGame>>& Boards() {
    static std::map<int, std::unique_ptr<CGame>> boards;
    return boards;
}

CGame* Board(int requested) {
    auto& slot = Boards()[requested];
    if (!slot)
        slot = MakeBoard(requested, TheDisplay().ok);
    return slot.get();
}

// One frame as the application makes it.
void DrawFrame(Display& d, CGame* game, uint32_t now) {
    game->Update(now, 16);
    d.device->Clear(0, nullptr, D3DCLEAR_TARGET, game->GetClearColor(), 1.0f, 0);
    d.device->BeginScene();
    game->Render();
    d.device->EndScene();
    d.device->Present(nullptr, nullptr, nullptr, nullptr);
}

void BM_Frame(benchmark::State& state) {
    Display& d = TheDisplay();
    if (!d.ok) {
        state.SkipWithError("no OpenGL device (run under xvfb-run)");
        return;
    }
    CGame* game = Board(static_cast<int>(state.range(0)));
    game->SetCursor(400, 300);
    uint32_t now = 1000;
    // The first frames upload the atlas (up to 8192 x 8192 texels): not part of a frame's cost.
    for (int i = 0; i < 3; ++i)
        DrawFrame(d, game, now += 16);
    for (auto _ : state)
        DrawFrame(d, game, now += 16);
    state.counters["pieces"] = static_cast<double>(game->GetBoard().pieceCount);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Frame)->Arg(10000)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The frame of the 10000-piece board with its pieces taken away: desk, bar and cursor only, to
// tell the pieces' share of the frame from the rest.
void BM_FrameWithoutPieces(benchmark::State& state) {
    Display& d = TheDisplay();
    if (!d.ok) {
        state.SkipWithError("no OpenGL device (run under xvfb-run)");
        return;
    }
    CGame* game = Board(10000);
    std::vector<BoardPiece> kept;
    kept.swap(game->GetBoard().pieces);
    uint32_t now = 1000;
    for (auto _ : state)
        DrawFrame(d, game, now += 16);
    kept.swap(game->GetBoard().pieces);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameWithoutPieces)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frame with nothing drawn but the clear: what the device and the display cost alone.
void BM_EmptyFrame(benchmark::State& state) {
    Display& d = TheDisplay();
    if (!d.ok) {
        state.SkipWithError("no OpenGL device (run under xvfb-run)");
        return;
    }
    for (auto _ : state) {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        d.device->BeginScene();
        d.device->EndScene();
        d.device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// A press on the desk where no piece lies: every piece is tested.
void BM_PickMiss(benchmark::State& state) {
    CGame* game = Board(10000);
    game->GetView().scrollX = game->GetBoard().boardWidth - 800;
    game->GetView().scrollY = game->GetBoard().boardHeight - 600;
    // The far corner of the board, away from every piece's own pixels.
    for (auto _ : state) {
        game->OnMouseDown(799, 1, 0);
        game->OnMouseUp(799, 1, 0);
        benchmark::DoNotOptimize(game->GetView().dragging);
    }
    game->GetView().dragging = false;
    state.counters["pieces"] = static_cast<double>(game->GetBoard().pieces.size());
}
BENCHMARK(BM_PickMiss)->Unit(benchmark::kMicrosecond);

// A press on the bottom piece's centre: every piece above it is tested, then it is moved to the
// top of the stack; a release then drops it where it lies (a full snap search).
void BM_PickAndDrop(benchmark::State& state) {
    CGame* game = Board(10000);
    for (auto _ : state) {
        state.PauseTiming();
        const BoardPiece& bottom = game->GetBoard().pieces.front();
        const int c = bottom.number % game->GetBoard().columns;
        const int r = bottom.number / game->GetBoard().columns;
        game->GetView().scrollX = bottom.x + game->GetBoard().columnWidth(c) / 2 - 400;
        game->GetView().scrollY = bottom.y + game->GetBoard().rowHeight(r) / 2 - 300;
        state.ResumeTiming();
        game->OnMouseDown(400, 300, 0);
        game->OnMouseUp(400, 300, 0);
    }
    state.counters["pieces"] = static_cast<double>(game->GetBoard().pieces.size());
}
BENCHMARK(BM_PickAndDrop)->Unit(benchmark::kMicrosecond);

// The drop alone: the snap search over every other piece.
void BM_Drop(benchmark::State& state) {
    CGame* game = Board(10000);
    for (auto _ : state) {
        game->GetView().dragging = true;
        game->OnMouseUp(400, 300, 0);
    }
    state.counters["pieces"] = static_cast<double>(game->GetBoard().pieces.size());
}
BENCHMARK(BM_Drop)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    for (auto& [count, game] : Boards()) {
        game->DeleteResources();
        game.reset();
    }
    Display& d = TheDisplay();
    d.gfx.ReleaseTextFont();
    d.gfx.ReleaseTextures();
    if (d.device)
        d.device->Release();
    if (d.direct3d)
        d.direct3d->Release();
    benchmark::Shutdown();
    return 0;
}
