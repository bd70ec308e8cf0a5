#include "platform/test/RecordingDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <stdexcept>

RecordingSettings g_recordingSettings;
std::vector<DeviceRequest> g_deviceRequests;
CRecordingDevice* g_pLastRecordingDevice = nullptr;
CRecordingDirect3D* g_pLastRecordingDirect3D = nullptr;

void ResetRecording() {
    g_recordingSettings = RecordingSettings{};
    g_deviceRequests.clear();
}

const char* CallKindName(CallKind kind) {
    static const char* const names[] = {"TestCooperativeLevel",
                                        "Reset",
                                        "Present",
                                        "SetGammaRamp",
                                        "CreateTexture",
                                        "CreateVertexBuffer",
                                        "SetRenderTarget",
                                        "GetRenderTarget",
                                        "BeginScene",
                                        "EndScene",
                                        "Clear",
                                        "SetRenderState",
                                        "SetTexture",
                                        "SetTextureStageState",
                                        "SetSamplerState",
                                        "SetFVF",
                                        "SetStreamSource",
                                        "DrawPrimitive",
                                        "DrawPrimitiveUP",
                                        "CreateFont",
                                        "FontBegin",
                                        "FontDrawText",
                                        "FontEnd"};
    size_t index = static_cast<size_t>(kind);
    return index < std::size(names) ? names[index] : "?";
}

std::string Describe(const RecordedCall& call) {
    std::string s = CallKindName(call.kind);
    s += '(';
    for (size_t i = 0; i < call.args.size(); ++i) {
        if (i > 0)
            s += ", ";
        LONG value = static_cast<LONG>(call.args[i]);
        if (value >= -65536 && value < 65536) {
            s += std::to_string(value);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(call.args[i]));
            s += hex;
        }
    }
    s += ')';
    return s;
}

namespace {

UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives > 0 ? primitives + 1 : 0;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitives > 0 ? primitives + 2 : 0;
    }
    return 0;
}

void CopyVertices(const BYTE* data, UINT count, UINT stride, std::vector<RecordedVertex>& out) {
    for (UINT i = 0; i < count; ++i) {
        RecordedVertex v{};
        std::memcpy(&v, data + static_cast<size_t>(i) * stride, std::min<size_t>(stride, sizeof v));
        out.push_back(v);
    }
}

} // namespace

// ---- device ----

CRecordingDevice::CRecordingDevice(const D3DPRESENT_PARAMETERS* parameters, IDirect3D9* direct3d)
    : m_direct3d(direct3d) {
    if (parameters)
        m_parameters = *parameters;
    if (m_parameters.BackBufferWidth == 0)
        m_parameters.BackBufferWidth = 800;
    if (m_parameters.BackBufferHeight == 0)
        m_parameters.BackBufferHeight = 600;
    if (m_direct3d)
        m_direct3d->AddRef();
    m_backBuffer =
        new CRecordingSurface(this, nullptr, 0, m_parameters.BackBufferWidth, m_parameters.BackBufferHeight);
    m_renderTarget = m_backBuffer;
    ResetStates();
}

CRecordingDevice::~CRecordingDevice() {
    if (g_pLastRecordingDevice == this)
        g_pLastRecordingDevice = nullptr;
    delete m_backBuffer;
    if (m_direct3d)
        m_direct3d->Release();
}

