// IDirect3DDevice9 over an OpenGL 3.3 core context on the SDL window.
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
//
// Drawing model. Direct3D's pre-transformed vertices are window pixels with pixel (i, j) sampled
// at the point (i, j); OpenGL samples pixel centres at (i + 0.5, j + 0.5). The vertex shader adds
// a little less than half a pixel (63/128) so that an edge on an integer coordinate never lies
// exactly on an OpenGL pixel centre, where the rasteriser's tie rule would decide which side
// gets the pixel: a quad from 0 to 32 covers pixels 0 to 31, as in Direct3D. Every framebuffer
// (back buffer and render-target textures) is drawn with Direct3D's row 0 in OpenGL's row 0, so
// textures, render targets and read-backs all keep the top row first; Present flips the frame
// once when it copies it into the window.
//
// Batching. Draws are not sent at once: their vertices (strips and fans unrolled to triangle
// lists) collect in memory as long as nothing that affects drawing changes. Setting a state to
// the value it already has is a comparison and nothing more; a real change, Clear, Present, a
// render-target change, a texture lock or a read-back sends the collected triangles as one
// OpenGL draw first. The game draws each piece with its own call and the same states, so a
// board of ten thousand pieces costs one OpenGL draw.
#include "platform/linux/Letterbox.h"
#include "platform/linux/d3d9/Objects.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

namespace layer::d3d9 {
namespace {

constexpr DWORD kScreenVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr size_t kVertexSize = 28;
constexpr UINT kMaxPrimitives = 0xFFFFF;

const char* const kDrawVertexShader = R"(#version 330 core
layout(location = 0) in vec2 a_position;
layout(location = 1) in vec4 a_diffuse;
layout(location = 2) in vec2 a_uv;
uniform vec2 u_targetSize;
out vec4 v_diffuse;
out vec2 v_uv;
void main() {
    vec2 p = (a_position + vec2(63.0 / 128.0)) / u_targetSize * 2.0 - 1.0;
    gl_Position = vec4(p, 0.0, 1.0);
    v_diffuse = a_diffuse;
    v_uv = a_uv;
}
)";

// Texture stage 0 is compiled into the fragment shader: each combination of operations and
// arguments the device meets gets a program of its own, made the first time it is drawn with.
// A shader that chose the operation from uniforms at run time cost software rasterisers (where
// every branch runs for every fragment) about twice the time per pixel. CURRENT is the diffuse
// colour at stage 0; a missing texture reads as opaque white.
const char* const kDrawFragmentHead = R"(#version 330 core
in vec4 v_diffuse;
in vec2 v_uv;
uniform sampler2D u_texture;
out vec4 o_color;
)";

// The GLSL value of one stage argument.
const char* ArgumentSource(DWORD argument, bool hasTexture) {
    if ((argument & 15) != D3DTA_TEXTURE)
        return "v_diffuse";
    return hasTexture ? "texture(u_texture, v_uv)" : "vec4(1.0)";
}

// The GLSL value of one stage's operation.
std::string OperationSource(DWORD op, DWORD arg1, DWORD arg2, bool hasTexture) {
    switch (op) {
    case D3DTOP_SELECTARG1:
        return ArgumentSource(arg1, hasTexture);
    case D3DTOP_SELECTARG2:
        return ArgumentSource(arg2, hasTexture);
    case D3DTOP_MODULATE:
        return std::string(ArgumentSource(arg1, hasTexture)) + " * " + ArgumentSource(arg2, hasTexture);
    default:
        return "v_diffuse";
    }
}

std::string FragmentSource(const DrawState& s) {
    bool hasTexture = s.texture != nullptr;
    std::string body;
    if (s.colorOp == D3DTOP_DISABLE) {
        body = "o_color = v_diffuse;";
    } else {
        body = "o_color = vec4((" + OperationSource(s.colorOp, s.colorArg1, s.colorArg2, hasTexture) +
               ").rgb, (" + OperationSource(s.alphaOp, s.alphaArg1, s.alphaArg2, hasTexture) + ").a);";
    }
    return std::string(kDrawFragmentHead) + "void main() {\n    " + body + "\n}\n";
}

