// Files: sharing, the read-only attribute, dispositions, appending, deletion.
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/win32-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + folder + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    std::string Path(const std::string& name) const { return folder + "/" + name; }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    static HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    static void Put(HANDLE file, const std::string& text) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr));
        ASSERT_EQ(written, text.size());
    }

    std::string folder;
};

// Tries the open in a separate process and returns the error it saw (0 for success).
DWORD OpenInOtherProcess(const std::string& path, DWORD access, DWORD share) {
    pid_t child = fork();
    if (child == 0) {
        HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        _exit(file == INVALID_HANDLE_VALUE ? int(GetLastError()) : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? DWORD(WEXITSTATUS(status)) : DWORD(-1);
}

} // namespace

TEST_F(Files, ShareModeZeroExcludesEveryOtherOpenUntilClosed) {
    HANDLE first = Open(Path("Errors.log"), GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);

    EXPECT_EQ(Open(Path("Errors.log"), GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(Path("Errors.log"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenInOtherProcess(Path("Errors.log"), GENERIC_WRITE, 0), DWORD(ERROR_SHARING_VIOLATION));
    // A refused CREATE_ALWAYS must not have truncated the file.
    Put(first, "kept");
    EXPECT_EQ(Open(Path("Errors.log"), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read("Errors.log"), "kept");
    EXPECT_FALSE(DeleteFileA(Path("Errors.log").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

    ASSERT_TRUE(CloseHandle(first));
    EXPECT_EQ(OpenInOtherProcess(Path("Errors.log"), GENERIC_WRITE, 0), 0u);
    HANDLE again = Open(Path("Errors.log"), GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
}

TEST_F(Files, SharedModesCombineAsOnWindows) {
    Write("a.txt", "x");
    HANDLE reader = Open(Path("a.txt"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE secondReader = Open(Path("a.txt"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(secondReader, INVALID_HANDLE_VALUE);
    // The readers refuse writers, and a writer that refuses readers is refused by them.
    EXPECT_EQ(Open(Path("a.txt"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenInOtherProcess(Path("a.txt"), GENERIC_READ, FILE_SHARE_READ), 0u);
    CloseHandle(secondReader);
    CloseHandle(reader);

    HANDLE writer = Open(Path("a.txt"), GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HANDLE lookOnly = Open(Path("a.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(lookOnly, INVALID_HANDLE_VALUE);
    CloseHandle(lookOnly);
    CloseHandle(writer);
}

TEST_F(Files, ReadOnlyFilesRefuseWritingEvenToRoot) {
    Write("locked.log", "old");
    ASSERT_EQ(chmod(Path("locked.log").c_str(), 0444), 0);

    EXPECT_EQ(Open(Path("locked.log"), GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(Path("locked.log"), GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Read("locked.log"), "old");

    HANDLE reader = Open(Path("locked.log"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    DWORD written = 7;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(written, 0u);
    CloseHandle(reader);

    EXPECT_EQ(GetFileAttributesA(Path("locked.log").c_str()),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(DeleteFileA(Path("locked.log").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(Files, OpenAlwaysThenSeekToEndAppends) {
    HANDLE file = Open(Path("Errors.log"), GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    Put(file, "first\r\n");
    CloseHandle(file);

    file = Open(Path("Errors.log"), GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 7u);
    Put(file, "second\r\n");
    CloseHandle(file);
    EXPECT_EQ(Read("Errors.log"), "first\r\nsecond\r\n");
}

TEST_F(Files, DispositionsAndPathsReportWindowsErrors) {
    Write("there", "abc");
    EXPECT_EQ(Open(Path("there"), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(Open(Path("missing"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(Path("no/folder"), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(folder, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    // Backslashes separate folders; CREATE_ALWAYS truncates and reports the earlier file.
    std::string windowsPath = folder + "\\there";
    HANDLE file = Open(windowsPath, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    Put(file, "z");
    CloseHandle(file);
    EXPECT_EQ(Read("there"), "z");

    EXPECT_EQ(GetFileAttributesA(folder.c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA(Path("missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    // Links are followed; what is neither a folder nor a file of data is a device.
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink(Path("pipe").c_str(), Path("to pipe").c_str()), 0);
    ASSERT_EQ(symlink(Path("there").c_str(), Path("to there").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(Path("to pipe").c_str()), DWORD(FILE_ATTRIBUTE_DEVICE));
    EXPECT_EQ(GetFileAttributesA("/dev/null"), DWORD(FILE_ATTRIBUTE_DEVICE));
    EXPECT_EQ(GetFileAttributesA(Path("to there").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(DeleteFileA(windowsPath.c_str()));
    EXPECT_FALSE(DeleteFileA(windowsPath.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, FilePointerAndHandleErrors) {
    HANDLE file = Open(Path("p"), GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    Put(file, "0123456789");
    EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6u);
    EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_CURRENT), 8u);
    EXPECT_EQ(SetFilePointer(file, -9, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(file, 5, &high, FILE_BEGIN), 5u); // 4 GiB + 5: a sparse position
    EXPECT_EQ(high, 1);
    high = 0;
    EXPECT_EQ(SetFilePointer(file, 3, &high, FILE_BEGIN), 3u);
    Put(file, "x");
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Read("p"), "012x456789");

    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}
