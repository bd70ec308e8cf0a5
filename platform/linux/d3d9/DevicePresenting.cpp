// Presenting of the OpenGL device: the gamma ramp, Present, frame pacing, dumps and read-backs.
#include "platform/linux/Letterbox.h"
#include "platform/linux/d3d9/Objects.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace layer::d3d9 {
namespace {

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

} // namespace

GLuint MakeGammaProgram() {
    return CompileProgram(kGammaVertexShader, kGammaFragmentShader);
}

// --- Presenting ---

void CDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP* ramp) {
    if (!ramp)
        return;
    m_gamma = *ramp;
    m_gammaChanged = true;
    m_windowStale = true;
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
    if (!m_loss.Lost()) {
        if (m_loseAtFrame > 0 && m_presentCount == static_cast<unsigned long>(m_loseAtFrame))
            Lose(1);
        else if (!Windowed() && WindowAway())
            Lose(0);
    }
    if (m_loss.Lost()) {
        m_frame.clear();
        m_frameVertices.clear();
        m_recording = true;
        return D3DERR_DEVICELOST;
    }

    MakeCurrent();
    bool repeated = false;
    if (m_recording) {
        repeated = m_reuseFrames && FrameRepeatsLast();
        if (!repeated)
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
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(m_window, &drawableWidth, &drawableHeight);
    const bool stale = m_windowStale.exchange(false);
    if (repeated && !stale && drawableWidth == m_shownDrawableWidth &&
        drawableHeight == m_shownDrawableHeight) {
        // The window already shows this frame: an idle scene costs only the pacing.
        DumpFrame();
        if (!m_immediate)
            PaceFrame();
        return D3D_OK;
    }
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
    ++m_windowPresents;
    m_shownDrawableWidth = drawableWidth;
    m_shownDrawableHeight = drawableHeight;
    GlStateTouched();
    if (!m_immediate)
        PaceFrame();
    return D3D_OK;
}

// Every window event but the pointer's crossing may mean that the window lost what it showed or
// shows it elsewhere or at another size: exposure, showing, resizing, restoring, moving.
int CDevice::WatchWindow(void* device, SDL_Event* event) {
    auto* self = static_cast<CDevice*>(device);
    if (event->type == SDL_WINDOWEVENT && event->window.windowID == SDL_GetWindowID(self->m_window) &&
        event->window.event != SDL_WINDOWEVENT_ENTER && event->window.event != SDL_WINDOWEVENT_LEAVE)
        self->m_windowStale = true;
    return 0;
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
