// Shared inside the Win32 layer only: hook state, error mapping, code-page and command-line
// helpers that more than one source file of the layer needs.
#pragma once

#include "platform/Win32.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace layer {

// The environment variable through which WinExec hands the exact command-line text to a
// started program; the program's main() reads it and removes it from its environment.
inline constexpr const char* kCommandLineVariable = "PUZZLE_WIN32_COMMAND_LINE";

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

// Splits a command line with the Windows rules for a program's arguments: the first
// argument (the program) ends at the next blank or closing quote with no escapes; later
// ones treat 2n backslashes before a quote as n backslashes and a toggling quote, 2n+1 as
// n backslashes and a literal quote, and "" inside quotes as a literal quote.
std::vector<std::string> SplitCommandLine(const char* commandLine);
// Writes one argument for the program's own splitter, which knows no escapes: a blank outside
// double quotes separates, a quote only groups and is dropped. An argument with a blank or tab,
// or an empty one, goes in quotes; one that holds a quote has no such form (nullopt).
std::optional<std::string> QuoteArgument(const std::string& argument);
// The text that WinMain receives: everything after the program name, leading blanks skipped.
std::string ArgumentsAfterProgramName(const std::string& commandLine);
// The command-line text for WinMain from main()'s arguments: the text a WinExec caller
// passed (environment text) when it still splits into exactly these arguments, otherwise
// the arguments rebuilt with QuoteArgument. An argument that cannot be written is left out
// rather than passed changed, and added to leftOut.
std::string RecoverCommandLine(int argc, const char* const* argv, const char* environmentText,
                               std::vector<std::string>* leftOut = nullptr);

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
