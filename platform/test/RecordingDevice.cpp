#include "platform/test/RecordingDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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
    switch (kind) {
    case CallKind::TestCooperativeLevel:
        return "TestCooperativeLevel";
    case CallKind::Reset:
        return "Reset";
    case CallKind::Present:
        return "Present";
    case CallKind::SetGammaRamp:
        return "SetGammaRamp";
    case CallKind::CreateTexture:
        return "CreateTexture";
    case CallKind::CreateVertexBuffer:
        return "CreateVertexBuffer";
    case CallKind::SetRenderTarget:
        return "SetRenderTarget";
    case CallKind::GetRenderTarget:
        return "GetRenderTarget";
    case CallKind::BeginScene:
        return "BeginScene";
    case CallKind::EndScene:
        return "EndScene";
    case CallKind::Clear:
        return "Clear";
    case CallKind::SetRenderState:
        return "SetRenderState";
    case CallKind::SetTexture:
        return "SetTexture";
    case CallKind::SetTextureStageState:
        return "SetTextureStageState";
    case CallKind::SetSamplerState:
        return "SetSamplerState";
    case CallKind::SetFVF:
        return "SetFVF";
    case CallKind::SetStreamSource:
        return "SetStreamSource";
    case CallKind::DrawPrimitive:
        return "DrawPrimitive";
    case CallKind::DrawPrimitiveUP:
        return "DrawPrimitiveUP";
    case CallKind::CreateFont:
        return "CreateFont";
    case CallKind::FontBegin:
        return "FontBegin";
    case CallKind::FontDrawText:
        return "FontDrawText";
    case CallKind::FontEnd:
        return "FontEnd";
    }
    return "?";
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
    : direct3d_(direct3d) {
    if (parameters)
        parameters_ = *parameters;
    if (parameters_.BackBufferWidth == 0)
        parameters_.BackBufferWidth = 800;
    if (parameters_.BackBufferHeight == 0)
        parameters_.BackBufferHeight = 600;
    if (direct3d_)
        direct3d_->AddRef();
    backBuffer_ =
        new CRecordingSurface(this, nullptr, 0, parameters_.BackBufferWidth, parameters_.BackBufferHeight);
    renderTarget_ = backBuffer_;
    ResetStates();
}

CRecordingDevice::~CRecordingDevice() {
    if (g_pLastRecordingDevice == this)
        g_pLastRecordingDevice = nullptr;
    delete backBuffer_;
    if (direct3d_)
        direct3d_->Release();
}

