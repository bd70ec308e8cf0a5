// Time, sleeping, the program's own path, the current directory, machine and user names.
#include "platform/linux/win32/Internal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <pwd.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

DWORD GetTickCount(void) {
    if (const auto& source = layer::TickSource())
        return source();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Windows counts from the system start and wraps after 49.7 days; so does this.
    return DWORD(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void Sleep(DWORD milliseconds) {
    if (const auto& sink = layer::SleepSink()) {
        sink(milliseconds);
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec left{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace {
std::string g_programPath;
} // namespace

void layer::SetProgramPath(const std::string& path) {
    g_programPath = path;
}

std::string layer::ProgramPath() {
    if (!layer::ModuleFileNameOverride().empty())
        return layer::ModuleFileNameOverride();
    if (!g_programPath.empty())
        return g_programPath;
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    return std::string(path, size_t(length));
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::string path = layer::ProgramPath();
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Too small: the path is cut to size - 1 characters, terminated, and size is returned.
    if (path.size() >= size) {
        memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return DWORD(path.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (chdir(layer::PosixPath(path).c_str()) != 0) {
        DWORD error = layer::SetLastErrorFromErrno();
        if (errno == ENOTDIR)
            SetLastError(ERROR_DIRECTORY);
        else if (error == ERROR_FILE_NOT_FOUND)
            SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    char path[PATH_MAX];
    if (!getcwd(path, sizeof path)) {
        layer::SetLastErrorFromErrno();
        return 0;
    }
    DWORD length = DWORD(strlen(path));
    // Too small: nothing is copied and the size needed, terminator included, is returned.
    if (!buffer || size < length + 1)
        return length + 1;
    memcpy(buffer, path, length + 1);
    return length;
}

void GetSystemTime(SYSTEMTIME* time) {
    if (!time)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    time->wYear = WORD(utc.tm_year + 1900);
    time->wMonth = WORD(utc.tm_mon + 1);
    time->wDayOfWeek = WORD(utc.tm_wday);
    time->wDay = WORD(utc.tm_mday);
    time->wHour = WORD(utc.tm_hour);
    time->wMinute = WORD(utc.tm_min);
    time->wSecond = WORD(std::min(utc.tm_sec, 59));
    time->wMilliseconds = WORD(now.tv_nsec / 1000000);
}

namespace {

// Windows' buffer rule for names: on success *size is the length without the terminator
// (computer name) or with it (user name); too small a buffer fails and reports the size needed.
BOOL CopyName(const std::string& name, LPSTR buffer, LPDWORD size, DWORD tooSmallError,
              bool countTerminator) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD needed = DWORD(name.size() + 1);
    if (!buffer || *size < needed) {
        *size = needed;
        SetLastError(tooSmallError);
        return FALSE;
    }
    memcpy(buffer, name.c_str(), needed);
    *size = countTerminator ? needed : needed - 1;
    return TRUE;
}

} // namespace

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
    // Windows reports the NetBIOS name: the host name's first label, at most 15 characters,
    // in capitals.
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) {
        layer::SetLastErrorFromErrno();
        return FALSE;
    }
    std::string name(host, strcspn(host, "."));
    if (name.size() > 15)
        name.resize(15);
    for (char& c : name)
        c = char(toupper(static_cast<unsigned char>(c)));
    return CopyName(name, buffer, size, ERROR_BUFFER_OVERFLOW, false);
}

DWORD GetCurrentProcessId(void) {
    return DWORD(getpid());
}

DWORD DiscardVirtualMemory(LPVOID address, size_t size) {
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(address) + page - 1) / page * page;
    const uintptr_t end = (uintptr_t(address) + size) / page * page;
    if (end <= begin)
        return ERROR_SUCCESS;
    // Unmapping a shared file's pages from this process would leave them in the file: only
    // MADV_REMOVE frees them, and it needs a writable mapping (EACCES otherwise, reported).
    // Private memory refuses it with EINVAL and takes MADV_DONTNEED.
    void* start = reinterpret_cast<void*>(begin);
    if (madvise(start, end - begin, MADV_REMOVE) == 0 ||
        (errno == EINVAL && madvise(start, end - begin, MADV_DONTNEED) == 0))
        return ERROR_SUCCESS;
    return ERROR_INVALID_PARAMETER;
}

BOOL GetUserNameA(LPSTR buffer, LPDWORD size) {
    std::string name;
    char record[4096];
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, record, sizeof record, &found) == 0 && found && found->pw_name)
        name = found->pw_name;
    else if (const char* user = getenv("USER"))
        name = user;
    if (name.empty()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return CopyName(name, buffer, size, ERROR_INSUFFICIENT_BUFFER, true);
}