void CRecordingDevice::ResetStates() {
    m_stage = {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE},
               {D3DTSS_COLORARG2, D3DTA_CURRENT}, {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
               {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_CURRENT},
               {D3DTSS_TEXCOORDINDEX, 0}};
    m_sampler = {{D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
                 {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
                 {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
                 {D3DSAMP_MINFILTER, D3DTEXF_POINT},
                 {D3DSAMP_MIPFILTER, D3DTEXF_NONE}};
    m_render = {{D3DRS_ZENABLE, m_parameters.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE},
                {D3DRS_FILLMODE, 3},
                {D3DRS_SHADEMODE, 2},
                {D3DRS_ZWRITEENABLE, TRUE},
                {D3DRS_ALPHATESTENABLE, FALSE},
                {D3DRS_SRCBLEND, D3DBLEND_ONE},
                {D3DRS_DESTBLEND, D3DBLEND_ZERO},
                {D3DRS_CULLMODE, D3DCULL_CCW},
                {D3DRS_ZFUNC, 4},
                {D3DRS_DITHERENABLE, FALSE},
                {D3DRS_ALPHABLENDENABLE, FALSE},
                {D3DRS_FOGENABLE, FALSE},
                {D3DRS_SPECULARENABLE, FALSE},
                {D3DRS_LIGHTING, TRUE}};
    m_fvf = 0;
    m_texture = nullptr;
    m_stream = nullptr;
    m_streamOffset = m_streamStride = 0;
}

RecordedCall& CRecordingDevice::Record(CallKind kind, std::vector<DWORD> args, const void* object,
                                       HRESULT result) {
    RecordedCall call;
    call.kind = kind;
    call.args = std::move(args);
    call.object = object;
    call.result = result;
    m_calls.push_back(std::move(call));
    return m_calls.back();
}

std::vector<RecordedCall> CRecordingDevice::CallsOf(CallKind kind) const {
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : m_calls)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

std::vector<std::string> CRecordingDevice::CallLog() const {
    std::vector<std::string> out;
    for (const RecordedCall& c : m_calls)
        out.push_back(Describe(c));
    return out;
}

void CRecordingDevice::ClearRecording() {
    m_calls.clear();
    m_draws.clear();
    m_texts.clear();
}

void CRecordingDevice::LoseDevice() {
    m_loss.Lose(knobs.lostTestsBeforeNotReset);
}

IDirect3DSurface9* CRecordingDevice::BackBuffer() const {
    return m_backBuffer;
}

HRESULT CRecordingDevice::TestCooperativeLevel() {
    HRESULT hr = m_loss.Test(false);
    Record(CallKind::TestCooperativeLevel, {}, nullptr, hr);
    return hr;
}

HRESULT CRecordingDevice::GetDirect3D(IDirect3D9** direct3d) {
    if (!m_direct3d)
        return D3DERR_INVALIDCALL;
    return d3d9rules::HandOut(m_direct3d, direct3d);
}

HRESULT CRecordingDevice::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps)
        return D3DERR_INVALIDCALL;
    *caps = D3DCAPS9{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->MaxTextureWidth = caps->MaxTextureHeight = MaxTextureSize();
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxStreams = 16;
    return D3D_OK;
}

HRESULT CRecordingDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    HRESULT hr = m_loss.MayReset(parameters, false);
    if (SUCCEEDED(hr) && knobs.failReset)
        hr = D3DERR_INVALIDCALL;
    if (parameters)
        m_loss.ResetDone(hr);
    Record(CallKind::Reset,
           parameters ? std::vector<DWORD>{parameters->BackBufferWidth, parameters->BackBufferHeight,
                                           static_cast<DWORD>(parameters->Windowed)}
                      : std::vector<DWORD>{},
           nullptr, hr);
    if (FAILED(hr))
        return hr;
    m_parameters = *parameters;
    if (m_renderTarget != m_backBuffer)
        m_renderTarget->Release();
    m_renderTarget = m_backBuffer;
    m_backBuffer->m_width = m_parameters.BackBufferWidth ? m_parameters.BackBufferWidth : 800;
    m_backBuffer->m_height = m_parameters.BackBufferHeight ? m_parameters.BackBufferHeight : 600;
    ResetStates();
    m_inScene = false;
    return D3D_OK;
}

HRESULT CRecordingDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    if (++m_presentCalls == knobs.loseDeviceAtPresent)
        LoseDevice();
    HRESULT hr = m_loss.Lost() ? D3DERR_DEVICELOST : D3D_OK;
    Record(CallKind::Present, {}, nullptr, hr);
    return hr;
}

void CRecordingDevice::SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) {
    Record(CallKind::SetGammaRamp, {swapChain, flags});
    m_gammaRamps.push_back(ramp ? *ramp : D3DGAMMARAMP{});
    m_gammaFlags = flags;
}

