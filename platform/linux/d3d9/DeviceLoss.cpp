// Loss and reset of the OpenGL device: when the window is away, forced losses, Reset.
#include "platform/linux/d3d9/Objects.h"

#include <algorithm>

namespace layer::d3d9 {

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
    m_loss.Lose(lostPolls);
}

void CDevice::ForceLoss(int lostPolls) {
    Lose(std::max(lostPolls, 0));
}

HRESULT CDevice::TestCooperativeLevel() {
    if (!m_loss.Lost() && !Windowed() && WindowAway())
        Lose(0);
    return m_loss.Test(!Windowed() && WindowAway());
}

HRESULT CDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters)
        return D3DERR_INVALIDCALL;
    Submit();
    m_lastFrameValid = false;
    HRESULT hr = m_loss.MayReset(parameters, !Windowed() && WindowAway());
    if (SUCCEEDED(hr))
        hr = ApplyParameters(*parameters);
    if (SUCCEEDED(hr))
        ResetStates();
    m_loss.ResetDone(hr);
    return hr;
}

} // namespace layer::d3d9
