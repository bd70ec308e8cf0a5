// Frames per second of the OpenGL device for a board of 10,000 piece quads spread over the
// 800 x 600 frame, all from one 2048 x 2048 atlas, each drawn as the game draws a piece:
// SetTexture, the game's 7 texture-stage states, two sampler states, SetFVF and one
// DrawPrimitiveUP of a 4-vertex strip. Arguments: merge (1 merges same-state draws, 0 sends each
// alone) and side, the piece's size in pixels: 50, or 10 (what 10,000 pieces of an 800 x 600
// picture measure, tabs included). With software OpenGL the large pieces cost mostly filling
// 25 million blended pixels a frame, which merging cannot change; the small ones show the cost
// of the calls themselves.
#include "framework/Gfx.h"
#include "platform/linux/Hooks.h"
#include "tests/platform/d3d9/WindowedParameters.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kPieces = 10000;
constexpr UINT kAtlas = 2048;

struct Board {
    SDL_Window* window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* atlas = nullptr;
    struct Quad {
        ScreenVertex corners[4];
    };
    std::vector<Quad> quads; // one per piece
    int side = -1;

    bool Open() {
        setenv("D3D9_NO_VSYNC", "1", 1);
        setenv("D3D9_DRAW_EVERY_FRAME", "1", 1);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        window = SDL_CreateWindow("d3d9 bench", 0, 0, 800, 600, SDL_WINDOW_OPENGL);
        d3d = window ? Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
        if (!d3d)
            return false;
        D3DPRESENT_PARAMETERS p = WindowedParameters(reinterpret_cast<HWND>(window));
        if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(window),
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device)))
            return false;
        if (FAILED(device->CreateTexture(kAtlas, kAtlas, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &atlas,
                                         nullptr)))
            return false;
        D3DLOCKED_RECT locked{};
        atlas->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD);
        for (UINT y = 0; y < kAtlas; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < kAtlas; ++x) {
                bool inside = (x % 64) >= 7 && (x % 64) < 57 && (y % 64) >= 7 && (y % 64) < 57;
                row[x] = inside ? D3DCOLOR_ARGB(255, x & 255, y & 255, (x ^ y) & 255) : 0;
            }
        }
        atlas->UnlockRect(0);

        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        return true;
    }

    // The pieces' quads: the piece's square plus a margin of 7/50 of its side for the tabs.
    void Lay(int pieceSide) {
        if (side == pieceSide)
            return;
        side = pieceSide;
        quads.clear();
        float s = float(side), m = s * 7 / 50;
        unsigned seed = 12345;
        auto next = [&seed](unsigned range) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) % range;
        };
        for (int i = 0; i < kPieces; ++i) {
            float x = float(next(800 - side)), y = float(next(600 - side));
            float u = float(i % 32) * 64 / kAtlas, v = float(i / 32 % 32) * 64 / kAtlas;
            float du = 64.0f / kAtlas;
            MakeQuad(quads.emplace_back().corners, x - m, y - m, x + s + m, y + s + m, 0xFFFFFFFF, u, v,
                     u + du, v + du);
        }
    }

    void Frame() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1, 0);
        device->BeginScene();
        for (int i = 0; i < kPieces; ++i) {
            SetModulateStage(device, atlas);
            DrawQuad(device, quads[size_t(i)].corners);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
};

Board* g_board = nullptr;

void BM_TenThousandPieces(benchmark::State& state) {
    if (!g_board) {
        g_board = new Board;
        if (!g_board->Open()) {
            state.SkipWithError("no OpenGL 3.3 device (run under xvfb-run)");
            return;
        }
    }
    layer::SetDrawMerging(state.range(0) != 0);
    g_board->Lay(int(state.range(1)));
    g_board->Frame(); // the first frame of a configuration also compiles the driver's shader variants
    for (auto _ : state)
        g_board->Frame();
    layer::SetDrawMerging(true);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TenThousandPieces)
    ->ArgsProduct({{1, 0}, {50, 10, 0}})
    ->ArgNames({"merge", "side"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