void CRecordingDevice::ResetStates() {
    stage_ = {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE},
              {D3DTSS_COLORARG2, D3DTA_CURRENT}, {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
              {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_CURRENT},
              {D3DTSS_TEXCOORDINDEX, 0}};
    sampler_ = {{D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
                {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
                {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
                {D3DSAMP_MINFILTER, D3DTEXF_POINT},
                {D3DSAMP_MIPFILTER, D3DTEXF_NONE}};
    render_ = {{D3DRS_ZENABLE, parameters_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE},
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
    fvf_ = 0;
    texture_ = nullptr;
    stream_ = nullptr;
    streamOffset_ = streamStride_ = 0;
}

RecordedCall& CRecordingDevice::Record(CallKind kind, std::vector<DWORD> args, const void* object,
                                       HRESULT result) {
    RecordedCall call;
    call.kind = kind;
    call.args = std::move(args);
    call.object = object;
    call.result = result;
    calls_.push_back(std::move(call));
    return calls_.back();
}

std::vector<RecordedCall> CRecordingDevice::CallsOf(CallKind kind) const {
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : calls_)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

std::vector<std::string> CRecordingDevice::CallLog() const {
    std::vector<std::string> out;
    for (const RecordedCall& c : calls_)
        out.push_back(Describe(c));
    return out;
}

void CRecordingDevice::ClearRecording() {
    calls_.clear();
    draws_.clear();
    texts_.clear();
}

void CRecordingDevice::LoseDevice() {
    lost_ = true;
    lostTestsLeft_ = knobs.lostTestsBeforeNotReset;
}

IDirect3DSurface9* CRecordingDevice::BackBuffer() const {
    return backBuffer_;
}

ULONG CRecordingDevice::AddRef() {
    return ++refs_;
}

ULONG CRecordingDevice::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CRecordingDevice::TestCooperativeLevel() {
    HRESULT hr = D3D_OK;
    if (lost_) {
        if (lostTestsLeft_ > 0) {
            --lostTestsLeft_;
            hr = D3DERR_DEVICELOST;
        } else {
            hr = D3DERR_DEVICENOTRESET;
        }
    }
    Record(CallKind::TestCooperativeLevel, {}, nullptr, hr);
    return hr;
}

HRESULT CRecordingDevice::GetDirect3D(IDirect3D9** direct3d) {
    if (!direct3d || !direct3d_)
        return D3DERR_INVALIDCALL;
    direct3d_->AddRef();
    *direct3d = direct3d_;
    return D3D_OK;
}

HRESULT CRecordingDevice::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps)
        return D3DERR_INVALIDCALL;
    *caps = D3DCAPS9{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->MaxTextureWidth = caps->MaxTextureHeight = knobs.maxTextureSize > 0 ? knobs.maxTextureSize : 8192;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxStreams = 16;
    return D3D_OK;
}

HRESULT CRecordingDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    HRESULT hr = D3D_OK;
    if (!parameters)
        hr = D3DERR_INVALIDCALL;
    else if (lost_ && lostTestsLeft_ > 0)
        hr = D3DERR_DEVICELOST;
    else if (liveDefault_ > 0 || knobs.failReset)
        hr = D3DERR_INVALIDCALL;
    Record(CallKind::Reset,
           parameters ? std::vector<DWORD>{parameters->BackBufferWidth, parameters->BackBufferHeight,
                                           static_cast<DWORD>(parameters->Windowed)}
                      : std::vector<DWORD>{},
           nullptr, hr);
    if (FAILED(hr)) {
        // A failed Reset leaves the device lost until a Reset succeeds, as in Direct3D.
        if (parameters)
            lost_ = true;
        return hr;
    }
    parameters_ = *parameters;
    if (renderTarget_ != backBuffer_)
        renderTarget_->Release();
    renderTarget_ = backBuffer_;
    backBuffer_->width_ = parameters_.BackBufferWidth ? parameters_.BackBufferWidth : 800;
    backBuffer_->height_ = parameters_.BackBufferHeight ? parameters_.BackBufferHeight : 600;
    ResetStates();
    lost_ = false;
    inScene_ = false;
    return D3D_OK;
}

HRESULT CRecordingDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    if (++presentCalls_ == knobs.loseDeviceAtPresent)
        LoseDevice();
    HRESULT hr = lost_ ? D3DERR_DEVICELOST : D3D_OK;
    Record(CallKind::Present, {}, nullptr, hr);
    return hr;
}

void CRecordingDevice::SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) {
    Record(CallKind::SetGammaRamp, {swapChain, flags});
    gammaRamps_.push_back(ramp ? *ramp : D3DGAMMARAMP{});
    gammaFlags_ = flags;
}

HRESULT CRecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE*) {
    ++createTextureCalls_;
    HRESULT hr = D3D_OK;
    if (!texture || width == 0 || height == 0 || ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT))
        hr = D3DERR_INVALIDCALL;
    else if (knobs.failCreateTexture ||
             (knobs.maxTextureSize > 0 && std::max(width, height) > knobs.maxTextureSize) ||
             knobs.failCreateTextureCall == createTextureCalls_)
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
    HRESULT hr = (index != 0 || !surface) ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::SetRenderTarget, {index}, surface, hr);
    if (FAILED(hr))
        return hr;
    // The device holds a reference to the render target it draws into, as Direct3D does.
    if (surface != backBuffer_)
        surface->AddRef();
    if (renderTarget_ != backBuffer_)
        renderTarget_->Release();
    renderTarget_ = surface;
    return D3D_OK;
}

