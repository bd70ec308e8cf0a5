// Drawing of the OpenGL device: clears, draws, batches and the recorded frame.
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
#include "platform/linux/d3d9/Objects.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace layer::d3d9 {
namespace {

constexpr DWORD kScreenVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
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

} // namespace

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
    if (HRESULT hr = d3d9rules::CheckClear(count, rects); FAILED(hr))
        return hr;
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
    // Direct3D draws only between BeginScene and EndScene.
    if (!m_inScene || !vertexData || count == 0 || vertexStride < kVertexSize || m_fvf != kScreenVertexFvf ||
        primitiveCount > kMaxPrimitives)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), vertexStride);
}

HRESULT CDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    size_t count = VertexCount(type, primitiveCount);
    // Nothing draws from a buffer that is still locked.
    if (!m_inScene || !m_stream || m_stream->Locked() || count == 0 || m_streamStride < kVertexSize ||
        m_fvf != kScreenVertexFvf || primitiveCount > kMaxPrimitives)
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

} // namespace layer::d3d9
