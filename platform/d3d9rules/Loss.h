// Device loss and reset as Direct3D 9 sequences them, shared by both devices.
//
// A lost device answers D3DERR_DEVICELOST from Present. TestCooperativeLevel answers
// D3DERR_DEVICELOST while the device cannot be restored yet (a number of polls, or while the
// caller's "away" condition holds), then D3DERR_DEVICENOTRESET. Reset is refused with
// D3DERR_DEVICELOST while the device cannot be restored, and with D3DERR_INVALIDCALL while any
// default-pool resource lives; a refused or failed Reset leaves the device lost until a Reset
// succeeds.
#pragma once

#include "platform/Direct3D9.h"

namespace d3d9rules {

class CLossState {
  public:
    void ResourceMade(D3DPOOL pool) { m_defaultPoolResources += pool == D3DPOOL_DEFAULT; }
    void ResourceGone(D3DPOOL pool) { m_defaultPoolResources -= pool == D3DPOOL_DEFAULT; }
    int DefaultPoolResources() const { return m_defaultPoolResources; }

    bool Lost() const { return m_lost; }
    // Loses the device; TestCooperativeLevel then answers lost lostPolls times (at least).
    void Lose(int lostPolls);

    // TestCooperativeLevel's answer; away: the device cannot be restored now.
    HRESULT Test(bool away);
    // Whether Reset may go on: D3D_OK, or the refusal (which leaves the device lost).
    HRESULT MayReset(const D3DPRESENT_PARAMETERS* parameters, bool away);
    // The outcome of the Reset that MayReset allowed.
    void ResetDone(HRESULT result) { m_lost = FAILED(result); }

  private:
    int m_defaultPoolResources = 0;
    bool m_lost = false;
    int m_lostPolls = 0;
};

} // namespace d3d9rules