HRESULT CRecordingDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    HRESULT hr = (index != 0 || !surface) ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::GetRenderTarget, {index}, renderTarget_, hr);
    if (FAILED(hr))
        return hr;
    renderTarget_->AddRef();
    *surface = renderTarget_;
    return D3D_OK;
}

HRESULT CRecordingDevice::BeginScene() {
    HRESULT hr = (knobs.failBeginScene || inScene_) ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::BeginScene, {}, nullptr, hr);
    if (SUCCEEDED(hr))
        inScene_ = true;
    return hr;
}

HRESULT CRecordingDevice::EndScene() {
    HRESULT hr = inScene_ ? D3D_OK : D3DERR_INVALIDCALL;
    Record(CallKind::EndScene, {}, nullptr, hr);
    inScene_ = false;
    return hr;
}

HRESULT CRecordingDevice::Clear(DWORD count, const D3DRECT*, DWORD flags, D3DCOLOR color, float z,
                                DWORD stencil) {
    HRESULT hr = knobs.failClear ? D3DERR_INVALIDCALL : D3D_OK;
    Record(CallKind::Clear, {count, flags, color, stencil}, renderTarget_, hr).z = z;
    return hr;
}

HRESULT CRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record(CallKind::SetRenderState, {static_cast<DWORD>(state), value});
    render_[state] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    Record(CallKind::SetTexture, {stage}, texture);
    if (stage == 0)
        texture_ = texture;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    Record(CallKind::SetTextureStageState, {stage, static_cast<DWORD>(type), value});
    if (stage == 0)
        stage_[type] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    Record(CallKind::SetSamplerState, {sampler, static_cast<DWORD>(type), value});
    if (sampler == 0)
        sampler_[type] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetFVF(DWORD fvf) {
    Record(CallKind::SetFVF, {fvf});
    fvf_ = fvf;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                          UINT stride) {
    Record(CallKind::SetStreamSource, {stream, offset, stride}, buffer);
    if (stream == 0) {
        // Only this device's buffers can be bound; anything else is a fault of the caller.
        stream_ = dynamic_cast<CRecordingVertexBuffer*>(buffer);
        streamOffset_ = offset;
        streamStride_ = stride;
    }
    return D3D_OK;
}

DrawState CRecordingDevice::Snapshot() const {
    DrawState s;
    s.texture = texture_;
    s.renderTarget = renderTarget_;
    s.fvf = fvf_;
    s.stage = stage_;
    s.sampler = sampler_;
    s.render = render_;
    return s;
}

HRESULT CRecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    RecordedDraw draw{
        CallKind::DrawPrimitive, type, primitiveCount, startVertex, streamStride_, Snapshot(), {}};
    HRESULT hr = inScene_ ? D3D_OK : D3DERR_INVALIDCALL;
    UINT count = VertexCount(type, primitiveCount);
    if (!stream_ || streamStride_ == 0) {
        hr = D3DERR_INVALIDCALL;
    } else {
        const std::vector<BYTE>& bytes = stream_->Bytes();
        for (UINT i = 0; i < count; ++i) {
            size_t at = streamOffset_ + (static_cast<size_t>(startVertex) + i) * streamStride_;
            if (at + sizeof(RecordedVertex) > bytes.size()) {
                hr = D3DERR_INVALIDCALL;
                break;
            }
            CopyVertices(bytes.data() + at, 1, streamStride_, draw.vertices);
        }
    }
    draws_.push_back(std::move(draw));
    RecordedCall& call =
        Record(CallKind::DrawPrimitive, {static_cast<DWORD>(type), startVertex, primitiveCount}, stream_, hr);
    call.draw = draws_.size() - 1;
    return hr;
}