const char* const kGammaVertexShader = R"(#version 330 core
void main() {
    vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
    gl_Position = vec4(p, 0.0, 1.0);
}
)";

// The ramp is a 256 x 1 RGB16 texture: entry i of each channel answers level i of that channel.
const char* const kGammaFragmentShader = R"(#version 330 core
uniform sampler2D u_frame;
uniform sampler2D u_table;
out vec4 o_color;
void main() {
    ivec3 level = ivec3(texelFetch(u_frame, ivec2(gl_FragCoord.xy), 0).rgb * 255.0 + 0.5);
    o_color = vec4(texelFetch(u_table, ivec2(level.r, 0), 0).r, texelFetch(u_table, ivec2(level.g, 0), 0).g,
                   texelFetch(u_table, ivec2(level.b, 0), 0).b, 1.0);
}
)";

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

GLenum BlendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case 11: // D3DBLEND_SRCALPHASAT
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLint AddressMode(DWORD address) {
    switch (address) {
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    default:
        return GL_REPEAT;
    }
}

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

    m_gammaProgram = CompileProgram(kGammaVertexShader, kGammaFragmentShader);
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

ULONG CDevice::AddRef() {
    return ++m_refs;
}

ULONG CDevice::Release() {
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
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

// --- Loss ---

// Direct3D loses a full-screen device when its window is minimised or loses the focus. A window
// that has never had the focus (a display without a window manager gives none) is not away.
bool CDevice::WindowAway() {
    Uint32 flags = SDL_GetWindowFlags(m_window);
    bool focused = (flags & SDL_WINDOW_INPUT_FOCUS) != 0;
    if (focused)
        m_focusSeen = true;
    return (flags & SDL_WINDOW_MINIMIZED) || (m_focusSeen && !focused);
}

void CDevice::Lose(int lostPolls) {
    Submit();
    m_lastFrameValid = false;
    m_lost = true;
    m_forcedLostPolls = std::max(m_forcedLostPolls, lostPolls);
}

void CDevice::ForceLoss(int lostPolls) {
    Lose(std::max(lostPolls, 0));
}

HRESULT CDevice::TestCooperativeLevel() {
    if (!m_lost && !Windowed() && WindowAway())
        Lose(0);
    if (!m_lost)
        return D3D_OK;
    if (m_forcedLostPolls > 0) {
        --m_forcedLostPolls;
        return D3DERR_DEVICELOST;
    }
    if (!Windowed() && WindowAway())
        return D3DERR_DEVICELOST;
    return D3DERR_DEVICENOTRESET;
}

HRESULT CDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters)
        return D3DERR_INVALIDCALL;
    Submit();
    m_lastFrameValid = false;
    if (m_lost && (m_forcedLostPolls > 0 || (!Windowed() && WindowAway())))
        return D3DERR_DEVICELOST;
    // Default-pool objects cannot survive a reset; Direct3D refuses while any exists and leaves
    // the device needing a reset.
    if (m_defaultPoolResources > 0) {
        m_lost = true;
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = ApplyParameters(*parameters);
    if (FAILED(hr)) {
        m_lost = true;
        return hr;
    }
    ResetStates();
    m_lost = false;
    return D3D_OK;
}

// --- Simple queries ---

HRESULT CDevice::GetDirect3D(IDirect3D9** direct3d) {
    if (!direct3d)
        return D3DERR_INVALIDCALL;
    m_direct3d->AddRef();
    *direct3d = m_direct3d;
    return D3D_OK;
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
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || levels > 1 || format != D3DFMT_A8R8G8B8)
        return D3DERR_INVALIDCALL;
    bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    if (renderTarget ? pool != D3DPOOL_DEFAULT : pool != D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    if (width > m_maxTextureSize || height > m_maxTextureSize)
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
    if (m_renderTarget == texture)
        m_renderTarget = nullptr;
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
    if (target)
        Submit();
    SetState(m_renderTarget, target);
    return D3D_OK;
}

