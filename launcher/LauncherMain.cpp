#include "LauncherDialog.h"

#include "startup/ProgramFolder.h"

#include <glib/gstdio.h>

#include <cstdio>
#include <string>

namespace {

// Where the launcher runs from; from an installation its user cannot write, its stand-in in the
// user's program folder, which then becomes the current directory (saved games live there).
startup::ProgramPlace LauncherPlace(const char* argv0) {
    std::string started = startup::StartedProgramPath(argv0);
    startup::ProgramPlace place = startup::ChooseProgramPlace(started);
    if (place.path != started) {
        gchar* folder = g_path_get_dirname(place.path.c_str());
        if (g_chdir(folder) != 0)
            place.path = started;
        g_free(folder);
    }
    return place;
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
    startup::ProgramPlace place = LauncherPlace(argc > 0 ? argv[0] : nullptr);
    if (!place.problem.empty())
        fprintf(stderr, "%s: %s\n", argc > 0 ? argv[0] : "Puzzle", place.problem.c_str());
    // The X11 instance name is the program's own file name (Game starts it as "Puzzle.exe").
    gchar* name = g_path_get_basename(place.path.c_str());
    g_set_prgname(name);
    g_free(name);
    if (!gtk_init_check(&argc, &argv)) {
        return 1;
    }
    // Both programs' windows carry the window class of the desktop entry's StartupWMClass.
    gdk_set_program_class("TARVENKOL_PUZZLE");
    CLauncherDialog dialog(GameProgramPath(place.path));
    dialog.Run(place.problem);
    return 0;
}
