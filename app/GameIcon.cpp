// Game's icon, built into the program like a Windows program's icon resource: the launcher's
// jigsaw piece (drawn by tools/MakeGfx --icons), which the window layer gives Game's window.
#include "platform/linux/ProgramIcon.h"

namespace {
const uint32_t kPixels[] = {
#include "launcher/icons/ProgramIcon.inc"
};
} // namespace

const layer::ProgramIcon layer::g_programIcon = {48, 48, kPixels};
