// C runtime, text helpers and system services of the Win32 layer.
#include "platform/CRT.h"
#include "platform/Win32.h"
#include "platform/linux/Hooks.h"
#include "platform/linux/win32/Internal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

TEST(CRuntime, RandIsTheWindowsGenerator) {
    for (int pass = 0; pass < 2; ++pass) {
        srand(1);
        for (int expected : {41, 18467, 6334, 26500, 19169})
            EXPECT_EQ(rand(), expected);
    }
    // The range is 15 bits whatever the seed.
    srand(0xDEADBEEF);
    int highest = 0;
    for (int i = 0; i < 100000; ++i)
        highest = std::max(highest, rand());
    EXPECT_EQ(highest, 32767);
    EXPECT_EQ(RAND_MAX, 32767);
}

TEST(CRuntime, SplitPathHandlesBothSeparatorsDotsMissingPartsAndLongNames) {
    const std::string longName(400, 'n');
    const std::string cases[][5] = {
        {"C:\\Gry\\Puzzle\\Game.exe", "C:", "\\Gry\\Puzzle\\", "Game", ".exe"},
        {"/opt/puzzle.d/bin/Game", "", "/opt/puzzle.d/bin/", "Game", ""},
        {"a/b\\c.d/kot.tar.gz", "", "a/b\\c.d/", "kot.tar", ".gz"},
        {"plik", "", "", "plik", ""},
        {"d/" + longName + ".e", "", "d/", longName.substr(0, _MAX_FNAME - 1), ".e"}, // cut to the buffer
    };
    for (const auto& c : cases) {
        char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(c[0].c_str(), drive, dir, fname, ext);
        EXPECT_EQ((std::vector<std::string>{drive, dir, fname, ext}), std::vector<std::string>(c + 1, c + 5));
    }
    // Null outputs are skipped.
    char fname[_MAX_FNAME];
    _splitpath("x/y.z", nullptr, nullptr, fname, nullptr);
    EXPECT_STREQ(fname, "y");
}

TEST(CodePage, ConvertsWindows1250) {
    EXPECT_EQ(layer::Cp1250ToUtf8("Za\xBF\xF3\xB3\xE6 g\xEA\x9C l\xB9 ja\x9F\xF1"), "Zażółć gęś lą jaźń");
    EXPECT_EQ(layer::Cp1250ToUtf8("\x80\xA5\x8C"), "€ĄŚ");
    EXPECT_EQ(uint8_t(layer::CodePointToCp1250(U'ą')), 0xB9);
    EXPECT_EQ(uint8_t(layer::CodePointToCp1250(U'Ż')), 0xAF);
    EXPECT_EQ(layer::CodePointToCp1250(U'A'), 'A');
    EXPECT_EQ(layer::CodePointToCp1250(U'ß'), '\xDF');
    EXPECT_EQ(layer::CodePointToCp1250(U'я'), '?');
}

TEST(SystemErrors, TextsEndInCrLfAndUnknownCodesFail) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
        ERROR_SHARING_VIOLATION, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "The process cannot access the file because it is being used by another process.\r\n");
    EXPECT_EQ(length, strlen(text));
    EXPECT_EQ(LocalFree(text), nullptr);

    // Every code the errno translation produces has its text.
    for (int error : {0, ENOENT, ENOTDIR, EMFILE, EACCES, EBADF, ENOMEM, EROFS, EWOULDBLOCK, ENOSPC, EEXIST,
                      EINVAL, ENAMETOOLONG, ENOEXEC, ENOTSUP, EIO, EXDEV}) {
        char* message = nullptr;
        DWORD code = layer::ErrorFromErrno(error);
        ASSERT_GT(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                     FORMAT_MESSAGE_FROM_SYSTEM,
                                 nullptr, code, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr),
                  0u)
            << code;
        EXPECT_TRUE(std::string(message).ends_with("\r\n"));
        LocalFree(message);
    }

    text = nullptr;
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 999999, 0,
                             reinterpret_cast<LPSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(text, nullptr);

    char small[8];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, sizeof small,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST(System, ModuleFileNameTruncatesAsWindowsDoes) {
    char real[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", real, sizeof real - 1), 0);
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    EXPECT_EQ(std::string(buffer, length), real);

    char shortBuffer[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, shortBuffer, 5), 5u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(shortBuffer), std::string(real).substr(0, 4));

    layer::SetModuleFileName("/gry/puzzle/Game");
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, MAX_PATH), 16u);
    EXPECT_STREQ(buffer, "/gry/puzzle/Game");
    layer::SetModuleFileName("");
}