HRESULT CRecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE*) {
    ++m_createTextureCalls;
    HRESULT hr = d3d9rules::CheckCreateTexture(texture, width, height, usage, pool, MaxTextureSize());
    if (SUCCEEDED(hr) && (knobs.failCreateTexture || knobs.failCreateTextureCall == m_createTextureCalls))
        hr = knobs.createTextureError;
    CRecordingTexture* made = nullptr;
    if (SUCCEEDED(hr))
        made = new CRecordingTexture(this, width, height, levels, usage, format, pool);
    if (texture)
        *texture = made;
    Record(CallKind::CreateTexture,
           {width, height, levels, usage, static_cast<DWORD>(format), static_cast<DWORD>(pool)}, made, hr);
    return hr;
}

HRESULT CRecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                             IDirect3DVertexBuffer9** vertexBuffer, HANDLE*) {
    HRESULT hr = D3D_OK;
    if (!vertexBuffer || length == 0)
        hr = D3DERR_INVALIDCALL;
    else if (knobs.failCreateVertexBuffer)
        hr = D3DERR_OUTOFVIDEOMEMORY;
    CRecordingVertexBuffer* made = nullptr;
    if (SUCCEEDED(hr))
        made = new CRecordingVertexBuffer(this, length, usage, fvf, pool);
    if (vertexBuffer)
        *vertexBuffer = made;
    Record(CallKind::CreateVertexBuffer, {length, usage, fvf, static_cast<DWORD>(pool)}, made, hr);
    return hr;
}

HRESULT CRecordingDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    auto* s = dynamic_cast<CRecordingSurface*>(surface);
    bool target = s && (!s->Texture() || (s->Texture()->Usage() & D3DUSAGE_RENDERTARGET));
    HRESULT hr = index != 0 || !target ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::SetRenderTarget, {index}, surface, hr);
    if (FAILED(hr))
        return hr;
    // The device holds a reference to the render target it draws into, as Direct3D does.
    if (surface != m_backBuffer)
        surface->AddRef();
    if (m_renderTarget != m_backBuffer)
        m_renderTarget->Release();
    m_renderTarget = surface;
    return D3D_OK;
}

HRESULT CRecordingDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    HRESULT hr = (index != 0 || !surface) ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::GetRenderTarget, {index}, m_renderTarget, hr);
    return FAILED(hr) ? hr : d3d9rules::HandOut(m_renderTarget, surface);
}

HRESULT CRecordingDevice::BeginScene() {
    HRESULT hr = (knobs.failBeginScene || m_inScene) ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::BeginScene, {}, nullptr, hr);
    if (SUCCEEDED(hr))
        m_inScene = true;
    return hr;
}

HRESULT CRecordingDevice::EndScene() {
    HRESULT hr = m_inScene ? D3D_OK : D3DERR_INVALIDCALL;
    Record(CallKind::EndScene, {}, nullptr, hr);
    m_inScene = false;
    return hr;
}

HRESULT CRecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                DWORD stencil) {
    HRESULT hr = knobs.failClear ? D3DERR_INVALIDCALL : d3d9rules::CheckClear(count, rects);
    Record(CallKind::Clear, {count, flags, color, stencil}, m_renderTarget, hr).z = z;
    return hr;
}

HRESULT CRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record(CallKind::SetRenderState, {static_cast<DWORD>(state), value});
    m_render[state] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    Record(CallKind::SetTexture, {stage}, texture);
    if (stage == 0)
        m_texture = texture;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    Record(CallKind::SetTextureStageState, {stage, static_cast<DWORD>(type), value});
    if (stage == 0)
        m_stage[type] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    Record(CallKind::SetSamplerState, {sampler, static_cast<DWORD>(type), value});
    if (sampler == 0)
        m_sampler[type] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetFVF(DWORD fvf) {
    Record(CallKind::SetFVF, {fvf});
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                          UINT stride) {
    Record(CallKind::SetStreamSource, {stream, offset, stride}, buffer);
    if (stream == 0) {
        // Only this device's buffers can be bound; anything else is a fault of the caller.
        m_stream = dynamic_cast<CRecordingVertexBuffer*>(buffer);
        m_streamOffset = offset;
        m_streamStride = stride;
    }
    return D3D_OK;
}

DrawState CRecordingDevice::Snapshot() const {
    DrawState s;
    s.texture = m_texture;
    s.renderTarget = m_renderTarget;
    s.fvf = m_fvf;
    s.stage = m_stage;
    s.sampler = m_sampler;
    s.render = m_render;
    return s;
}

