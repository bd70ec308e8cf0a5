// The program's main(): hands WinMain the command line as Windows would.
#include "platform/linux/UserFolder.h"
#include "platform/linux/win32/Internal.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
// Windows passes the module's base address; any stable non-null value serves.
char g_instanceToken;
} // namespace

int main(int argc, char** argv) {
    // The program's folder is the one it was started through (a link keeps its own folder); an
    // installation its user cannot write runs from the user's own program folder instead.
    layer::SetProgramPath(layer::UserProgramPath(layer::StartedProgramPath(argc > 0 ? argv[0] : nullptr)));
    const char* passed = getenv(layer::kCommandLineVariable);
    std::vector<std::string> leftOut;
    std::string commandLine =
        layer::RecoverCommandLine(argc, const_cast<const char* const*>(argv), passed, &leftOut);
    for (const std::string& argument : leftOut)
        fprintf(stderr, "%s: argument left out (a double quote cannot be passed): %s\n", argv[0],
                argument.c_str());
    // Programs started from here must not see the text meant for this one.
    unsetenv(layer::kCommandLineVariable);
    // SDL is left to the process exit, as a Windows program leaves its window: shutting it
    // down here would unload the OpenGL driver before the leak checker of sanitised builds
    // runs, and the driver's lasting allocations could no longer be told apart from ours.
    return WinMain(reinterpret_cast<HINSTANCE>(&g_instanceToken), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
