// The program's main(): hands WinMain the command line as Windows would.
#include "platform/linux/win32/Internal.h"
#include "startup/CommandLine.h"
#include "startup/ProgramFolder.h"

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
    // Without a folder of the user's own it runs on where it is, and says why on standard error.
    startup::ProgramPlace place =
        startup::ChooseProgramPlace(startup::StartedProgramPath(argc > 0 ? argv[0] : nullptr));
    if (!place.problem.empty())
        fprintf(stderr, "%s: %s\n", argv[0], place.problem.c_str());
    layer::SetProgramPath(place.path);
    const char* passed = getenv(startup::kCommandLineVariable);
    std::vector<std::string> leftOut;
    std::string commandLine =
        startup::RecoverCommandLine(argc, const_cast<const char* const*>(argv), passed, &leftOut);
    for (const std::string& argument : leftOut)
        fprintf(stderr, "%s: argument left out (a double quote cannot be passed): %s\n", argv[0],
                argument.c_str());
    // Programs started from here must not see the text meant for this one.
    unsetenv(startup::kCommandLineVariable);
    // SDL is left to the process exit, as a Windows program leaves its window: shutting it
    // down here would unload the OpenGL driver before the leak checker of sanitised builds
    // runs, and the driver's lasting allocations could no longer be told apart from ours.
    return WinMain(reinterpret_cast<HINSTANCE>(&g_instanceToken), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
