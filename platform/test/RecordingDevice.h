// Test doubles of the Direct3D 9 and D3DX font interfaces. Link the library platform_test
// instead of platform_d3d9 and platform_d3dx_font: Direct3DCreate9 then returns a
// CRecordingDirect3D, its devices are CRecordingDevice, and D3DXCreateFontIndirect makes a font
// that records its calls into its device's log. Everything lives in memory; no window is needed.
// (platform_test_device holds the device classes alone, without Direct3DCreate9 and the font,
// for tests of the real font or beside the OpenGL device.)
//
// A device records every call in order. Each draw keeps a snapshot of the state it was drawn
// with (stage-0 texture and states, sampler-0 filters and addressing, FVF, render states, render
// target) and a copy of its vertices read as 28-byte screen vertices. Reference counts, loss and
// reset and lock checks are Direct3D's, shared with the OpenGL device (platform/d3d9rules); every
// font also holds one reference to its device while it lives.
#pragma once

#include "platform/D3DX9.h"
#include "platform/d3d9rules/Counted.h"
#include "platform/d3d9rules/Checks.h"
#include "platform/d3d9rules/Loss.h"
#include "platform/d3d9rules/Vertex.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class CallKind {
    TestCooperativeLevel,
    Reset,
    Present,
    SetGammaRamp,
    CreateTexture,
    CreateVertexBuffer,
    SetRenderTarget,
    GetRenderTarget,
    BeginScene,
    EndScene,
    Clear,
    SetRenderState,
    SetTexture,
    SetTextureStageState,
    SetSamplerState,
    SetFVF,
    SetStreamSource,
    DrawPrimitive,
    DrawPrimitiveUP,
    CreateFont, // D3DXCreateFontIndirect on this device: lfHeight, lfWeight, lfCharSet; object is the font
    FontBegin,
    FontDrawText,
    FontEnd,
};

const char* CallKindName(CallKind kind);

// One call as the device received it. args holds the integer arguments in declaration order
// (pointers to objects in `object`); result is what the call returned (D3D_OK for void calls).
struct RecordedCall {
    CallKind kind;
    std::vector<DWORD> args;
    const void* object = nullptr; // texture, surface, buffer or font named by the call
    float z = 0;                  // Clear's z
    HRESULT result = D3D_OK;
    size_t draw = static_cast<size_t>(-1); // index into Draws() for the two draw calls
    size_t text = static_cast<size_t>(-1); // index into Texts() for FontDrawText
};

// "SetTextureStageState(0, 1, 4)": the kind and the integer arguments, for readable comparisons.
// Arguments between -65536 and 65535 read as signed decimals, others (colours) as "0xFF000000".
std::string Describe(const RecordedCall& call);

// The vertex of all screen-space drawing, as the recording device reads it from a draw.
using RecordedVertex = d3d9rules::TransformedVertex;

// The state a draw was made with. Maps hold every state the device tracks, Direct3D's defaults
// included, so a lookup of a state the code never set gives the device's default.
struct DrawState {
    IDirect3DBaseTexture9* texture = nullptr;
    IDirect3DSurface9* renderTarget = nullptr;
    DWORD fvf = 0;
    std::map<DWORD, DWORD> stage;   // D3DTEXTURESTAGESTATETYPE of stage 0 -> value
    std::map<DWORD, DWORD> sampler; // D3DSAMPLERSTATETYPE of sampler 0 -> value
    std::map<DWORD, DWORD> render;  // D3DRENDERSTATETYPE -> value

    DWORD Stage(D3DTEXTURESTAGESTATETYPE type) const { return stage.at(type); }
    DWORD Sampler(D3DSAMPLERSTATETYPE type) const { return sampler.at(type); }
    DWORD Render(D3DRENDERSTATETYPE type) const { return render.at(type); }
};

struct RecordedDraw {
    CallKind kind; // DrawPrimitiveUP or DrawPrimitive
    D3DPRIMITIVETYPE type;
    UINT primitiveCount;
    UINT startVertex; // DrawPrimitive only
    UINT stride;      // the UP stride, or the stream's stride
    DrawState state;
    // The vertices the draw uses (for a strip: primitiveCount + 2, a list: 3 per triangle),
    // read as screen vertices whatever the stride; from the bound vertex buffer for DrawPrimitive.
    std::vector<RecordedVertex> vertices;
};

struct RecordedText {
    ID3DXFont* font;
    LOGFONTA logFont; // the description the font was made from
    std::string text; // the bytes drawn (count applied), in the font's code page
    INT count;
    RECT rect;
    DWORD format;
    D3DCOLOR color;
};