HRESULT CRecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                          UINT vertexStride) {
    RecordedDraw draw{CallKind::DrawPrimitiveUP, type, primitiveCount, 0, vertexStride, Snapshot(), {}};
    HRESULT hr = (inScene_ && vertexData && vertexStride > 0) ? D3D_OK : D3DERR_INVALIDCALL;
    if (vertexData && vertexStride > 0)
        CopyVertices(static_cast<const BYTE*>(vertexData), VertexCount(type, primitiveCount), vertexStride,
                     draw.vertices);
    draws_.push_back(std::move(draw));
    RecordedCall& call = Record(CallKind::DrawPrimitiveUP,
                                {static_cast<DWORD>(type), primitiveCount, vertexStride}, nullptr, hr);
    call.draw = draws_.size() - 1;
    return hr;
}

void CRecordingDevice::RecordFontCall(CallKind kind, ID3DXFont* font, const RecordedText* text,
                                      HRESULT result) {
    if (kind == CallKind::FontDrawText && text) {
        texts_.push_back(*text);
        RecordedCall& call =
            Record(kind,
                   {static_cast<DWORD>(text->count), text->format, text->color,
                    static_cast<DWORD>(text->rect.left), static_cast<DWORD>(text->rect.top),
                    static_cast<DWORD>(text->rect.right), static_cast<DWORD>(text->rect.bottom)},
                   font, result);
        call.text = texts_.size() - 1;
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
    AddRef();
    ++(type == D3DRTYPE_TEXTURE ? liveTextures_ : liveBuffers_);
    if (pool == D3DPOOL_DEFAULT)
        ++liveDefault_;
}

void CRecordingDevice::ResourceDestroyed(D3DRESOURCETYPE type, D3DPOOL pool, const void* resource) {
    --(type == D3DRTYPE_TEXTURE ? liveTextures_ : liveBuffers_);
    if (texture_ == resource)
        texture_ = nullptr;
    if (stream_ == resource)
        stream_ = nullptr;
    if (pool == D3DPOOL_DEFAULT)
        --liveDefault_;
    Release();
}

// ---- texture ----

CRecordingTexture::CRecordingTexture(CRecordingDevice* device, UINT width, UINT height, UINT levels,
                                     DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), width_(width), height_(height), usage_(usage), format_(format), pool_(pool) {
    UINT w = width, h = height;
    for (UINT level = 0; levels == 0 || level < levels; ++level) {
        bits_.emplace_back(static_cast<size_t>(w) * h * 4, BYTE{0});
        locked_.push_back(false);
        surfaces_.push_back(nullptr);
        if (w == 1 && h == 1)
            break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    device_->ResourceCreated(D3DRTYPE_TEXTURE, pool_);
}

CRecordingTexture::~CRecordingTexture() {
    for (CRecordingSurface* s : surfaces_)
        delete s;
    CRecordingDevice* device = device_;
    D3DPOOL pool = pool_;
    device->ResourceDestroyed(D3DRTYPE_TEXTURE, pool, this);
}

UINT CRecordingTexture::Width(UINT level) const {
    return std::max(1u, width_ >> level);
}
UINT CRecordingTexture::Height(UINT level) const {
    return std::max(1u, height_ >> level);
}

DWORD CRecordingTexture::Texel(UINT x, UINT y, UINT level) const {
    if (x >= Width(level) || y >= Height(level))
        throw std::out_of_range("texel outside the texture level");
    const BYTE* p = bits_.at(level).data() + (static_cast<size_t>(y) * Width(level) + x) * 4;
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

ULONG CRecordingTexture::AddRef() {
    return ++refs_;
}

ULONG CRecordingTexture::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CRecordingTexture::GetDevice(IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT CRecordingTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= bits_.size())
        return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{format_, D3DRTYPE_SURFACE, usage_,       pool_, D3DMULTISAMPLE_NONE,
                            0,       Width(level),     Height(level)};
    return D3D_OK;
}

HRESULT CRecordingTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (!surface || level >= bits_.size())
        return D3DERR_INVALIDCALL;
    if (!surfaces_[level])
        surfaces_[level] = new CRecordingSurface(device_, this, level, Width(level), Height(level));
    AddRef();
    *surface = surfaces_[level];
    return D3D_OK;
}

HRESULT CRecordingTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
    // Direct3D locks neither render targets nor default-pool textures, nor a level twice.
    if (!lockedRect || level >= bits_.size() || locked_[level] || device_->knobs.failLockRect ||
        pool_ == D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    size_t x = 0, y = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(Width(level)) ||
            rect->bottom > static_cast<LONG>(Height(level)) || rect->left >= rect->right ||
            rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        x = static_cast<size_t>(rect->left);
        y = static_cast<size_t>(rect->top);
    }
    lockedRect->Pitch = static_cast<INT>(Width(level) * 4);
    lockedRect->pBits = bits_[level].data() + (y * Width(level) + x) * 4;
    locked_[level] = true;
    return D3D_OK;
}

