// Started by the WinExec tests: writes the command line that WinMain received to the file
// named by WIN32_HELPER_OUTPUT (through a temporary name, so a reader never sees half).
#include "platform/Win32.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    const char* output = getenv("WIN32_HELPER_OUTPUT");
    if (!output || !instance || showCommand != SW_SHOWNORMAL)
        return 1;
    std::string temporary = std::string(output) + ".part";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file)
        return 1;
    fputs(commandLine, file);
    // Whether the variable that carried the text was removed before WinMain ran.
    fputs(getenv("PUZZLE_WIN32_COMMAND_LINE") ? "\n[variable kept]" : "", file);
    fclose(file);
    return rename(temporary.c_str(), output) == 0 ? 0 : 1;
}