// Failure knobs of one device. Settings take effect from the next call.
struct DeviceKnobs {
    bool failCreateTexture = false;
    UINT maxTextureSize = 0;       // > 0: the device's limit instead of 8192 (larger: D3DERR_INVALIDCALL)
    int failCreateTextureCall = 0; // > 0: the Nth CreateTexture call (counted from 1) fails
    HRESULT createTextureError = D3DERR_OUTOFVIDEOMEMORY;
    bool failLockRect = false; // LockRect of any texture fails with D3DERR_INVALIDCALL
    bool failCreateVertexBuffer = false;
    bool failVertexBufferLock = false;
    bool failClear = false;
    bool failBeginScene = false;
    bool failReset = false; // Reset fails with D3DERR_INVALIDCALL even when allowed
    // While lost, this many TestCooperativeLevel calls report D3DERR_DEVICELOST before the
    // device reports D3DERR_DEVICENOTRESET.
    int lostTestsBeforeNotReset = 1;
    // > 0: the Nth Present call (counted from 1) loses the device and reports D3DERR_DEVICELOST.
    int loseDeviceAtPresent = 0;
};

class CRecordingTexture;
class CRecordingVertexBuffer;
class CRecordingSurface;
class CRecordingDirect3D;

class CRecordingDevice : public d3d9rules::CCounted<IDirect3DDevice9> {
  public:
    // Made with new; the device deletes itself when Release brings its count to 0. The count
    // starts at 1. The presentation parameters give the back buffer's size.
    explicit CRecordingDevice(const D3DPRESENT_PARAMETERS* parameters = nullptr,
                              IDirect3D9* direct3d = nullptr);

    DeviceKnobs knobs;

    // Loses the device: Present reports D3DERR_DEVICELOST, TestCooperativeLevel reports lost, then
    // not-reset (see knobs), and Reset restores it unless default-pool resources remain.
    void LoseDevice();

    const std::vector<RecordedCall>& Calls() const { return m_calls; }
    const std::vector<RecordedDraw>& Draws() const { return m_draws; }
    const std::vector<RecordedText>& Texts() const { return m_texts; }
    // The calls of one kind, in order.
    std::vector<RecordedCall> CallsOf(CallKind kind) const;
    // Describe() of every call, in order.
    std::vector<std::string> CallLog() const;
    // Forgets the calls, draws and texts recorded so far; state, resources and knobs stay.
    void ClearRecording();

    int LiveTextures() const { return m_liveTextures; }
    int LiveVertexBuffers() const { return m_liveBuffers; }
    int LiveDefaultPoolResources() const { return m_loss.DefaultPoolResources(); }
    const D3DPRESENT_PARAMETERS& Parameters() const { return m_parameters; }
    // The last ramp and flags SetGammaRamp was given, the number of calls, and every ramp in order.
    const D3DGAMMARAMP& GammaRamp() const { return m_gammaRamps.empty() ? m_noRamp : m_gammaRamps.back(); }
    DWORD GammaRampFlags() const { return m_gammaFlags; }
    int GammaRampCalls() const { return static_cast<int>(m_gammaRamps.size()); }
    const std::vector<D3DGAMMARAMP>& GammaRamps() const { return m_gammaRamps; }
    IDirect3DSurface9* BackBuffer() const;
    IDirect3DSurface9* CurrentRenderTarget() const { return m_renderTarget; }
    // The current value of a state, defaults included.
    DWORD RenderState(D3DRENDERSTATETYPE type) const { return m_render.at(type); }

    // IDirect3DDevice9
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

    // Used by the recording font and the resources; not for tests. For CreateFont, text carries
    // only the LOGFONT.
    UINT MaxTextureSize() const { return knobs.maxTextureSize > 0 ? knobs.maxTextureSize : 8192; }
    void RecordFontCall(CallKind kind, ID3DXFont* font, const RecordedText* text, HRESULT result);
    void ResourceCreated(D3DRESOURCETYPE type, D3DPOOL pool);
    void ResourceDestroyed(D3DRESOURCETYPE type, D3DPOOL pool, const void* resource);

  protected:
    ~CRecordingDevice() override;

  private:
    RecordedCall& Record(CallKind kind, std::vector<DWORD> args, const void* object = nullptr,
                         HRESULT result = D3D_OK);
    void ResetStates();
    DrawState Snapshot() const;

    IDirect3D9* m_direct3d;
    D3DPRESENT_PARAMETERS m_parameters{};
    std::vector<RecordedCall> m_calls;
    std::vector<RecordedDraw> m_draws;
    std::vector<RecordedText> m_texts;
    d3d9rules::CLossState m_loss;
    bool m_inScene = false;
    int m_createTextureCalls = 0;
    int m_presentCalls = 0;
    int m_liveTextures = 0;
    int m_liveBuffers = 0;
    std::vector<D3DGAMMARAMP> m_gammaRamps;
    DWORD m_gammaFlags = 0;
    D3DGAMMARAMP m_noRamp{};
    CRecordingSurface* m_backBuffer;
    IDirect3DSurface9* m_renderTarget;
    IDirect3DBaseTexture9* m_texture = nullptr;
    CRecordingVertexBuffer* m_stream = nullptr;
    UINT m_streamOffset = 0;
    UINT m_streamStride = 0;
    DWORD m_fvf = 0;
    std::map<DWORD, DWORD> m_stage, m_sampler, m_render;