HRESULT CRecordingTexture::UnlockRect(UINT level) {
    if (level >= bits_.size() || !locked_[level])
        return D3DERR_INVALIDCALL;
    locked_[level] = false;
    return D3D_OK;
}

// ---- surface ----

CRecordingSurface::CRecordingSurface(CRecordingDevice* device, CRecordingTexture* texture, UINT level,
                                     UINT width, UINT height)
    : device_(device), texture_(texture), level_(level), width_(width), height_(height) {}

ULONG CRecordingSurface::AddRef() {
    if (texture_)
        return texture_->AddRef();
    if (outsideRefs_++ == 0)
        device_->AddRef();
    return outsideRefs_;
}

ULONG CRecordingSurface::Release() {
    if (texture_)
        return texture_->Release();
    if (outsideRefs_ == 0)
        return 0;
    ULONG left = --outsideRefs_;
    if (left == 0)
        device_->Release();
    return left;
}

HRESULT CRecordingSurface::GetDevice(IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT CRecordingSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    if (texture_)
        return texture_->GetLevelDesc(level_, desc);
    *desc = D3DSURFACE_DESC{device_->parameters_.BackBufferFormat,
                            D3DRTYPE_SURFACE,
                            D3DUSAGE_RENDERTARGET,
                            D3DPOOL_DEFAULT,
                            D3DMULTISAMPLE_NONE,
                            0,
                            width_,
                            height_};
    return D3D_OK;
}

// ---- vertex buffer ----

CRecordingVertexBuffer::CRecordingVertexBuffer(CRecordingDevice* device, UINT length, DWORD usage, DWORD fvf,
                                               D3DPOOL pool)
    : device_(device), bytes_(length, BYTE{0}), usage_(usage), fvf_(fvf), pool_(pool) {
    device_->ResourceCreated(D3DRTYPE_VERTEXBUFFER, pool_);
}

CRecordingVertexBuffer::~CRecordingVertexBuffer() {
    device_->ResourceDestroyed(D3DRTYPE_VERTEXBUFFER, pool_, this);
}

ULONG CRecordingVertexBuffer::AddRef() {
    return ++refs_;
}

ULONG CRecordingVertexBuffer::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CRecordingVertexBuffer::GetDevice(IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT CRecordingVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD) {
    if (!data || locked_ || device_->knobs.failVertexBufferLock || offset > bytes_.size() ||
        (size > 0 && static_cast<size_t>(offset) + size > bytes_.size()))
        return D3DERR_INVALIDCALL;
    *data = bytes_.data() + offset;
    locked_ = true;
    return D3D_OK;
}

HRESULT CRecordingVertexBuffer::Unlock() {
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}
