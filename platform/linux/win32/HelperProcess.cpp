// CHelperProcess: posix_spawn with a socket pair and a sealed memory file, every wait bounded by
// poll.
#include "platform/HelperProcess.h"
#include "platform/linux/Hooks.h"
#include "platform/linux/win32/Internal.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

uint64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    const std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.find_last_of('/') + 1);
}

// The helper beside the running program; failing that (a program copied out of its folder
// alone, as tests do), the one in the folder the build put it in.
std::string FindHelper(const char* name) {
    const std::string& hooked = layer::HelperFolder();
    if (!hooked.empty())
        return hooked + "/" + name;
    const std::string beside = ExecutableFolder() + name;
#ifdef PUZZLE_HELPER_BUILD_DIR
    if (access(beside.c_str(), X_OK) != 0) {
        const std::string built = std::string(PUZZLE_HELPER_BUILD_DIR) + "/" + name;
        if (access(built.c_str(), X_OK) == 0)
            return built;
    }
#endif
    return beside;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

CHelperProcess::~CHelperProcess() {
    Stop();
}

bool CHelperProcess::Start(const char* name, const std::vector<std::string>& arguments, DWORD milliseconds) {
    Stop();
    m_deadline = NowMs() + milliseconds;
    const std::string program = FindHelper(name);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    m_stream = pair[0];
    m_shared = memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (m_shared < 0) {
        close(pair[1]);
        Stop();
        return false;
    }

    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    // In the child: the stream on 0 and 1, the shared memory on 3, the error output kept, every
    // other descriptor closed; default signal handling and mask.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    posix_spawn_file_actions_adddup2(&actions, m_shared, 3);
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pair[1]);
    if (error != 0) {
        Stop();
        return false;
    }
    m_pid = pid;
    fcntl(m_stream, F_SETFL, fcntl(m_stream, F_GETFL) | O_NONBLOCK);
    return true;
}

bool CHelperProcess::WaitReady(int fd, short events) {
    for (;;) {
        const uint64_t now = NowMs();
        if (now >= m_deadline)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::min<uint64_t>(m_deadline - now, INT_MAX)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool CHelperProcess::Read(void* buffer, size_t size) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size > 0 && m_stream >= 0) {
        const ssize_t n = recv(m_stream, p, size, MSG_DONTWAIT);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR) || !WaitReady(m_stream, POLLIN)) {
            return false;
        }
    }
    return size == 0;
}

bool CHelperProcess::Write(const void* buffer, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (size > 0 && m_stream >= 0) {
        const ssize_t n = send(m_stream, p, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
        } else if ((n < 0 && errno != EAGAIN && errno != EINTR) || !WaitReady(m_stream, POLLOUT)) {
            return false;
        }
    }
    return size == 0;
}

bool CHelperProcess::SizeShared(uint64_t size) {
    return m_shared >= 0 && size <= static_cast<uint64_t>(LLONG_MAX) &&
           ftruncate(m_shared, static_cast<off_t>(size)) == 0 &&
           fcntl(m_shared, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0;
}

bool CHelperProcess::ReadShared(uint64_t offset, void* buffer, size_t size) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size > 0 && m_shared >= 0) {
        const ssize_t n = pread(m_shared, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return size == 0;
}

std::shared_ptr<uint8_t[]> CHelperProcess::MapShared(uint64_t size) {
    struct stat info {};
    // The file is sealed against shrinking (SizeShared), so the mapping can never lose its pages.
    if (m_shared < 0 || size == 0 || fstat(m_shared, &info) != 0 ||
        static_cast<uint64_t>(info.st_size) < size || (fcntl(m_shared, F_GET_SEALS) & F_SEAL_SHRINK) == 0)
        return nullptr;
    // Writable so that the caller can give pages back (DiscardVirtualMemory) once read. Pages are
    // mapped as they are first read, not all at once: a caller that reads the bytes in order and
    // gives each part back after use never has the whole file in its resident set.
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, m_shared, 0);
    if (view == MAP_FAILED)
        return nullptr;
    return std::shared_ptr<uint8_t[]>(static_cast<uint8_t*>(view), [size](uint8_t* p) { munmap(p, size); });
}

void CHelperProcess::DropShared() {
    CloseFd(m_shared);
}

void CHelperProcess::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    CloseFd(m_stream);
    CloseFd(m_shared);
}
