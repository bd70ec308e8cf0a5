// IDirect3DDevice9 over an OpenGL 3.3 core context on the SDL window: its creation, resources
// and render target here; loss and reset, states, drawing and presenting in the Device*.cpp files
// named after them.
//
// Environment variables (read when the device is created):
//   D3D9_REFUSE_HARDWARE_VP=1   CreateDevice refuses hardware (and mixed) vertex processing, so
//                               the caller's fallback to software vertex processing runs.
//   D3D9_MAX_TEXTURE_SIZE=N     report and enforce at most N texels a side (to test refusals).
//   D3D9_NO_VSYNC=1             Present never waits for the vertical retrace, nor paces itself
//                               (benchmarks).
//   D3D9_NO_MERGE=1             every draw call becomes its own OpenGL draw (benchmarks).
//   D3D9_DRAW_EVERY_FRAME=1     a frame that repeats the one before is drawn all the same
//                               (benchmarks).
//   D3D9_LOSE_DEVICE_AT_FRAME=N the N-th Present (from 1) loses the device: it reports
//                               D3DERR_DEVICELOST, TestCooperativeLevel answers lost once, then
//                               not-reset, and Reset restores the device.
//   D3D9_DUMP_PATH=pattern      write presented frames as PNG; the pattern holds exactly one
//                               integer conversion for the frame number, e.g. /tmp/f%04d.png.
//   D3D9_DUMP_FRAMES=which      "all" (the default), "every:N" (frames N, 2N, ...) or a comma
//                               list such as "1,30,100"; frames count Present calls from 1.
#include "platform/linux/d3d9/Objects.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace layer::d3d9 {

GLuint CompileProgram(const char* vertexSource, const char* fragmentSource) {
    auto compile = [](GLenum kind, const char* source) -> GLuint {
        GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            std::fprintf(stderr, "d3d9: shader does not compile: %s\n", log);
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    GLuint vs = compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentSource);
    GLuint program = 0;
    if (vs && fs) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            glDeleteProgram(program);
            program = 0;
        }
    }
    if (vs)
        glDeleteShader(vs);
    if (fs)
        glDeleteShader(fs);
    return program;
}

namespace {

void AllocateTarget(GLuint texture, GLuint framebuffer, UINT width, UINT height) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

} // namespace

CDevice::CDevice(CDirect3D* direct3d, SDL_Window* window, const D3DPRESENT_PARAMETERS& parameters)
    : m_direct3d(direct3d), m_window(window), m_parameters(parameters), m_backBufferSurface(this, nullptr) {
    m_direct3d->AddRef();
    for (int i = 0; i < 256; ++i)
        m_gamma.red[i] = m_gamma.green[i] = m_gamma.blue[i] = WORD(i * 257);
    SDL_AddEventWatch(&CDevice::WatchWindow, this);
}

HRESULT CDevice::Create() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context)
        return D3DERR_NOTAVAILABLE;
    SDL_GL_MakeCurrent(m_window, m_context);
    if (epoxy_gl_version() < 33)
        return D3DERR_NOTAVAILABLE;

    m_gammaProgram = MakeGammaProgram();
    if (!m_gammaProgram || !DrawProgramFor(DrawState{}))
        return D3DERR_NOTAVAILABLE;
    glUseProgram(m_gammaProgram);
    glUniform1i(glGetUniformLocation(m_gammaProgram, "u_frame"), 0);
    glUniform1i(glGetUniformLocation(m_gammaProgram, "u_table"), 1);

    // The vertex array reads the 28-byte records as they are: x, y at 0; the ARGB colour at 16,
    // whose little-endian bytes B, G, R, A OpenGL takes directly with the BGRA size; u, v at 20.
    glGenVertexArrays(1, &m_vertexArray);
    glGenVertexArrays(1, &m_emptyVertexArray);
    glGenBuffers(1, &m_vertexBuffer);
    glBindVertexArray(m_vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, kVertexSize, reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, kVertexSize, reinterpret_cast<void*>(16));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, kVertexSize, reinterpret_cast<void*>(20));

    glGenSamplers(1, &m_sampler);
    glGenTextures(1, &m_gammaTable);
    glBindTexture(GL_TEXTURE_2D, m_gammaTable);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16, 256, 1, 0, GL_RGB, GL_UNSIGNED_SHORT, nullptr);
    glGenTextures(1, &m_backBuffer);
    glGenFramebuffers(1, &m_backBufferFramebuffer);
    glGenTextures(1, &m_presented);
    glGenFramebuffers(1, &m_presentedFramebuffer);

    m_maxTextureSize = m_direct3d->MaxTextureSize();
    m_mergeFromEnvironment = !EnvFlag("D3D9_NO_MERGE");
    m_reuseFrames = !EnvFlag("D3D9_DRAW_EVERY_FRAME");
    m_loseAtFrame = EnvNumber("D3D9_LOSE_DEVICE_AT_FRAME", 0);
    if (const char* path = std::getenv("D3D9_DUMP_PATH"); path && *path) {
        m_dump = SplitFramePattern(path, m_dumpPrefix, m_dumpConversion, m_dumpSuffix);
        if (!m_dump)
            std::fprintf(stderr, "d3d9: D3D9_DUMP_PATH needs exactly one %%d; no frames are dumped\n");
        const char* frames = std::getenv("D3D9_DUMP_FRAMES");
        m_dumpFrames = frames && *frames ? frames : "all";
    }
    return ApplyParameters(m_parameters);
}

