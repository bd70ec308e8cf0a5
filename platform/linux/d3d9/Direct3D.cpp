// IDirect3D9 over SDL2's OpenGL support, and the test hooks of the device.
#include "platform/linux/Hooks.h"
#include "platform/linux/SdlVideo.h"
#include "platform/linux/d3d9/Objects.h"

#include <cstdlib>
#include <cstring>

namespace layer {
namespace {
bool g_refuseHardwareVertexProcessing = false;
} // namespace

std::optional<bool> g_drawMerging;

void SetRefuseHardwareVertexProcessing(bool refuse) {
    g_refuseHardwareVertexProcessing = refuse;
}
void SetDrawMerging(bool merge) {
    g_drawMerging = merge;
}

void ForceDeviceLoss(IDirect3DDevice9* device, int lostPolls) {
    if (auto* gl = dynamic_cast<d3d9::CDevice*>(device))
        gl->ForceLoss(lostPolls);
}

std::vector<DWORD> ReadRenderTarget(IDirect3DDevice9* device, UINT* width, UINT* height) {
    if (auto* gl = dynamic_cast<d3d9::CDevice*>(device))
        return gl->ReadTarget(width, height);
    return {};
}

std::vector<DWORD> ReadPresentedFrame(IDirect3DDevice9* device, UINT* width, UINT* height) {
    if (auto* gl = dynamic_cast<d3d9::CDevice*>(device))
        return gl->ReadPresented(width, height);
    return {};
}

unsigned long long GetDrawCallCount(IDirect3DDevice9* device) {
    auto* gl = dynamic_cast<d3d9::CDevice*>(device);
    return gl ? gl->DrawCalls() : 0;
}

unsigned long GetWindowPresentCount(IDirect3DDevice9* device) {
    auto* gl = dynamic_cast<d3d9::CDevice*>(device);
    return gl ? gl->WindowPresents() : 0;
}

namespace d3d9 {

long EnvNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    return (*end == '\0' && value >= 0) ? value : fallback;
}

bool EnvFlag(const char* name) {
    return EnvNumber(name, 0) != 0;
}

// SDL's video subsystem is reference counted; the Direct3D object holds one count so that a
// device can be made whether or not the window layer has started SDL yet.
CDirect3D::CDirect3D() {}

CDirect3D::~CDirect3D() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

HRESULT CDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != D3DADAPTER_DEFAULT || !mode)
        return D3DERR_INVALIDCALL;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0)
        return D3DERR_NOTAVAILABLE;
    mode->Width = UINT(desktop.w);
    mode->Height = UINT(desktop.h);
    mode->RefreshRate = UINT(desktop.refresh_rate);
    mode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

UINT CDirect3D::GlMaxTextureSize() {
    if (m_maxTextureSize == 0) {
        GLint size = 0;
        if (SDL_GL_GetCurrentContext()) {
            glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
        } else {
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
            SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
            if (window) {
                if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
                    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
                    SDL_GL_MakeCurrent(window, nullptr);
                    SDL_GL_DeleteContext(context);
                }
                SDL_DestroyWindow(window);
            }
        }
        m_maxTextureSize = size > 0 ? UINT(size) : 2048;
    }
    return m_maxTextureSize;
}

UINT CDirect3D::MaxTextureSize() {
    GlMaxTextureSize();
    long limit = EnvNumber("D3D9_MAX_TEXTURE_SIZE", 0);
    return limit > 0 && UINT(limit) < m_maxTextureSize ? UINT(limit) : m_maxTextureSize;
}

HRESULT CDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    if (adapter != D3DADAPTER_DEFAULT || !caps)
        return D3DERR_INVALIDCALL;
    *caps = D3DCAPS9{};
    caps->DeviceType = type;
    caps->AdapterOrdinal = adapter;
    caps->MaxTextureWidth = caps->MaxTextureHeight = MaxTextureSize();
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxStreams = 1;
    return D3D_OK;
}

HRESULT CDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !parameters)
        return D3DERR_INVALIDCALL;
    const DWORD processing = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                             D3DCREATE_MIXED_VERTEXPROCESSING;
    DWORD chosen = behaviorFlags & processing;
    if (chosen != D3DCREATE_SOFTWARE_VERTEXPROCESSING && chosen != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        chosen != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    if (chosen != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        (g_refuseHardwareVertexProcessing || EnvFlag("D3D9_REFUSE_HARDWARE_VP")))
        return D3DERR_NOTAVAILABLE;
    HWND hwnd = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    if (!hwnd)
        return D3DERR_INVALIDCALL;
    auto* window = reinterpret_cast<SDL_Window*>(hwnd);
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL))
        return D3DERR_INVALIDCALL;

    auto* created = new CDevice(this, window, *parameters);
    HRESULT hr = created->Create();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *parameters = created->Parameters();
    *device = created;
    return D3D_OK;
}

} // namespace d3d9
} // namespace layer

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    if (!layer::InitVideo())
        return nullptr;
    return new layer::d3d9::CDirect3D();
}