HRESULT CDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (index != 0 || !surface)
        return D3DERR_INVALIDCALL;
    if (m_renderTarget)
        return m_renderTarget->GetSurfaceLevel(0, surface);
    m_backBufferSurface.AddRef();
    *surface = &m_backBufferSurface;
    return D3D_OK;
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

// --- Scene and clear ---

HRESULT CDevice::BeginScene() {
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT CDevice::EndScene() {
    if (!m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT CDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float, DWORD) {
    if (count > 0 && !rects)
        return D3DERR_INVALIDCALL;
    Flush();
    if (!(flags & D3DCLEAR_TARGET))
        return D3D_OK;
    std::vector<D3DRECT> areas(rects, rects + count);
    if (m_recording && !m_renderTarget) {
        FrameCommand command;
        command.clear = true;
        command.color = color;
        command.rects = std::move(areas);
        m_frame.push_back(std::move(command));
    } else {
        ExecuteClear(areas, color);
    }
    return D3D_OK;
}

void CDevice::ExecuteClear(const std::vector<D3DRECT>& rects, D3DCOLOR color) {
    MakeCurrent();
    BindTarget();
    glClearColor(((color >> 16) & 0xff) / 255.0f, ((color >> 8) & 0xff) / 255.0f, (color & 0xff) / 255.0f,
                 (color >> 24) / 255.0f);
    if (m_renderTarget)
        m_renderTarget->Touch();
    if (rects.empty()) {
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    LONG width = LONG(m_renderTarget ? m_renderTarget->Width() : m_backBufferWidth);
    LONG height = LONG(m_renderTarget ? m_renderTarget->Height() : m_backBufferHeight);
    glEnable(GL_SCISSOR_TEST);
    for (const D3DRECT& r : rects) {
        LONG x1 = std::clamp(r.x1, LONG(0), width), x2 = std::clamp(r.x2, LONG(0), width);
        LONG y1 = std::clamp(r.y1, LONG(0), height), y2 = std::clamp(r.y2, LONG(0), height);
        if (x2 <= x1 || y2 <= y1)
            continue;
        glScissor(x1, y1, x2 - x1, y2 - y1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

// --- States ---

HRESULT CDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    switch (state) {
    case D3DRS_ALPHABLENDENABLE:
        SetState(m_state.blend, value != FALSE);
        break;
    case D3DRS_SRCBLEND:
        SetState(m_state.srcBlend, value);
        break;
    case D3DRS_DESTBLEND:
        SetState(m_state.destBlend, value);
        break;
    default: // depth, culling, lighting...: nothing to do for pre-transformed 2D drawing
        break;
    }
    return D3D_OK;
}

HRESULT CDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    auto* t = dynamic_cast<CTexture*>(texture);
    if (texture && !t)
        return D3DERR_INVALIDCALL;
    if (stage == 0)
        SetState(m_state.texture, t);
    return D3D_OK;
}

HRESULT CDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    if (stage != 0)
        return D3D_OK;
    switch (type) {
    case D3DTSS_COLOROP:
        SetState(m_state.colorOp, value);
        break;
    case D3DTSS_COLORARG1:
        SetState(m_state.colorArg1, value);
        break;
    case D3DTSS_COLORARG2:
        SetState(m_state.colorArg2, value);
        break;
    case D3DTSS_ALPHAOP:
        SetState(m_state.alphaOp, value);
        break;
    case D3DTSS_ALPHAARG1:
        SetState(m_state.alphaArg1, value);
        break;
    case D3DTSS_ALPHAARG2:
        SetState(m_state.alphaArg2, value);
        break;
    default:
        break;
    }
    return D3D_OK;
}

HRESULT CDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= 16)
        return D3DERR_INVALIDCALL;
    if (sampler != 0)
        return D3D_OK;
    DWORD filter =
        value == D3DTEXF_NONE || value == D3DTEXF_POINT ? DWORD(D3DTEXF_POINT) : DWORD(D3DTEXF_LINEAR);
    switch (type) {
    case D3DSAMP_MINFILTER:
        SetState(m_state.minFilter, filter);
        break;
    case D3DSAMP_MAGFILTER:
        SetState(m_state.magFilter, filter);
        break;
    case D3DSAMP_ADDRESSU:
        SetState(m_state.addressU, value);
        break;
    case D3DSAMP_ADDRESSV:
        SetState(m_state.addressV, value);
        break;
    default: // one level only: the mip filter has nothing to choose from
        break;
    }
    return D3D_OK;
}

HRESULT CDevice::SetFVF(DWORD fvf) {
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT CDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    auto* b = dynamic_cast<CVertexBuffer*>(buffer);
    if (stream != 0 || (buffer && !b))
        return D3DERR_INVALIDCALL;
    m_stream = b;
    m_streamOffset = offset;
    m_streamStride = stride;
    return D3D_OK;
}

// --- Drawing ---

HRESULT CDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, UINT stride) {
    size_t old = m_batch.size();
    m_batch.resize(old + size_t(primitiveCount) * 3 * kVertexSize);
    uint8_t* out = m_batch.data() + old;
    auto put = [&](size_t i) {
        std::memcpy(out, vertices + i * stride, kVertexSize);
        out += kVertexSize;
    };
    if (type == D3DPT_TRIANGLELIST) {
        if (stride == kVertexSize)
            std::memcpy(out, vertices, size_t(primitiveCount) * 3 * kVertexSize);
        else
            for (size_t i = 0; i < size_t(primitiveCount) * 3; ++i)
                put(i);
    } else if (type == D3DPT_TRIANGLESTRIP) {
        for (size_t i = 0; i < primitiveCount; ++i) {
            put(i % 2 ? i + 1 : i);
            put(i % 2 ? i : i + 1);
            put(i + 2);
        }
    } else { // fan
        for (size_t i = 0; i < primitiveCount; ++i) {
            put(0);
            put(i + 1);
            put(i + 2);
        }
    }
    if (!g_drawMerging.value_or(m_mergeFromEnvironment))
        Flush();
    return D3D_OK;
}

