// The classes behind the Direct3D 9 interfaces on Linux. Only the d3d9 sources include this.
//
// Reference counts follow platform/d3d9rules/Counted.h. The device holds a reference to the
// render target it draws into, as Direct3D does; the bound texture and stream source are not
// counted: when such an object is destroyed it tells the device, which forgets it.
#pragma once

#include "platform/Direct3D9.h"
#include "platform/d3d9rules/Counted.h"
#include "platform/d3d9rules/Checks.h"
#include "platform/d3d9rules/Loss.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace layer {
// Set by the SetDrawMerging hook; overrides D3D9_NO_MERGE.
extern std::optional<bool> g_drawMerging;
} // namespace layer

namespace layer::d3d9 {

class CDevice;
class CTexture;

// Reads an environment variable as a non-negative number; fallback when unset or not a number.
long EnvNumber(const char* name, long fallback);
bool EnvFlag(const char* name);

// The only vertex the device draws: x, y, z, rhw, ARGB diffuse, u, v.
constexpr size_t kVertexSize = 28;
// Compiles and links a program; 0 (after a message on stderr) when it does not compile.
GLuint CompileProgram(const char* vertexSource, const char* fragmentSource);
GLuint MakeGammaProgram();

class CDirect3D final : public d3d9rules::CCounted<IDirect3D9> {
  public:
    CDirect3D();
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

    // The largest texture side OpenGL allows. Uses the current context; without one a hidden
    // window lends one for the question.
    UINT GlMaxTextureSize();
    // The same, lowered by D3D9_MAX_TEXTURE_SIZE.
    UINT MaxTextureSize();

  private:
    ~CDirect3D() override;
    UINT m_maxTextureSize = 0;
};

// A surface is either level 0 of a texture or the device's back buffer.
class CSurface final : public d3d9rules::CSurfaceRefs<CDevice, CTexture> {
  public:
    using CSurfaceRefs::CSurfaceRefs;
    ~CSurface() override = default;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
};

class CTexture final : public d3d9rules::CDeviceChild<IDirect3DTexture9, CDevice> {
  public:
    CTexture(CDevice* device, UINT width, UINT height, DWORD usage, D3DPOOL pool);
    // Makes the OpenGL objects; a failing result leaves the texture to be released.
    HRESULT Create();

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    GLuint Name() const { return m_texture; }
    GLuint Framebuffer() const { return m_framebuffer; }
    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }
    D3DPOOL Pool() const { return m_pool; }
    bool IsRenderTarget() const { return (m_usage & D3DUSAGE_RENDERTARGET) != 0; }
    void Describe(D3DSURFACE_DESC* desc) const;
    // Changes whenever the texels may have changed; never the same for two textures.
    uint64_t Version() const { return m_version; }
    void Touch();

  private:
    ~CTexture() override;

    UINT m_width, m_height;
    DWORD m_usage;
    D3DPOOL m_pool;
    GLuint m_texture = 0;
    GLuint m_framebuffer = 0;
    CSurface m_surface;
    // The locked rectangle while it is locked, rows of 4 * its width bytes; empty otherwise.
    std::unique_ptr<uint8_t[]> m_staging;
    RECT m_lockedArea{};
    bool m_locked = false;
    bool m_lockReadOnly = false;
    uint64_t m_version = 0;
};

class CVertexBuffer final : public d3d9rules::CDeviceChild<IDirect3DVertexBuffer9, CDevice> {
  public:
    CVertexBuffer(CDevice* device, UINT length);
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;

    const std::vector<uint8_t>& Data() const { return m_data; }
    bool Locked() const { return m_locks.Locked(); }

  private:
    ~CVertexBuffer() override;
    // Managed pool: the vertices live in memory and are streamed with each draw, which is how
    // the device feeds OpenGL anyway (draws are batched in memory before they are sent).
    std::vector<uint8_t> m_data;
    d3d9rules::CBufferLocks m_locks;
};

// Everything that decides how a triangle is drawn; draws are merged while it stays the same.
struct DrawState {
    CTexture* texture = nullptr;
    DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
    DWORD minFilter = D3DTEXF_POINT, magFilter = D3DTEXF_POINT;
    DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
    bool operator==(const DrawState&) const = default;
};

