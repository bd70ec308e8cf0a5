// WinExec: Windows command-line splitting, "X.exe" as the program X, a detached start.
#include "platform/linux/win32/Internal.h"
#include "startup/CommandLine.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool IsProgram(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool EndsWithExe(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = char(tolower(static_cast<unsigned char>(c)));
    return tail == ".exe";
}

// The folder of the program's own path (GetModuleFileNameA's), not of the file it links to.
std::string ProgramFolder() {
    std::string folder = layer::ProgramPath();
    size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// Where Windows would find the program: a name with a folder part as given (relative to the
// current directory); a bare name in the caller's own folder first, then the current one.
// "X.exe" is the program X; a name without ".exe" also matches X.exe's stripped form.
std::string FindProgram(const std::string& name) {
    std::string path = layer::PosixPath(name.c_str());
    std::vector<std::string> candidates;
    if (path.find('/') != std::string::npos) {
        candidates.push_back(path);
    } else {
        std::string folder = ProgramFolder();
        if (!folder.empty())
            candidates.push_back(folder + path);
        candidates.push_back("./" + path);
    }
    for (const std::string& candidate : candidates) {
        if (EndsWithExe(candidate) && IsProgram(candidate.substr(0, candidate.size() - 4)))
            return candidate.substr(0, candidate.size() - 4);
        if (IsProgram(candidate))
            return candidate;
    }
    return std::string();
}

} // namespace

UINT WinExec(LPCSTR commandLine, UINT showCommand) {
    if (const auto& sink = layer::WinExecSink())
        return sink(commandLine, showCommand);

    std::vector<std::string> args = startup::SplitCommandLine(commandLine ? commandLine : "");
    if (args.empty() || args[0].empty())
        return ERROR_FILE_NOT_FOUND;
    std::string program = FindProgram(args[0]);
    if (program.empty())
        return ERROR_FILE_NOT_FOUND;

    // Everything the started process needs is built before fork: between fork and exec
    // only async-signal-safe calls are allowed.
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string variable = std::string(startup::kCommandLineVariable) + "=" + commandLine;
    std::vector<char*> envp;
    size_t prefixLength = strlen(startup::kCommandLineVariable) + 1;
    for (char** e = environ; *e; ++e)
        if (strncmp(*e, variable.c_str(), prefixLength) != 0)
            envp.push_back(*e);
    envp.push_back(variable.data());
    envp.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return 0;
    // Double fork: the intermediate child ends at once and is reaped here, so the started
    // program belongs to init, is never waited for and never becomes our zombie.
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return 0;
    }
    if (child == 0) {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            setsid();
            execve(program.c_str(), argv.data(), envp.data());
            int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    ssize_t got;
    while ((got = read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 0;
    if (got == ssize_t(sizeof execError)) {
        if (execError == ENOENT)
            return ERROR_FILE_NOT_FOUND;
        if (execError == EACCES || execError == EPERM)
            return ERROR_ACCESS_DENIED;
        return ERROR_BAD_FORMAT;
    }
    return 33;
}