namespace {
// Vertices a primitive count needs, or 0 for a type the device does not draw.
size_t VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount) {
    switch (type) {
    case D3DPT_TRIANGLELIST:
        return size_t(primitiveCount) * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return size_t(primitiveCount) + 2;
    default:
        return 0;
    }
}
} // namespace

HRESULT CDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                 UINT vertexStride) {
    size_t count = VertexCount(type, primitiveCount);
    if (!vertexData || count == 0 || vertexStride < kVertexSize || m_fvf != kScreenVertexFvf ||
        primitiveCount > kMaxPrimitives)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), vertexStride);
}

HRESULT CDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    size_t count = VertexCount(type, primitiveCount);
    if (!m_stream || count == 0 || m_streamStride < kVertexSize || m_fvf != kScreenVertexFvf ||
        primitiveCount > kMaxPrimitives)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    const std::vector<uint8_t>& data = m_stream->Data();
    uint64_t end =
        uint64_t(m_streamOffset) + (uint64_t(startVertex) + count - 1) * m_streamStride + kVertexSize;
    if (end > data.size())
        return D3DERR_INVALIDCALL;
    const uint8_t* first = data.data() + m_streamOffset + size_t(startVertex) * m_streamStride;
    return Draw(type, primitiveCount, first, m_streamStride);
}

