#include "startup/ProgramFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace startup {

namespace {

constexpr const char* kUserFolderName = "tarvenkol-puzzle";
constexpr const char* kLinkedNames[] = {"Game", "PictureDecoder", "Puzzle", "Gfx"};

// The folder part of a path, with its closing slash ("/usr/lib/x/" for "/usr/lib/x/Game").
std::string FolderWithSlash(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string Home() {
    const char* home = getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && home[0] == '/' ? std::string(home) : std::string();
}

// Why a folder could not be made in parent (errno error).
std::string MakingFailed(int error, const std::string& parent) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "brak prawa zapisu w folderze " + parent;
    case EROFS:
        return "folder " + parent + " leży w systemie plików tylko do odczytu";
    case ENOTDIR:
        return parent + " nie jest folderem";
    case ENOSPC:
    case EDQUOT:
        return "brak miejsca na dysku";
    default:
        return strerror(error);
    }
}

// mkdir -p, new folders readable by their owner only; the reason when the folder cannot be made or
// written, empty on success.
std::string MakeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return MakingFailed(errno, Parent(part));
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return path + " nie jest folderem";
    if (access(path.c_str(), W_OK | X_OK) != 0)
        return "brak prawa zapisu w folderze " + path;
    return std::string();
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

std::string Problem(const std::string& folder, const std::string& reason, const std::string& installed) {
    return "Nie można utworzyć folderu użytkownika" + (folder.empty() ? std::string() : " " + folder) + " (" +
           reason + "). W folderze programu " + Parent(installed) +
           " nie można zapisywać, więc nie da się zapisać ani gry, ani dziennika błędów.";
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

ProgramPlace ChooseProgramPlace(const std::string& programPath) {
    std::string installed = FolderWithSlash(programPath);
    if (installed.empty() || access(installed.c_str(), W_OK) == 0)
        return {programPath, std::string()};

    std::string data;
    std::string home;
    const char* dataHome = getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        data = dataHome;
    } else {
        home = Home();
        if (home.empty())
            return {programPath, Problem("", "nie wiadomo, gdzie jest folder domowy", installed)};
        data = home + "/.local/share";
    }
    std::string folder = data + "/" + kUserFolderName;
    std::string reason = MakeFolders(folder);
    if (!reason.empty()) {
        if (!home.empty() && !Exists(home))
            reason = "folder domowy " + home + " nie istnieje";
        return {programPath, Problem(folder, reason, installed)};
    }
    for (const char* name : kLinkedNames)
        LinkTo(installed + name, folder + "/" + name);
    return {folder + "/" + programPath.substr(installed.size()), std::string()};
}

} // namespace startup
