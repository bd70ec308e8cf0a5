#include "decoder/Confinement.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace decoder {

namespace {

#if defined(__x86_64__)
constexpr uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
#error "the decoder's system-call filter knows x86-64 and AArch64"
#endif

// Landlock, declared here because the C library's headers may predate the kernel's features.
constexpr int kLandlockRulePathBeneath = 1;
constexpr uint32_t kLandlockCreateRulesetVersion = 1u << 0;
constexpr uint64_t kAccessFsReadFile = 1ull << 2;

struct RulesetAttr {
    uint64_t handledAccessFs;
    uint64_t handledAccessNet;
    uint64_t scoped;
};

struct __attribute__((packed)) PathBeneathAttr {
    uint64_t allowedAccess;
    int32_t parentFd;
};

// Every file-system right the kernel's Landlock version knows, every network right, every scope.
RulesetAttr RulesetFor(int abi) {
    RulesetAttr attr{};
    attr.handledAccessFs = (1ull << 13) - 1; // execute ... make_sym (version 1)
    if (abi >= 2)
        attr.handledAccessFs |= 1ull << 13; // refer
    if (abi >= 3)
        attr.handledAccessFs |= 1ull << 14; // truncate
    if (abi >= 5)
        attr.handledAccessFs |= 1ull << 15; // ioctl on devices
    if (abi >= 4)
        attr.handledAccessNet = (1ull << 0) | (1ull << 1); // bind and connect TCP
    if (abi >= 6)
        attr.scoped = (1ull << 0) | (1ull << 1); // abstract unix sockets, signals
    return attr;
}

// Returns false only when Landlock exists but could not be applied; a kernel without it leaves
// the system-call filter alone in charge.
bool RestrictFileSystem(int picture) {
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, kLandlockCreateRulesetVersion);
    if (abi < 1) {
        return errno == ENOSYS || errno == EOPNOTSUPP;
    }
    const RulesetAttr attr = RulesetFor(static_cast<int>(abi));
    size_t size = sizeof(uint64_t);
    if (abi >= 6)
        size = sizeof(RulesetAttr);
    else if (abi >= 4)
        size = 2 * sizeof(uint64_t);
    const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, size, 0));
    if (ruleset < 0) {
        return false;
    }
    PathBeneathAttr rule{kAccessFsReadFile, picture};
    const bool ok = syscall(SYS_landlock_add_rule, ruleset, kLandlockRulePathBeneath, &rule, 0) == 0 &&
                    syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    close(ruleset);
    return ok;
}

class CFilter {
  public:
    void Load(uint32_t offset) { m_code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    void Return(uint32_t action) { m_code.push_back(BPF_STMT(BPF_RET | BPF_K, action)); }
    // Allows system call nr outright.
    void Allow(long nr) {
        m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(nr), 0, 1));
        Return(SECCOMP_RET_ALLOW);
    }
    // Allows nr when argument `arg` equals value; otherwise `otherwise`.
    void AllowIfEquals(long nr, int arg, uint32_t value, uint32_t otherwise) {
        AllowIf(nr, arg, BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 1), otherwise);
    }
    // Allows nr when none of `bits` is set in argument `arg`; otherwise `otherwise`.
    void AllowIfClear(long nr, int arg, uint32_t bits, uint32_t otherwise) {
        AllowIf(nr, arg, BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, bits, 1, 0), otherwise);
    }
    std::vector<sock_filter>& Code() { return m_code; }

  private:
    // For nr: `test` on the low half of argument `arg` falls through to allowing it, or skips
    // one instruction to `otherwise`; any other call goes on to the next rule with the number
    // loaded again.
    void AllowIf(long nr, int arg, sock_filter test, uint32_t otherwise) {
        m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(nr), 0, 4));
        Load(ArgLow(arg));
        m_code.push_back(test);
        Return(SECCOMP_RET_ALLOW);
        Return(otherwise);
        Load(offsetof(seccomp_data, nr));
    }
    static uint32_t ArgLow(int arg) { return offsetof(seccomp_data, args) + 8 * arg; }
    std::vector<sock_filter> m_code;
};

bool FilterSystemCalls(int output) {
    CFilter f;
    f.Load(offsetof(seccomp_data, arch));
    f.Code().push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0));
    f.Return(SECCOMP_RET_KILL_PROCESS);
    f.Load(offsetof(seccomp_data, nr));
#if defined(__x86_64__)
    // x32 system calls share the architecture value.
    f.Code().push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1));
    f.Return(SECCOMP_RET_KILL_PROCESS);
#endif
    const uint32_t denied = SECCOMP_RET_ERRNO | EACCES;
    // Reading the picture.
    for (long nr : {SYS_read, SYS_pread64, SYS_readv, SYS_lseek, SYS_fstat, SYS_newfstatat, SYS_statx,
                    SYS_close, SYS_fcntl})
        f.Allow(nr);
    // Memory, never executable.
    for (long nr : {SYS_brk, SYS_munmap, SYS_mremap, SYS_madvise})
        f.Allow(nr);
    f.AllowIfClear(SYS_mmap, 2, PROT_EXEC, SECCOMP_RET_KILL_PROCESS);
    f.AllowIfClear(SYS_mprotect, 2, PROT_EXEC, SECCOMP_RET_KILL_PROCESS);
    // The run of the process itself.
    for (long nr : {SYS_exit, SYS_exit_group, SYS_rt_sigreturn, SYS_rt_sigprocmask, SYS_futex, SYS_getrandom,
                    SYS_clock_gettime, SYS_gettid, SYS_getpid, SYS_tgkill, SYS_sched_yield, SYS_sysinfo})
        f.Allow(nr);
        // Files are opened for reading only (Landlock narrows that to the picture).
#ifdef SYS_open
    f.AllowIfClear(SYS_open, 1, O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND, denied);
#endif
    f.AllowIfClear(SYS_openat, 2, O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND, denied);
    // Writing only to Game (the shared memory is written through its mapping); a library's
    // message to the error output is refused quietly.
    f.AllowIfEquals(SYS_write, 0, static_cast<uint32_t>(output), SECCOMP_RET_ERRNO | EBADF);
    // Anything else fails as if the kernel did not have it (libraries ask for system facts and
    // cope without).
    f.Return(SECCOMP_RET_ERRNO | ENOSYS);

    sock_fprog program{static_cast<unsigned short>(f.Code().size()), f.Code().data()};
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

void EndWithParent() {
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(0);
}

void LimitResources(unsigned cpuSeconds, size_t addressSpace) {
    const rlimit cpu{cpuSeconds, cpuSeconds + 1};
    const rlimit memory{addressSpace, addressSpace};
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CPU, &cpu);
    setrlimit(RLIMIT_AS, &memory);
    setrlimit(RLIMIT_FSIZE, &none);
    setrlimit(RLIMIT_CORE, &none);
}

void CloseDescriptorsAbove(int last) {
    if (syscall(SYS_close_range, last + 1, ~0u, 0) != 0) {
        for (int fd = last + 1; fd < 1024; ++fd)
            close(fd);
    }
}

bool Confine(int picture, int output) {
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && RestrictFileSystem(picture) &&
           FilterSystemCalls(output);
}

} // namespace decoder
