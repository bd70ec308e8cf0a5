#include "ProgramFolder.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <climits>
#include <cstring>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string TakeString(gchar* text) {
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

bool SameFile(const std::string& a, const std::string& b) {
    GStatBuf x, y;
    return g_stat(a.c_str(), &x) == 0 && g_stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

std::string UserDataFolder() {
    const gchar* data = g_getenv("XDG_DATA_HOME");
    if (data && g_path_is_absolute(data))
        return data;
    const gchar* home = g_get_home_dir();
    return home && g_path_is_absolute(home) ? std::string(home) + "/.local/share" : std::string();
}

// A link of that name to target, unless something that is not a link is in the way.
void Link(const std::string& target, const std::string& link) {
    if (g_file_test(link.c_str(), G_FILE_TEST_IS_SYMLINK)) {
        if (TakeString(g_file_read_link(link.c_str(), nullptr)) == target)
            return;
        g_unlink(link.c_str());
    } else if (g_file_test(link.c_str(), G_FILE_TEST_EXISTS)) {
        return;
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        // Made by another start at the same moment, or refused: the launcher runs on regardless.
    }
}

} // namespace

std::string StartedLauncherPath(const char* argv0) {
    std::string exe = TakeString(g_file_read_link("/proc/self/exe", nullptr));
    if (!argv0 || !std::strchr(argv0, '/'))
        return exe;
    std::string folder = TakeString(g_path_get_dirname(argv0));
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved))
        return exe;
    std::string name = TakeString(g_path_get_basename(argv0));
    std::string started = TakeString(g_build_filename(resolved, name.c_str(), nullptr));
    return !exe.empty() && SameFile(started, exe) ? started : exe;
}

std::string OwnLauncherPath(const std::string& started) {
    std::string installed = TakeString(g_path_get_dirname(started.c_str()));
    if (started.empty() || g_access(installed.c_str(), W_OK) == 0)
        return started;
    std::string data = UserDataFolder();
    if (data.empty())
        return started;
    std::string folder = data + "/tarvenkol-puzzle";
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0 || g_access(folder.c_str(), W_OK | X_OK) != 0)
        return started;
    for (const char* name : {"Game", "PictureDecoder", "Puzzle", "Gfx"})
        Link(installed + "/" + name, folder + "/" + name);
    return folder + "/" + TakeString(g_path_get_basename(started.c_str()));
}