CDevice::~CDevice() {
    SDL_DelEventWatch(&CDevice::WatchWindow, this);
    if (m_context) {
        MakeCurrent();
        GLuint textures[] = {m_backBuffer, m_presented, m_gammaTable};
        glDeleteTextures(3, textures);
        GLuint framebuffers[] = {m_backBufferFramebuffer, m_presentedFramebuffer};
        glDeleteFramebuffers(2, framebuffers);
        glDeleteBuffers(1, &m_vertexBuffer);
        GLuint arrays[] = {m_vertexArray, m_emptyVertexArray};
        glDeleteVertexArrays(2, arrays);
        glDeleteSamplers(1, &m_sampler);
        for (auto& [source, program] : m_drawPrograms)
            glDeleteProgram(program.name);
        glDeleteProgram(m_gammaProgram);
        SDL_GL_MakeCurrent(m_window, nullptr);
        SDL_GL_DeleteContext(m_context);
    }
    m_direct3d->Release();
}

void CDevice::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() != m_context)
        SDL_GL_MakeCurrent(m_window, m_context);
}

// Direct3D writes the values it chose (sizes for 0, the format for UNKNOWN) back into the caller's
// parameters.
HRESULT CDevice::ApplyParameters(D3DPRESENT_PARAMETERS& parameters) {
    MakeCurrent();
    D3DPRESENT_PARAMETERS p = parameters;
    if (!p.Windowed) {
        // Full screen keeps the desktop's mode: the window covers the desktop and Present
        // scales the frame into it.
        if (!(SDL_GetWindowFlags(m_window) & SDL_WINDOW_FULLSCREEN)) {
            SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
            m_madeFullScreen = true;
        }
    } else if (m_madeFullScreen) {
        SDL_SetWindowFullscreen(m_window, 0);
        m_madeFullScreen = false;
    }
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        int w = 0, h = 0;
        SDL_GetWindowSize(m_window, &w, &h);
        if (p.BackBufferWidth == 0)
            p.BackBufferWidth = UINT(std::max(w, 1));
        if (p.BackBufferHeight == 0)
            p.BackBufferHeight = UINT(std::max(h, 1));
    }
    UINT limit = m_direct3d->GlMaxTextureSize();
    if (p.BackBufferWidth > limit || p.BackBufferHeight > limit)
        return D3DERR_INVALIDCALL;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN)
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;

    if (p.BackBufferWidth != m_backBufferWidth || p.BackBufferHeight != m_backBufferHeight) {
        AllocateTarget(m_backBuffer, m_backBufferFramebuffer, p.BackBufferWidth, p.BackBufferHeight);
        AllocateTarget(m_presented, m_presentedFramebuffer, p.BackBufferWidth, p.BackBufferHeight);
        m_backBufferWidth = p.BackBufferWidth;
        m_backBufferHeight = p.BackBufferHeight;
        m_presentedOnce = false;
    }
    m_immediate = p.PresentationInterval == UINT(D3DPRESENT_INTERVAL_IMMEDIATE) || EnvFlag("D3D9_NO_VSYNC");
    SDL_GL_SetSwapInterval(m_immediate ? 0 : 1);
    SDL_DisplayMode mode{};
    int refresh = SDL_GetWindowDisplayMode(m_window, &mode) == 0 ? mode.refresh_rate : 0;
    m_framePeriod = std::chrono::nanoseconds(1000000000 / (refresh > 0 ? refresh : 60));

    parameters = p;
    m_parameters = p;
    GlStateTouched();
    return D3D_OK;
}