class CDevice final : public d3d9rules::CCounted<IDirect3DDevice9> {
  public:
    CDevice(CDirect3D* direct3d, SDL_Window* window, const D3DPRESENT_PARAMETERS& parameters);
    // Makes the context and the OpenGL objects; a failing result leaves the device to be released.
    HRESULT Create();

    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** direct3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                    const void* dirtyRegion) override;
    void SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** vertexBuffer, HANDLE* sharedHandle) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT vertexStride) override;

    // Called by resources.
    void MakeCurrent();
    void Flush();
    // Something bound OpenGL objects behind the device's back: the next draw binds everything anew.
    void GlStateTouched() {
        m_applied.reset();
        m_appliedFramebuffer = ~0u;
    }
    UINT MaxTextureSize() const { return m_maxTextureSize; }
    void ForgetTexture(CTexture* texture);
    void ForgetVertexBuffer(CVertexBuffer* buffer);
    d3d9rules::CLossState& Loss() { return m_loss; }
    UINT BackBufferWidth() const { return m_backBufferWidth; }
    UINT BackBufferHeight() const { return m_backBufferHeight; }
    bool Windowed() const { return m_parameters.Windowed != FALSE; }
    const D3DPRESENT_PARAMETERS& Parameters() const { return m_parameters; }

    // Test hooks.
    void ForceLoss(int lostPolls);
    std::vector<DWORD> ReadTarget(UINT* width, UINT* height);
    std::vector<DWORD> ReadPresented(UINT* width, UINT* height);
    unsigned long long DrawCalls() const { return m_drawCalls; }
    // Frames put into the window (copied and swapped) since the device was created.
    unsigned long WindowPresents() const { return m_windowPresents; }
    // Everything recorded for the frame reaches OpenGL now, and the rest of the frame is drawn as
    // it comes; called before anything that reads or changes what recorded draws depend on.
    void Submit();
    uint64_t NextTextureVersion() { return ++m_textureVersions; }

  private:
    ~CDevice() override;

    HRESULT ApplyParameters(D3DPRESENT_PARAMETERS& parameters);
    void ResetStates();
    bool WindowAway();
    void Lose(int lostPolls);
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, UINT stride);
    template <class T> void SetState(T& field, T value) {
        if (field == value)
            return;
        Flush();
        field = value;
    }
    // False when the state's program cannot be made; the batch is then dropped.
    bool ApplyDrawState(const DrawState& state);
    void ExecuteBatch(const DrawState& state, const uint8_t* vertices, size_t bytes);
    void ExecuteClear(const std::vector<D3DRECT>& rects, D3DCOLOR color);
    void ExecuteRecorded();
    bool FrameRepeatsLast() const;
    void BindTarget();
    void GammaPass();
    void DumpFrame();
    void PaceFrame();
    static int WatchWindow(void* device, SDL_Event* event);
    std::vector<DWORD> ReadFramebuffer(GLuint framebuffer, UINT width, UINT height);

    CDirect3D* m_direct3d;
    SDL_Window* m_window;
    SDL_GLContext m_context = nullptr;
    D3DPRESENT_PARAMETERS m_parameters;
    UINT m_backBufferWidth = 0, m_backBufferHeight = 0;
    CSurface m_backBufferSurface;
    bool m_mergeFromEnvironment = true;
    bool m_madeFullScreen = false;
    UINT m_maxTextureSize = 0;

    // Loss.
    d3d9rules::CLossState m_loss;
    bool m_focusSeen = false;
    long m_loseAtFrame = 0;
    unsigned long m_presentCount = 0;
    bool m_presentedOnce = false;

    // Presentation interval: immediate, or paced to the display's refresh by PaceFrame.
    bool m_immediate = false;
    std::chrono::nanoseconds m_framePeriod{16666667};
    std::chrono::steady_clock::time_point m_nextFrame{};

    // Recorded state; the OpenGL state follows it when a batch is drawn.
    DrawState m_state;
    CTexture* m_renderTarget = nullptr; // null: the back buffer; counted
    DWORD m_fvf = 0;
    CVertexBuffer* m_stream = nullptr;
    UINT m_streamOffset = 0, m_streamStride = 0;
    bool m_inScene = false;
    D3DGAMMARAMP m_gamma{};
    bool m_gammaChanged = true;
    bool m_gammaIdentity = true;
    // What the last Present showed: the gamma pass's output, or the back buffer itself when the
    // ramp is the identity and the pass was skipped.
    GLuint m_shownFramebuffer = 0;
    // A frame that repeats the last one, while the window still shows that one, is not put into
    // the window again. Anything that may have changed what the window shows makes it stale: an
    // exposure, a size or state change of the window (from SDL's event watch, which may run on
    // another thread), a new gamma ramp, a drawable of another size.
    std::atomic<bool> m_windowStale{true};
    int m_shownDrawableWidth = 0, m_shownDrawableHeight = 0;
    unsigned long m_windowPresents = 0;

    // A frame drawn into the back buffer is recorded and sent to OpenGL when it is presented.
    // When it repeats the frame before it exactly (same clears, states, texture contents and
    // vertices), the back buffer still holds that frame and nothing is drawn: a game that redraws
    // an unchanged scene every refresh costs next to nothing.
    struct FrameCommand {
        bool clear = false;
        DrawState state;             // draws
        uint64_t textureVersion = 0; // draws: the texture's version when recorded
        size_t first = 0, bytes = 0; // draws: the vertices in the frame's vertex store
        D3DCOLOR color = 0;          // clears
        std::vector<D3DRECT> rects;  // clears; empty for the whole target
    };
    bool m_recording = true;
    std::vector<FrameCommand> m_frame, m_lastFrame;
    std::vector<uint8_t> m_frameVertices, m_lastFrameVertices;
    bool m_lastFrameValid = false;
    bool m_reuseFrames = true;
    uint64_t m_textureVersions = 0;

    // Vertices of the pending batch (28-byte records, triangle list) and what OpenGL holds.
    std::vector<uint8_t> m_batch;
    std::optional<DrawState> m_applied;
    GLuint m_appliedFramebuffer = ~0u;
    unsigned long long m_drawCalls = 0;

    // OpenGL objects.
    // One draw program for each texture-stage combination met, keyed by its fragment source;
    // each remembers the target size its uniform holds.
    struct DrawProgram {
        GLuint name = 0;
        GLint uTargetSize = -1;
        float targetWidth = 0, targetHeight = 0;
    };
    DrawProgram* DrawProgramFor(const DrawState& state);
    std::map<std::string, DrawProgram> m_drawPrograms;
    DrawProgram* m_appliedProgram = nullptr;
    float m_targetWidth = 0, m_targetHeight = 0;
    GLuint m_gammaProgram = 0;
    GLuint m_vertexArray = 0, m_vertexBuffer = 0, m_emptyVertexArray = 0;
    GLsizeiptr m_vertexBufferSize = 0;
    GLuint m_sampler = 0;
    GLuint m_backBuffer = 0, m_backBufferFramebuffer = 0;
    GLuint m_presented = 0, m_presentedFramebuffer = 0;
    GLuint m_gammaTable = 0;

    // Frame dump.
    bool m_dump = false;
    std::string m_dumpPrefix, m_dumpConversion, m_dumpSuffix;
    std::string m_dumpFrames;
};

// Writes an 8-bit RGB PNG; pixels are D3DCOLOR values, top row first.
bool WritePng(const std::string& path, UINT width, UINT height, const std::vector<DWORD>& pixels);

// Splits a file-name pattern with exactly one integer conversion (%d, %04d, ...; "%%" for a
// percent sign) into the text before, the conversion and the text after. False for any other
// pattern, which is never handed to printf.
bool SplitFramePattern(const std::string& pattern, std::string& prefix, std::string& conversion,
                       std::string& suffix);

// Whether frame n (from 1) is one that D3D9_DUMP_FRAMES selects: "all", "every:N" (N, 2N, ...)
// or a comma-separated list of frame numbers.
bool FrameSelected(const std::string& frames, unsigned long n);

} // namespace layer::d3d9
