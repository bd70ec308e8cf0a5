#include "LauncherDialog.h"

#include <string>

namespace {

// Game is installed beside the launcher.
std::string GameProgramPath() {
    std::string folder = ".";
    if (gchar* self = g_file_read_link("/proc/self/exe", nullptr)) {
        gchar* dir = g_path_get_dirname(self);
        folder = dir;
        g_free(dir);
        g_free(self);
    }
    return folder + "/Game";
}

} // namespace

// Exit codes: 0 when the dialog has ended (with or without a game started), 1 when the user
// interface cannot start (no display).
int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) {
        return 1;
    }
    CLauncherDialog dialog(GameProgramPath());
    dialog.Run();
    return 0;
}
