// Files with Windows' sharing and read-only rules.
//
// Share modes are kept with open-file-description locks, which bind every other open of the
// file, in this process and in others, and vanish with the descriptor. Each open holds a
// shared lock on one "role" byte per access it has and per sharing it refuses, far beyond
// any real data; it then asks whether another open holds the opposite role byte. An open
// that wants to write conflicts with one that refuses writers, and so on, which is exactly
// the Windows rule, and a share mode of 0 therefore excludes every other open.
#include "platform/linux/win32/Internal.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

enum Role : off_t { kReading, kWriting, kRefusingReaders, kRefusingWriters, kRefusingDelete };
constexpr off_t kRoleBase = off_t(1) << 62;

struct CFileHandle {
    int fd;
    bool writable;
};

std::mutex g_filesMutex;
std::unordered_set<CFileHandle*> g_files;

CFileHandle* FindFile(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_filesMutex);
    auto* file = static_cast<CFileHandle*>(handle);
    return g_files.count(file) ? file : nullptr;
}

bool HoldRole(int fd, Role role) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kRoleBase + role;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open of the file holds the role.
bool OtherHolds(int fd, Role role) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kRoleBase + role;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

bool IsReadOnly(const struct stat& info) {
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// ENOENT means a missing file when its folder exists, a missing path otherwise.
DWORD MissingError(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return ERROR_FILE_NOT_FOUND;
    struct stat info {};
    std::string folder = path.substr(0, slash);
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                     : ERROR_PATH_NOT_FOUND;
}

// stat (lstat with `link`) of a file name handed to the API: false, with the last error as
// Windows sets it, for an empty name or a file that cannot be examined.
bool StatFileName(LPCSTR fileName, bool link, std::string& path, struct stat& info) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    path = layer::PosixPath(fileName);
    if ((link ? lstat(path.c_str(), &info) : stat(path.c_str(), &info)) != 0) {
        SetLastError(errno == ENOENT ? MissingError(path) : layer::ErrorFromErrno(errno));
        return false;
    }
    return true;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                   DWORD creationDisposition, DWORD flags, HANDLE templateFile) {
    (void)security, (void)templateFile;
    if (!fileName || !*fileName || creationDisposition < CREATE_NEW ||
        creationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);
    const bool reads = access & GENERIC_READ;
    const bool writes = access & GENERIC_WRITE;
    if (creationDisposition == TRUNCATE_EXISTING && !writes)
        return Fail(ERROR_INVALID_PARAMETER);
    const bool truncates = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;

    std::string path = layer::PosixPath(fileName);
    struct stat info {};
    bool exists = stat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return Fail(layer::ErrorFromErrno(errno));
    if (exists) {
        if (S_ISDIR(info.st_mode))
            return Fail(ERROR_ACCESS_DENIED);
        if (creationDisposition == CREATE_NEW)
            return Fail(ERROR_FILE_EXISTS);
        // The read-only attribute binds every user on Windows, administrators included;
        // root would pass the permission check of open(), so it is made here.
        if ((writes || truncates) && IsReadOnly(info))
            return Fail(ERROR_ACCESS_DENIED);
    } else if (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING) {
        return Fail(MissingError(path));
    }

    // Role locks are read locks, which need a readable descriptor: a writer opens for
    // reading too where the permissions allow it (WriteFile is all it is ever used for).
    int openFlags = (writes ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (!exists)
        openFlags |= O_CREAT | (creationDisposition == CREATE_NEW ? O_EXCL : 0);
    mode_t permissions = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = open(path.c_str(), openFlags, permissions);
    bool lockable = true;
    if (fd < 0 && errno == EACCES && writes) {
        fd = open(path.c_str(), (openFlags & ~O_RDWR) | O_WRONLY, permissions);
        lockable = false;
    }
    if (fd < 0) {
        DWORD error = errno == ENOENT ? MissingError(path) : layer::ErrorFromErrno(errno);
        return Fail(errno == EEXIST ? DWORD(ERROR_FILE_EXISTS) : error);
    }

    bool held = !lockable || ((!reads || HoldRole(fd, kReading)) && (!writes || HoldRole(fd, kWriting)) &&
                              ((shareMode & FILE_SHARE_READ) || HoldRole(fd, kRefusingReaders)) &&
                              ((shareMode & FILE_SHARE_WRITE) || HoldRole(fd, kRefusingWriters)) &&
                              ((shareMode & FILE_SHARE_DELETE) || HoldRole(fd, kRefusingDelete)));
    if (!held) {
        DWORD error = layer::ErrorFromErrno(errno);
        close(fd);
        return Fail(error);
    }
    bool conflict = lockable && ((reads && OtherHolds(fd, kRefusingReaders)) ||
                                 (writes && OtherHolds(fd, kRefusingWriters)) ||
                                 (!(shareMode & FILE_SHARE_READ) && OtherHolds(fd, kReading)) ||
                                 (!(shareMode & FILE_SHARE_WRITE) && OtherHolds(fd, kWriting)));
    if (conflict) {
        close(fd);
        return Fail(ERROR_SHARING_VIOLATION);
    }
    if (exists && truncates && ftruncate(fd, 0) != 0) {
        DWORD error = layer::ErrorFromErrno(errno);
        close(fd);
        return Fail(error);
    }

    auto* file = new CFileHandle{fd, writes};
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        g_files.insert(file);
    }
    bool reportsExisting =
        exists && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    CFileHandle* file = FindFile(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int whence = moveMethod == FILE_BEGIN     ? SEEK_SET
                 : moveMethod == FILE_CURRENT ? SEEK_CUR
                 : moveMethod == FILE_END     ? SEEK_END
                                              : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit value; with one, the two form a
    // signed 64-bit distance.
    int64_t offset = distanceHigh ? int64_t((uint64_t(uint32_t(*distanceHigh)) << 32) | uint32_t(distance))
                                  : int64_t(distance);
    off_t base = whence == SEEK_SET ? 0 : lseek(file->fd, 0, whence);
    if (base < 0 || base + offset < 0) {
        SetLastError(base < 0 ? layer::ErrorFromErrno(errno) : DWORD(ERROR_NEGATIVE_SEEK));
        return INVALID_SET_FILE_POINTER;
    }
    off_t position = lseek(file->fd, base + offset, SEEK_SET);
    if (position < 0) {
        layer::SetLastErrorFromErrno();
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = LONG(uint64_t(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return DWORD(uint64_t(position) & 0xffffffffu);
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, void* overlapped) {
    (void)overlapped;
    if (bytesWritten)
        *bytesWritten = 0;
    CFileHandle* file = FindFile(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!buffer && bytesToWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->writable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const char* bytes = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < bytesToWrite) {
        ssize_t n = write(file->fd, bytes + done, bytesToWrite - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            layer::SetLastErrorFromErrno();
            if (bytesWritten)
                *bytesWritten = done;
            return FALSE;
        }
        done += DWORD(n);
    }
    if (bytesWritten)
        *bytesWritten = done;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    auto* file = static_cast<CFileHandle*>(object);
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        if (!g_files.erase(file)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    close(file->fd);
    delete file;
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    std::string path;
    struct stat info {};
    if (!StatFileName(fileName, false, path, info))
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = S_ISDIR(info.st_mode)   ? FILE_ATTRIBUTE_DIRECTORY
                       : S_ISREG(info.st_mode) ? FILE_ATTRIBUTE_ARCHIVE
                                               : FILE_ATTRIBUTE_DEVICE;
    if (IsReadOnly(info))
        attributes |= FILE_ATTRIBUTE_READONLY;
    std::string::size_type slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 1 && name[0] == '.' && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

BOOL DeleteFileA(LPCSTR fileName) {
    std::string path;
    struct stat info {};
    if (!StatFileName(fileName, true, path, info))
        return FALSE;
    if (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && IsReadOnly(info))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (S_ISREG(info.st_mode)) {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            bool refused = OtherHolds(fd, kRefusingDelete);
            close(fd);
            if (refused) {
                SetLastError(ERROR_SHARING_VIOLATION);
                return FALSE;
            }
        }
    }
    if (unlink(path.c_str()) != 0) {
        layer::SetLastErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}