TEST(System, CurrentDirectoryAcceptsBackslashesAndReportsTheSizeNeeded) {
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA("\\tmp\\"));
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), 4u);
    EXPECT_STREQ(buffer, "/tmp");
    char small[3] = {'x', 'y', 'z'};
    EXPECT_EQ(GetCurrentDirectoryA(3, small), 5u);
    EXPECT_EQ(small[0], 'x');

    EXPECT_FALSE(SetCurrentDirectoryA("/no/such/folder"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(SetCurrentDirectoryA(saved));
}

TEST(System, NamesFollowTheWindowsBufferRules) {
    char name[16];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    EXPECT_EQ(size, strlen(name));
    EXPECT_LE(size, 15u);
    for (char c : std::string(name))
        EXPECT_FALSE(islower(static_cast<unsigned char>(c)));

    DWORD tiny = 1;
    EXPECT_FALSE(GetComputerNameA(name, &tiny));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(tiny, size + 1);

    char user[257];
    DWORD userSize = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &userSize));
    EXPECT_EQ(userSize, strlen(user) + 1); // the user name's count includes the terminator
    DWORD userTiny = 1;
    EXPECT_FALSE(GetUserNameA(user, &userTiny));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(userTiny, userSize);
}

// The hooks themselves serve the application tests (ticks, sleeps and beeps recorded there);
// cleared, the real calls run again.
TEST(Hooks, ClearedHooksGiveTheRealCalls) {
    layer::SetTickSource([] { return DWORD(0xFFFFFFF0); });
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    layer::SetTickSource(nullptr);
    EXPECT_NE(GetTickCount(), 0xFFFFFFF0u);
    layer::SetSleepSink([](DWORD) { ADD_FAILURE() << "the cleared sink was called"; });
    layer::SetSleepSink(nullptr);
    Sleep(0);
    std::vector<std::pair<DWORD, DWORD>> beeps;
    layer::SetBeepSink([&](DWORD f, DWORD d) { beeps.emplace_back(f, d); });
    EXPECT_TRUE(Beep(1500, 333)) << "a recorded beep succeeds";
    layer::SetBeepSink(nullptr);
    EXPECT_EQ(beeps.size(), 1u);
    // A real beep, with or without an audio device, succeeds quietly.
    EXPECT_TRUE(Beep(880, 20));
    EXPECT_FALSE(Beep(10, 20));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// Only the whole pages inside the range go, and a shared file's pages leave the file, not just
// this process; private memory reads as zeros afterwards.
TEST(System, DiscardVirtualMemoryFreesWholePagesOfSharedAndPrivateMemory) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t size = 4 * page;
    const int fd = memfd_create("discard", MFD_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
    auto* shared = static_cast<uint8_t*>(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    auto* priv = static_cast<uint8_t*>(
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(shared, MAP_FAILED);
    ASSERT_NE(priv, MAP_FAILED);
    for (uint8_t* memory : {shared, priv}) {
        std::memset(memory, 0xAB, size);
        EXPECT_EQ(DiscardVirtualMemory(memory + page / 2, 3 * page), DWORD(ERROR_SUCCESS));
    }
    // Read before the mapping faults the file's pages back in.
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);
    EXPECT_EQ(size_t(info.st_blocks) * 512, 2 * page);
    for (uint8_t* memory : {shared, priv}) {
        for (size_t i = 0; i < size; i += page / 2) {
            const bool gone = i >= page && i < 3 * page;
            EXPECT_EQ(memory[i], gone ? 0 : 0xAB) << i;
        }
    }
    munmap(shared, size);
    munmap(priv, size);
    close(fd);
}
