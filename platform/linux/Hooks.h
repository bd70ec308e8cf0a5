// Test hooks of the Linux layer. Only tests include this header: the game never does.
// Each hook replaces one outside effect of the layer with a function the test controls;
// passing an empty function restores the real behaviour.
#pragma once

#include "platform/Win32.h"

#include <functional>
#include <string>
#include <vector>

class IDirect3DDevice9;

namespace layer {

// GetTickCount returns what this function returns.
void SetTickSource(std::function<DWORD()> source);

// Beep calls this instead of playing a tone (and does not wait).
void SetBeepSink(std::function<void(DWORD frequency, DWORD duration)> sink);

// WinExec calls this with the command line and the show command instead of starting a
// process, and returns its result.
void SetWinExecSink(std::function<UINT(const char* commandLine, UINT showCommand)> sink);

// GetModuleFileNameA reports this path instead of the running program's.
void SetModuleFileName(const std::string& path);

// CHelperProcess starts helper programs from this folder instead of the running program's own
// (a test program does not live in the program folder).
void SetHelperFolder(const std::string& folder);

// Sleep calls this instead of sleeping.
void SetSleepSink(std::function<void(DWORD milliseconds)> sink);

// --- Direct3D 9 device over OpenGL ---

// CreateDevice refuses hardware vertex processing while this is set (as D3D9_REFUSE_HARDWARE_VP=1
// does), so the caller's fallback to software vertex processing can be exercised.
void SetRefuseHardwareVertexProcessing(bool refuse);

// Turns the merging of consecutive same-state draws into one OpenGL draw on or off for every
// device (D3D9_NO_MERGE=1 turns it off); the pixels drawn are the same either way.
void SetDrawMerging(bool merge);

// The device behaves as if its full-screen window had been switched away from: the next Present
// reports D3DERR_DEVICELOST, TestCooperativeLevel then answers D3DERR_DEVICELOST lostPolls times
// and D3DERR_DEVICENOTRESET after that, until Reset.
void ForceDeviceLoss(IDirect3DDevice9* device, int lostPolls = 1);

// The pixels of the device's current render target after all pending draws, top row first, each
// a D3DCOLOR (0xAARRGGBB). Empty for a device that is not the OpenGL one.
std::vector<DWORD> ReadRenderTarget(IDirect3DDevice9* device, UINT* width, UINT* height);

// The last frame Present showed, after the gamma lookup (what a frame dump writes), top row
// first, each a D3DCOLOR with alpha 255. Empty before the first Present.
std::vector<DWORD> ReadPresentedFrame(IDirect3DDevice9* device, UINT* width, UINT* height);

// How many OpenGL draw calls the device has issued since it was created.
unsigned long long GetDrawCallCount(IDirect3DDevice9* device);

// How many frames the device has put into its window (copied and swapped) since it was created:
// a frame that repeats the one the window shows is not.
unsigned long GetWindowPresentCount(IDirect3DDevice9* device);

} // namespace layer