HRESULT CRecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    RecordedDraw draw{
        CallKind::DrawPrimitive, type, primitiveCount, startVertex, m_streamStride, Snapshot(), {}};
    HRESULT hr = m_inScene ? D3D_OK : D3DERR_INVALIDCALL;
    UINT count = VertexCount(type, primitiveCount);
    // Nothing draws from a buffer that is still locked.
    if (!m_stream || m_stream->IsLocked() || m_streamStride == 0) {
        hr = D3DERR_INVALIDCALL;
    } else {
        const std::vector<BYTE>& bytes = m_stream->Bytes();
        for (UINT i = 0; i < count; ++i) {
            size_t at = m_streamOffset + (static_cast<size_t>(startVertex) + i) * m_streamStride;
            if (at + sizeof(RecordedVertex) > bytes.size()) {
                hr = D3DERR_INVALIDCALL;
                break;
            }
            CopyVertices(bytes.data() + at, 1, m_streamStride, draw.vertices);
        }
    }
    m_draws.push_back(std::move(draw));
    RecordedCall& call = Record(CallKind::DrawPrimitive,
                                {static_cast<DWORD>(type), startVertex, primitiveCount}, m_stream, hr);
    call.draw = m_draws.size() - 1;
    return hr;
}

HRESULT CRecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                          UINT vertexStride) {
    RecordedDraw draw{CallKind::DrawPrimitiveUP, type, primitiveCount, 0, vertexStride, Snapshot(), {}};
    HRESULT hr = (m_inScene && vertexData && vertexStride > 0) ? D3D_OK : D3DERR_INVALIDCALL;
    if (vertexData && vertexStride > 0)
        CopyVertices(static_cast<const BYTE*>(vertexData), VertexCount(type, primitiveCount), vertexStride,
                     draw.vertices);
    m_draws.push_back(std::move(draw));
    RecordedCall& call = Record(CallKind::DrawPrimitiveUP,
                                {static_cast<DWORD>(type), primitiveCount, vertexStride}, nullptr, hr);
    call.draw = m_draws.size() - 1;
    return hr;
}

void CRecordingDevice::RecordFontCall(CallKind kind, ID3DXFont* font, const RecordedText* text,
                                      HRESULT result) {
    if (kind == CallKind::FontDrawText && text) {
        m_texts.push_back(*text);
        RecordedCall& call =
            Record(kind,
                   {static_cast<DWORD>(text->count), text->format, text->color,
                    static_cast<DWORD>(text->rect.left), static_cast<DWORD>(text->rect.top),
                    static_cast<DWORD>(text->rect.right), static_cast<DWORD>(text->rect.bottom)},
                   font, result);
        call.text = m_texts.size() - 1;
    } else if (kind == CallKind::CreateFont && text) {
        Record(kind,
               {static_cast<DWORD>(text->logFont.lfHeight), static_cast<DWORD>(text->logFont.lfWeight),
                text->logFont.lfCharSet},
               font, result);
    } else {
        Record(kind, {}, font, result);
    }
}

void CRecordingDevice::ResourceCreated(D3DRESOURCETYPE type, D3DPOOL pool) {
    ++(type == D3DRTYPE_TEXTURE ? m_liveTextures : m_liveBuffers);
    m_loss.ResourceMade(pool);
}

void CRecordingDevice::ResourceDestroyed(D3DRESOURCETYPE type, D3DPOOL pool, const void* resource) {
    --(type == D3DRTYPE_TEXTURE ? m_liveTextures : m_liveBuffers);
    if (m_texture == resource)
        m_texture = nullptr;
    if (m_stream == resource)
        m_stream = nullptr;
    m_loss.ResourceGone(pool);
}

// ---- texture ----