CDevice::DrawProgram* CDevice::DrawProgramFor(const DrawState& state) {
    std::string source = FragmentSource(state);
    auto found = m_drawPrograms.find(source);
    if (found != m_drawPrograms.end())
        return &found->second;
    GLuint name = CompileProgram(kDrawVertexShader, source.c_str());
    if (!name)
        return nullptr;
    DrawProgram& program = m_drawPrograms[source];
    program.name = name;
    program.uTargetSize = glGetUniformLocation(name, "u_targetSize");
    glUseProgram(name);
    glUniform1i(glGetUniformLocation(name, "u_texture"), 0);
    m_appliedProgram = nullptr;
    return &program;
}

bool CDevice::ApplyDrawState(const DrawState& s) {
    BindTarget();
    DrawProgram* program = DrawProgramFor(s);
    if (!program)
        return false;
    const DrawState* a = m_applied ? &*m_applied : nullptr;
    if (!a || program != m_appliedProgram) {
        glUseProgram(program->name);
        m_appliedProgram = program;
    }
    if (program->targetWidth != m_targetWidth || program->targetHeight != m_targetHeight) {
        glUniform2f(program->uTargetSize, m_targetWidth, m_targetHeight);
        program->targetWidth = m_targetWidth;
        program->targetHeight = m_targetHeight;
    }
    if (!a) {
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glActiveTexture(GL_TEXTURE0);
        glBindSampler(0, m_sampler);
        glBindVertexArray(m_vertexArray);
    }
    if (!a || a->texture != s.texture) {
        glBindTexture(GL_TEXTURE_2D, s.texture ? s.texture->Name() : 0);
    }
    if (!a || a->minFilter != s.minFilter)
        glSamplerParameteri(m_sampler, GL_TEXTURE_MIN_FILTER,
                            s.minFilter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    if (!a || a->magFilter != s.magFilter)
        glSamplerParameteri(m_sampler, GL_TEXTURE_MAG_FILTER,
                            s.magFilter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    if (!a || a->addressU != s.addressU)
        glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_S, AddressMode(s.addressU));
    if (!a || a->addressV != s.addressV)
        glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_T, AddressMode(s.addressV));
    if (!a || a->blend != s.blend)
        (s.blend ? glEnable : glDisable)(GL_BLEND);
    if (!a || a->srcBlend != s.srcBlend || a->destBlend != s.destBlend)
        glBlendFunc(BlendFactor(s.srcBlend), BlendFactor(s.destBlend));
    m_applied = s;
    return true;
}

void CDevice::Flush() {
    if (m_batch.empty())
        return;
    if (m_recording && !m_renderTarget) {
        FrameCommand command;
        command.state = m_state;
        command.textureVersion = m_state.texture ? m_state.texture->Version() : 0;
        command.first = m_frameVertices.size();
        command.bytes = m_batch.size();
        m_frameVertices.insert(m_frameVertices.end(), m_batch.begin(), m_batch.end());
        m_frame.push_back(std::move(command));
    } else {
        ExecuteBatch(m_state, m_batch.data(), m_batch.size());
    }
    m_batch.clear();
}

void CDevice::ExecuteBatch(const DrawState& state, const uint8_t* vertices, size_t bytes) {
    MakeCurrent();
    if (!ApplyDrawState(state))
        return;
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), vertices, GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(bytes / kVertexSize));
    ++m_drawCalls;
    if (m_renderTarget)
        m_renderTarget->Touch();
}

void CDevice::ExecuteRecorded() {
    for (const FrameCommand& command : m_frame) {
        if (command.clear)
            ExecuteClear(command.rects, command.color);
        else
            ExecuteBatch(command.state, m_frameVertices.data() + command.first, command.bytes);
    }
}

void CDevice::Submit() {
    if (m_frame.empty() && m_batch.empty())
        return;
    Flush();
    ExecuteRecorded();
    m_frame.clear();
    m_frameVertices.clear();
    m_recording = false;
}

