// The program's icon, built into a program as Windows builds one into its executable. The
// layer gives every window of the program this icon; a program built without one (the tests)
// leaves this symbol undefined and its windows get none.
#pragma once

#include <cstdint>

namespace layer {

struct ProgramIcon {
    int width;
    int height;
    const uint32_t* argb; // rows from the top
};

extern const ProgramIcon g_programIcon __attribute__((weak));

} // namespace layer