CRecordingTexture::CRecordingTexture(CRecordingDevice* device, UINT width, UINT height, UINT levels,
                                     DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : CDeviceChild(device), m_width(width), m_height(height), m_usage(usage), m_format(format), m_pool(pool) {
    UINT w = width, h = height;
    for (UINT level = 0; levels == 0 || level < levels; ++level) {
        m_bits.emplace_back(static_cast<size_t>(w) * h * 4, BYTE{0});
        m_locked.push_back(false);
        m_surfaces.push_back(nullptr);
        if (w == 1 && h == 1)
            break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    m_device->ResourceCreated(D3DRTYPE_TEXTURE, m_pool);
}

CRecordingTexture::~CRecordingTexture() {
    for (CRecordingSurface* s : m_surfaces)
        delete s;
    m_device->ResourceDestroyed(D3DRTYPE_TEXTURE, m_pool, this);
}

UINT CRecordingTexture::Width(UINT level) const {
    return std::max(1u, m_width >> level);
}
UINT CRecordingTexture::Height(UINT level) const {
    return std::max(1u, m_height >> level);
}

DWORD CRecordingTexture::Texel(UINT x, UINT y, UINT level) const {
    if (x >= Width(level) || y >= Height(level))
        throw std::out_of_range("texel outside the texture level");
    const BYTE* p = m_bits.at(level).data() + (static_cast<size_t>(y) * Width(level) + x) * 4;
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

HRESULT CRecordingTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= m_bits.size())
        return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{m_format, D3DRTYPE_SURFACE, m_usage,      m_pool, D3DMULTISAMPLE_NONE,
                            0,        Width(level),     Height(level)};
    return D3D_OK;
}

HRESULT CRecordingTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (!surface || level >= m_bits.size())
        return D3DERR_INVALIDCALL;
    if (!m_surfaces[level])
        m_surfaces[level] = new CRecordingSurface(m_device, this, level, Width(level), Height(level));
    return d3d9rules::HandOut(m_surfaces[level], surface);
}

HRESULT CRecordingTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
    bool exists = level < m_bits.size();
    RECT area;
    HRESULT hr = d3d9rules::CheckLockRect(lockedRect, exists, exists && m_locked[level], m_pool, m_usage,
                                          rect, Width(level), Height(level), &area);
    if (FAILED(hr) || m_device->knobs.failLockRect)
        return D3DERR_INVALIDCALL;
    lockedRect->Pitch = static_cast<INT>(Width(level) * 4);
    lockedRect->pBits = m_bits[level].data() + (size_t(area.top) * Width(level) + size_t(area.left)) * 4;
    m_locked[level] = true;
    return D3D_OK;
}

HRESULT CRecordingTexture::UnlockRect(UINT level) {
    bool exists = level < m_bits.size();
    if (HRESULT hr = d3d9rules::CheckUnlockRect(exists, exists && m_locked[level]); FAILED(hr))
        return hr;
    m_locked[level] = false;
    return D3D_OK;
}

// ---- surface ----

CRecordingSurface::CRecordingSurface(CRecordingDevice* device, CRecordingTexture* texture, UINT level,
                                     UINT width, UINT height)
    : CSurfaceRefs(device, texture), m_level(level), m_width(width), m_height(height) {}

HRESULT CRecordingSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    if (m_container)
        return m_container->GetLevelDesc(m_level, desc);
    *desc = D3DSURFACE_DESC{m_device->m_parameters.BackBufferFormat,
                            D3DRTYPE_SURFACE,
                            D3DUSAGE_RENDERTARGET,
                            D3DPOOL_DEFAULT,
                            D3DMULTISAMPLE_NONE,
                            0,
                            m_width,
                            m_height};
    return D3D_OK;
}

// ---- vertex buffer ----

CRecordingVertexBuffer::CRecordingVertexBuffer(CRecordingDevice* device, UINT length, DWORD usage, DWORD fvf,
                                               D3DPOOL pool)
    : CDeviceChild(device), m_bytes(length, BYTE{0}), m_usage(usage), m_fvf(fvf), m_pool(pool) {
    m_device->ResourceCreated(D3DRTYPE_VERTEXBUFFER, m_pool);
}

CRecordingVertexBuffer::~CRecordingVertexBuffer() {
    m_device->ResourceDestroyed(D3DRTYPE_VERTEXBUFFER, m_pool, this);
}

HRESULT CRecordingVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD) {
    if (m_device->knobs.failVertexBufferLock)
        return D3DERR_INVALIDCALL;
    HRESULT hr = m_locks.Lock(offset, size, m_bytes.size(), data);
    if (SUCCEEDED(hr))
        *data = m_bytes.data() + offset;
    return hr;
}

HRESULT CRecordingVertexBuffer::Unlock() {
    return m_locks.Unlock();
}
