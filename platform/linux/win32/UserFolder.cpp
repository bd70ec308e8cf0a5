// The per-user program folder of an installation its user cannot write.
#include "platform/linux/UserFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace layer {

namespace {

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string UserDataFolder() {
    const char* data = getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return data;
    const char* home = getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/')
        return std::string();
    return std::string(home) + "/.local/share";
}

// mkdir -p, new folders readable by their owner only.
bool MakeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && access(path.c_str(), W_OK | X_OK) == 0;
}

void LinkTo(const std::string& target, const std::string& link) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode))
            return;
        char current[PATH_MAX];
        ssize_t length = readlink(link.c_str(), current, sizeof current - 1);
        if (length >= 0 && std::string(current, size_t(length)) == target)
            return;
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        // Made by another start at the same moment, or refused: the program runs on regardless.
    }
}

} // namespace

std::string StartedProgramPath(const char* argv0) {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string exe = length > 0 ? std::string(self, size_t(length)) : std::string();
    if (!argv0 || !strchr(argv0, '/'))
        return exe;
    // The folder made absolute and plain ("./", "../" and links resolved), the name kept as
    // given: a link to the program keeps its own name.
    std::string started = argv0;
    size_t slash = started.find_last_of('/');
    std::string folder = slash == 0 ? std::string("/") : started.substr(0, slash);
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved))
        return exe;
    started = std::string(resolved) + (resolved[1] ? "/" : "") + started.substr(slash + 1);
    struct stat a {
    }, b{};
    if (exe.empty() || stat(started.c_str(), &a) != 0 || stat(exe.c_str(), &b) != 0 || a.st_dev != b.st_dev ||
        a.st_ino != b.st_ino)
        return exe;
    return started;
}

std::string UserProgramPath(const std::string& programPath) {
    std::string installed = Folder(programPath);
    if (installed.empty() || access(installed.c_str(), W_OK) == 0)
        return programPath;
    std::string data = UserDataFolder();
    if (data.empty())
        return programPath;
    std::string folder = data + "/tarvenkol-puzzle";
    if (!MakeFolders(folder))
        return programPath;
    for (const char* name : {"Game", "PictureDecoder", "Puzzle", "Gfx"})
        LinkTo(installed + name, folder + "/" + name);
    return folder + "/" + programPath.substr(installed.size());
}

} // namespace layer
