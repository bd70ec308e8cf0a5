// The last-error value, the errno translation and the system's English error texts.
#include "platform/linux/win32/Internal.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

thread_local DWORD g_lastError = ERROR_SUCCESS;

#define ERROR_MR_MID_NOT_FOUND 317L

struct SystemText {
    DWORD code;
    const char* text;
};

// The texts Windows gives for every code this layer produces, with its CR LF ending.
constexpr SystemText kSystemTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command.\r\n"},
    {ERROR_BAD_FORMAT, "An attempt was made to load a program with an incorrect format.\r\n"},
    {ERROR_OUTOFMEMORY, "Not enough memory resources are available to complete this operation.\r\n"},
    {ERROR_NO_MORE_FILES, "There are no more files.\r\n"},
    {ERROR_WRITE_PROTECT, "The media is write protected.\r\n"},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning.\r\n"},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_LOCK_VIOLATION,
     "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {ERROR_HANDLE_DISK_FULL, "The disk is full.\r\n"},
    {ERROR_NOT_SUPPORTED, "The request is not supported.\r\n"},
    {ERROR_FILE_EXISTS, "The file exists.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_BUFFER_OVERFLOW, "The file name is too long.\r\n"},
    {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_NEGATIVE_SEEK,
     "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.\r\n"},
    {ERROR_DIRECTORY, "The directory name is invalid.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle.\r\n"},
    {ERROR_CANNOT_FIND_WND_CLASS, "Cannot find window class.\r\n"},
    {ERROR_CLASS_ALREADY_EXISTS, "Class already exists.\r\n"},
};

} // namespace

DWORD GetLastError(void) {
    return g_lastError;
}

void SetLastError(DWORD error) {
    g_lastError = error;
}

namespace layer {

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EBUSY:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOEXEC:
        return ERROR_BAD_FORMAT;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD SetLastErrorFromErrno() {
    DWORD code = ErrorFromErrno(errno);
    SetLastError(code);
    return code;
}

} // namespace layer

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     void* arguments) {
    (void)source, (void)languageId, (void)arguments;
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = nullptr;
    for (const SystemText& entry : kSystemTexts)
        if (entry.code == messageId)
            text = entry.text;
    if (!text) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    DWORD length = DWORD(strlen(text));
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // The caller frees the text with LocalFree; size is then the least to allocate.
        size_t bytes = std::max<size_t>(length + 1, size);
        char* copy = static_cast<char*>(malloc(bytes));
        if (!copy) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        memcpy(copy, text, length + 1);
        *reinterpret_cast<char**>(buffer) = copy;
        return length;
    }
    if (size < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(buffer, text, length + 1);
    return length;
}

HLOCAL LocalFree(HLOCAL memory) {
    free(memory);
    return nullptr;
}

void OutputDebugStringA(LPCSTR text) {
    if (!text)
        return;
    std::string utf8 = layer::Cp1250ToUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i)
        if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n'))
            out += utf8[i];
    for (size_t at = 0; at < out.size();) {
        ssize_t written = write(STDERR_FILENO, out.data() + at, out.size() - at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        at += size_t(written);
    }
}