    friend class CRecordingSurface;
};

// A texture of the recording device: every level is real memory, 4 bytes a texel (whatever the
// format), and keeps its content between locks. Levels 0 means the full chain down to 1 x 1.
class CRecordingTexture : public d3d9rules::CDeviceChild<IDirect3DTexture9, CRecordingDevice> {
  public:
    CRecordingTexture(CRecordingDevice* device, UINT width, UINT height, UINT levels, DWORD usage,
                      D3DFORMAT format, D3DPOOL pool);

    UINT Width(UINT level = 0) const;
    UINT Height(UINT level = 0) const;
    DWORD Usage() const { return m_usage; }
    D3DFORMAT Format() const { return m_format; }
    D3DPOOL Pool() const { return m_pool; }
    bool IsLocked(UINT level = 0) const { return m_locked.at(level); }
    // Texel (x, y) of a level as 0xAARRGGBB; std::out_of_range outside the level.
    DWORD Texel(UINT x, UINT y, UINT level = 0) const;
    // The level's bytes, rows Width * 4 bytes apart.
    const std::vector<BYTE>& Bits(UINT level = 0) const { return m_bits.at(level); }

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(m_bits.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

  protected:
    ~CRecordingTexture() override;

  private:
    UINT m_width, m_height;
    DWORD m_usage;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    std::vector<std::vector<BYTE>> m_bits;
    std::vector<bool> m_locked;
    std::vector<CRecordingSurface*> m_surfaces;
};

class CRecordingVertexBuffer : public d3d9rules::CDeviceChild<IDirect3DVertexBuffer9, CRecordingDevice> {
  public:
    CRecordingVertexBuffer(CRecordingDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    const std::vector<BYTE>& Bytes() const { return m_bytes; }
    bool IsLocked() const { return m_locks.Locked(); }
    D3DPOOL Pool() const { return m_pool; }

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;

  protected:
    ~CRecordingVertexBuffer() override;

  private:
    std::vector<BYTE> m_bytes;
    DWORD m_usage;
    DWORD m_fvf;
    D3DPOOL m_pool;
    d3d9rules::CBufferLocks m_locks;
};

// A surface: the back buffer of a device (no texture), or one level of a texture.
class CRecordingSurface : public d3d9rules::CSurfaceRefs<CRecordingDevice, CRecordingTexture> {
  public:
    CRecordingSurface(CRecordingDevice* device, CRecordingTexture* texture, UINT level, UINT width,
                      UINT height);

    CRecordingTexture* Texture() const { return Container(); }
    UINT Level() const { return m_level; }

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;

  private:
    friend class CRecordingDevice;
    friend class CRecordingTexture;
    ~CRecordingSurface() override = default;

    UINT m_level;
    UINT m_width, m_height;
};

// One CreateDevice call as CRecordingDirect3D received it.
struct DeviceRequest {
    UINT adapter;
    D3DDEVTYPE type;
    HWND focusWindow;
    DWORD behaviorFlags;
    D3DPRESENT_PARAMETERS parameters;
    HRESULT result;
};

class CRecordingDirect3D : public d3d9rules::CCounted<IDirect3D9> {
  public:
    CRecordingDirect3D() = default;

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

  protected:
    ~CRecordingDirect3D() override;
};

// Process-wide settings of the doubles, read when an object is made.
struct RecordingSettings {
    bool direct3DUnavailable = false;            // Direct3DCreate9 returns null
    bool refuseHardwareVertexProcessing = false; // CreateDevice with that flag fails
    bool refuseDevices = false;                  // every CreateDevice fails
    HRESULT createDeviceError = D3DERR_NOTAVAILABLE;
    D3DDISPLAYMODE displayMode{1280, 1024, 60, D3DFMT_X8R8G8B8};
    DeviceKnobs deviceKnobs;                                // copied into every device CreateDevice makes
    std::function<void(CRecordingDevice&)> onDeviceCreated; // called with every such device
    bool failFontCreation = false;                          // D3DXCreateFontIndirect fails (a missing font)
    HRESULT fontCreationError = E_FAIL;
};

extern RecordingSettings g_recordingSettings;
// Every CreateDevice call of every CRecordingDirect3D, in order.
extern std::vector<DeviceRequest> g_deviceRequests;
// The device most recently made by a CRecordingDirect3D (null once it is destroyed).
extern CRecordingDevice* g_pLastRecordingDevice;
// The object most recently returned by Direct3DCreate9 (null once it is destroyed).
extern CRecordingDirect3D* g_pLastRecordingDirect3D;

// Restores the default settings and forgets the device requests.
void ResetRecording();
