#include "LauncherDialog.h"
#include "ProgramFolder.h"

#include <glib/gstdio.h>

#include <string>

namespace {

// The launcher's own path; from an installation its user cannot write, its stand-in in the
// user's program folder, which then becomes the current directory (saved games live there).
std::string LauncherProgramPath(const char* argv0) {
    std::string started = StartedLauncherPath(argv0);
    std::string own = OwnLauncherPath(started);
    if (own != started) {
        gchar* folder = g_path_get_dirname(own.c_str());
        if (g_chdir(folder) != 0)
            own = started;
        g_free(folder);
    }
    return own;
}

// Game is installed beside the launcher.
std::string GameProgramPath(const std::string& launcherPath) {
    gchar* folder = g_path_get_dirname(launcherPath.c_str());
    std::string game = std::string(folder) + "/Game";
    g_free(folder);
    return game;
}

} // namespace

// Exit codes: 0 when the dialog has ended (with or without a game started), 1 when the user
// interface cannot start (no display).
int main(int argc, char** argv) {
    std::string self = LauncherProgramPath(argc > 0 ? argv[0] : nullptr);
    if (!gtk_init_check(&argc, &argv)) {
        return 1;
    }
    // Both programs' windows carry the window class of the desktop entry's StartupWMClass.
    gdk_set_program_class("TARVENKOL_PUZZLE");
    CLauncherDialog dialog(GameProgramPath(self));
    dialog.Run();
    return 0;
}
