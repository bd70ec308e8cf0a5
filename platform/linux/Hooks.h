// Test hooks of the Linux layer. Only tests include this header: the game never does.
// Each hook replaces one outside effect of the layer with a function the test controls;
// passing an empty function restores the real behaviour.
#pragma once

#include "platform/Win32.h"

#include <functional>
#include <string>

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

// Sleep calls this instead of sleeping.
void SetSleepSink(std::function<void(DWORD milliseconds)> sink);

} // namespace layer