bool CDevice::FrameRepeatsLast() const {
    if (!m_lastFrameValid || m_frame.size() != m_lastFrame.size() ||
        m_frameVertices.size() != m_lastFrameVertices.size())
        return false;
    for (size_t i = 0; i < m_frame.size(); ++i) {
        const FrameCommand& a = m_frame[i];
        const FrameCommand& b = m_lastFrame[i];
        if (a.clear != b.clear)
            return false;
        if (a.clear) {
            if (a.color != b.color || a.rects.size() != b.rects.size() ||
                !std::equal(a.rects.begin(), a.rects.end(), b.rects.begin(),
                            [](const D3DRECT& x, const D3DRECT& y) {
                                return x.x1 == y.x1 && x.y1 == y.y1 && x.x2 == y.x2 && x.y2 == y.y2;
                            }))
                return false;
        } else if (!(a.state == b.state) || a.textureVersion != b.textureVersion || a.first != b.first ||
                   a.bytes != b.bytes) {
            return false;
        }
    }
    return m_frameVertices.empty() ||
           std::memcmp(m_frameVertices.data(), m_lastFrameVertices.data(), m_frameVertices.size()) == 0;
}

// --- Presenting ---

void CDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP* ramp) {
    if (!ramp)
        return;
    m_gamma = *ramp;
    m_gammaChanged = true;
    m_gammaIdentity = true;
    for (int i = 0; i < 256 && m_gammaIdentity; ++i)
        m_gammaIdentity = m_gamma.red[i] == WORD(i * 257) && m_gamma.green[i] == WORD(i * 257) &&
                          m_gamma.blue[i] == WORD(i * 257);
}

void CDevice::GammaPass() {
    if (m_gammaChanged) {
        WORD table[256 * 3];
        for (int i = 0; i < 256; ++i) {
            table[i * 3] = m_gamma.red[i];
            table[i * 3 + 1] = m_gamma.green[i];
            table[i * 3 + 2] = m_gamma.blue[i];
        }
        glBindTexture(GL_TEXTURE_2D, m_gammaTable);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGB, GL_UNSIGNED_SHORT, table);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        m_gammaChanged = false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_presentedFramebuffer);
    glViewport(0, 0, GLsizei(m_backBufferWidth), GLsizei(m_backBufferHeight));
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glUseProgram(m_gammaProgram);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, m_gammaTable);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_backBuffer);
    glBindVertexArray(m_emptyVertexArray);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

HRESULT CDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    Flush();
    ++m_presentCount;
    if (!m_lost) {
        if (m_loseAtFrame > 0 && m_presentCount == static_cast<unsigned long>(m_loseAtFrame))
            Lose(1);
        else if (!Windowed() && WindowAway())
            Lose(0);
    }
    if (m_lost) {
        m_frame.clear();
        m_frameVertices.clear();
        m_recording = true;
        return D3DERR_DEVICELOST;
    }

    MakeCurrent();
    if (m_recording) {
        if (m_reuseFrames && FrameRepeatsLast())
            ++m_framesRepeated;
        else
            ExecuteRecorded();
        std::swap(m_frame, m_lastFrame);
        std::swap(m_frameVertices, m_lastFrameVertices);
        m_lastFrameValid = true;
    } else {
        m_lastFrameValid = false;
    }
    m_frame.clear();
    m_frameVertices.clear();
    m_recording = true;
    // The identity ramp changes nothing: the back buffer goes to the window as it is, which
    // saves a full-screen pass on every ordinary frame.
    if (m_gammaIdentity) {
        m_shownFramebuffer = m_backBufferFramebuffer;
    } else {
        GammaPass();
        m_shownFramebuffer = m_presentedFramebuffer;
    }
    m_presentedOnce = true;
    DumpFrame();

    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(m_window, &drawableWidth, &drawableHeight);
    Letterbox box =
        Letterbox::Fit(int(m_backBufferWidth), int(m_backBufferHeight), drawableWidth, drawableHeight);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, drawableWidth, drawableHeight);
    // Blits obey the scissor test, which a Clear of part of the frame may have left on.
    glDisable(GL_SCISSOR_TEST);
    bool bars = box.x > 0 || box.y > 0 || box.width < drawableWidth || box.height < drawableHeight;
    if (bars) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_shownFramebuffer);
    bool sameSize = box.width == int(m_backBufferWidth) && box.height == int(m_backBufferHeight);
    // The window's row 0 is its bottom row: the destination rows run downwards to flip.
    glBlitFramebuffer(0, 0, GLint(m_backBufferWidth), GLint(m_backBufferHeight), box.x,
                      drawableHeight - box.y, box.x + box.width, drawableHeight - box.y - box.height,
                      GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(m_window);
    GlStateTouched();
    if (!m_immediate)
        PaceFrame();
    return D3D_OK;
}