void CDevice::ResetStates() {
    m_state = DrawState{};
    m_renderTarget = nullptr;
    m_fvf = 0;
    m_stream = nullptr;
    m_streamOffset = m_streamStride = 0;
    m_inScene = false;
    GlStateTouched();
}

// --- Simple queries ---

HRESULT CDevice::GetDirect3D(IDirect3D9** direct3d) {
    return d3d9rules::HandOut(m_direct3d, direct3d);
}

HRESULT CDevice::GetDeviceCaps(D3DCAPS9* caps) {
    MakeCurrent();
    HRESULT hr = m_direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, caps);
    if (SUCCEEDED(hr))
        caps->MaxTextureWidth = caps->MaxTextureHeight = m_maxTextureSize;
    return hr;
}

// --- Resources ---

HRESULT CDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                               D3DPOOL pool, IDirect3DTexture9** texture, HANDLE*) {
    if (HRESULT hr = d3d9rules::CheckCreateTexture(texture, width, height, usage, pool, m_maxTextureSize);
        FAILED(hr))
        return hr;
    // One level of one format; textures other than render targets are managed (nothing else
    // could be locked or drawn).
    if (levels > 1 || format != D3DFMT_A8R8G8B8 ||
        (!(usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    auto* created = new (std::nothrow) CTexture(this, width, height, usage, pool);
    if (!created)
        return E_OUTOFMEMORY;
    HRESULT hr = created->Create();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *texture = created;
    return D3D_OK;
}

HRESULT CDevice::CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** vertexBuffer,
                                    HANDLE*) {
    if (!vertexBuffer)
        return D3DERR_INVALIDCALL;
    *vertexBuffer = nullptr;
    if (length == 0)
        return D3DERR_INVALIDCALL;
    try {
        *vertexBuffer = new CVertexBuffer(this, length);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

void CDevice::ForgetTexture(CTexture* texture) {
    Submit();
    if (m_state.texture == texture)
        m_state.texture = nullptr;
}

void CDevice::ForgetVertexBuffer(CVertexBuffer* buffer) {
    if (m_stream == buffer)
        m_stream = nullptr;
}

// --- Render target ---

HRESULT CDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    auto* s = dynamic_cast<CSurface*>(surface);
    if (index != 0 || !s)
        return D3DERR_INVALIDCALL;
    CTexture* target = s->Container();
    if (target && !target->IsRenderTarget())
        return D3DERR_INVALIDCALL;
    // The recorded frame goes out before anything is drawn into a texture it may sample.
    if (target) {
        Submit();
        target->AddRef();
    }
    CTexture* previous = m_renderTarget;
    SetState(m_renderTarget, target);
    if (previous)
        previous->Release();
    return D3D_OK;
}

HRESULT CDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (index != 0 || !surface)
        return D3DERR_INVALIDCALL;
    if (m_renderTarget)
        return m_renderTarget->GetSurfaceLevel(0, surface);
    return d3d9rules::HandOut(&m_backBufferSurface, surface);
}

void CDevice::BindTarget() {
    GLuint framebuffer = m_renderTarget ? m_renderTarget->Framebuffer() : m_backBufferFramebuffer;
    if (framebuffer == m_appliedFramebuffer)
        return;
    UINT width = m_renderTarget ? m_renderTarget->Width() : m_backBufferWidth;
    UINT height = m_renderTarget ? m_renderTarget->Height() : m_backBufferHeight;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, GLsizei(width), GLsizei(height));
    m_targetWidth = float(width);
    m_targetHeight = float(height);
    m_appliedFramebuffer = framebuffer;
}

} // namespace layer::d3d9
