#include "platform/d3d9rules/Loss.h"

#include <algorithm>

namespace d3d9rules {

void CLossState::Lose(int lostPolls) {
    m_lost = true;
    m_lostPolls = std::max(m_lostPolls, lostPolls);
}

HRESULT CLossState::Test(bool away) {
    if (!m_lost)
        return D3D_OK;
    if (m_lostPolls > 0) {
        --m_lostPolls;
        return D3DERR_DEVICELOST;
    }
    return away ? D3DERR_DEVICELOST : D3DERR_DEVICENOTRESET;
}

HRESULT CLossState::MayReset(const D3DPRESENT_PARAMETERS* parameters, bool away) {
    if (!parameters)
        return D3DERR_INVALIDCALL;
    if (m_lost && (m_lostPolls > 0 || away))
        return D3DERR_DEVICELOST;
    // Default-pool objects cannot survive a reset; Direct3D refuses while any exists.
    if (m_defaultPoolResources > 0) {
        m_lost = true;
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

} // namespace d3d9rules
