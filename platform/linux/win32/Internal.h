// Shared inside the Win32 layer only: hook state, error mapping and code-page helpers that more
// than one source file of the layer needs (the command-line rules are in startup/CommandLine.h).
#pragma once

#include "platform/Win32.h"

#include <functional>
#include <string>
#include <vector>

namespace layer {

// Hook state (Hooks.cpp). Empty functions mean the real behaviour.
const std::function<DWORD()>& TickSource();
const std::function<void(DWORD, DWORD)>& BeepSink();
const std::function<UINT(const char*, UINT)>& WinExecSink();
const std::string& ModuleFileNameOverride();
const std::function<void(DWORD)>& SleepSink();
const std::string& HelperFolder();

// The program's own path as GetModuleFileNameA reports it (System.cpp): set by main() to the
// path the program was started through, or its per-user stand-in; until then the program file.
void SetProgramPath(const std::string& path);
std::string ProgramPath();

// errno -> Windows system error code.
DWORD ErrorFromErrno(int error);
// Sets the last error from errno and returns it.
DWORD SetLastErrorFromErrno();

// Windows-1250 <-> UTF-8. Characters without a Windows-1250 byte become '?'.
std::string Cp1250ToUtf8(const char* text);
char CodePointToCp1250(char32_t codePoint);

// Windows path text to a POSIX path: '\' becomes '/'.
std::string PosixPath(const char* path);

// Window messages (Messages.cpp) need the window record of the window layer (Window.cpp).
struct WindowRecord {
    WNDPROC procedure = nullptr;
    UINT classStyle = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    bool fullScreen = false;
    bool resizable = false;
};
WindowRecord* FindWindowRecord(HWND hwnd);
HWND FirstWindow();
// Window pixel (SDL window coordinates) -> client pixel of the fixed client frame.
void WindowToClient(HWND hwnd, int wx, int wy, int& cx, int& cy);
// Drops every queued message for a window that is going away.
void ForgetWindowMessages(HWND hwnd);
// Makes sure SDL's event subsystem runs (messages can be read before any window exists).
void EnsureEvents();

} // namespace layer