// Direct3D's default presentation interval shows at most one frame per display refresh. Many
// OpenGL drivers cannot wait for the retrace (software rasterisers, X servers without one) and
// return from the swap at once, so a game that draws whenever its queue is empty would draw
// hundreds of frames a second and keep a core busy. Present therefore waits for the next refresh
// on its own clock; where the swap did wait, the frame arrives on time and nothing is added.
void CDevice::PaceFrame() {
    auto now = std::chrono::steady_clock::now();
    if (now < m_nextFrame) {
        std::this_thread::sleep_until(m_nextFrame);
        now = m_nextFrame;
    }
    // More than a refresh late (a slow frame): keep the rhythm from now rather than catching up.
    m_nextFrame = now - m_nextFrame > m_framePeriod ? now + m_framePeriod : m_nextFrame + m_framePeriod;
}

void CDevice::DumpFrame() {
    if (!m_dump || !FrameSelected(m_dumpFrames, m_presentCount))
        return;
    char number[64];
    std::snprintf(number, sizeof number, m_dumpConversion.c_str(), int(m_presentCount));
    std::string path = m_dumpPrefix + number + m_dumpSuffix;
    UINT width = 0, height = 0;
    std::vector<DWORD> pixels = ReadPresented(&width, &height);
    if (!WritePng(path, width, height, pixels))
        std::fprintf(stderr, "d3d9: cannot write %s\n", path.c_str());
}

// --- Read-back ---

std::vector<DWORD> CDevice::ReadFramebuffer(GLuint framebuffer, UINT width, UINT height) {
    std::vector<DWORD> pixels(size_t(width) * height);
    MakeCurrent();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // BGRA bytes in memory are the little-endian D3DCOLOR 0xAARRGGBB.
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    GlStateTouched();
    return pixels;
}

std::vector<DWORD> CDevice::ReadTarget(UINT* width, UINT* height) {
    Submit();
    UINT w = m_renderTarget ? m_renderTarget->Width() : m_backBufferWidth;
    UINT h = m_renderTarget ? m_renderTarget->Height() : m_backBufferHeight;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return ReadFramebuffer(m_renderTarget ? m_renderTarget->Framebuffer() : m_backBufferFramebuffer, w, h);
}

std::vector<DWORD> CDevice::ReadPresented(UINT* width, UINT* height) {
    if (width)
        *width = m_presentedOnce ? m_backBufferWidth : 0;
    if (height)
        *height = m_presentedOnce ? m_backBufferHeight : 0;
    if (!m_presentedOnce)
        return {};
    std::vector<DWORD> pixels = ReadFramebuffer(m_shownFramebuffer, m_backBufferWidth, m_backBufferHeight);
    // The screen shows no alpha; the back buffer keeps whatever blending left in it.
    for (DWORD& pixel : pixels)
        pixel |= 0xFF000000u;
    return pixels;
}

} // namespace layer::d3d9
