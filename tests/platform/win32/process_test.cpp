// WinExec: a real start of the helper program beside the test, and the command line it gets.
#include "platform/Win32.h"
#include "platform/linux/Hooks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string OutputPath() {
    return "/tmp/win32-helper-" + std::to_string(getpid()) + ".txt";
}

// Waits (without a time assertion: the bound only stops a broken run) for the helper's file.
std::string AwaitOutput(const std::string& path) {
    for (int i = 0; i < 2000; ++i) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            unlink(path.c_str());
            return text.str();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "<no output>";
}

} // namespace

TEST(WinExec, StartsTheProgramBesideTheCallerWithTheExactCommandLine) {
    std::string output = OutputPath();
    unlink(output.c_str());
    setenv("WIN32_HELPER_OUTPUT", output.c_str(), 1);

    const char* commandLine = "win32_helper.exe  \"--new:/tmp/moje obrazy/kot.jpg?100\" -w a\\\"b";
    UINT result = WinExec(commandLine, SW_SHOWNORMAL);
    EXPECT_GT(result, 31u);
    // The caller neither waits for the program nor keeps a child to reap.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(AwaitOutput(output), "\"--new:/tmp/moje obrazy/kot.jpg?100\" -w a\\\"b");
    unsetenv("WIN32_HELPER_OUTPUT");
}

TEST(WinExec, WithoutTheCallersTextTheArgumentsAreQuotedAgain) {
    std::string output = OutputPath();
    unlink(output.c_str());
    char path[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", path, sizeof path - 1), 0);
    std::string helper =
        std::string(path).substr(0, std::string(path).find_last_of('/') + 1) + "win32_helper";

    // Started like the launcher starts the game: plain arguments, no command-line text,
    // but a stale text from some earlier start in the environment.
    std::string outputVariable = "WIN32_HELPER_OUTPUT=" + output;
    std::string stale = "PUZZLE_WIN32_COMMAND_LINE=Game.exe -f";
    char* env[] = {outputVariable.data(), stale.data(), nullptr};
    std::string arg1 = "--open:kot.jpg (108).pzz", arg2 = "-f";
    char* argv[] = {helper.data(), arg1.data(), arg2.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, helper.c_str(), nullptr, nullptr, argv, env), 0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(AwaitOutput(output), "\"--open:kot.jpg (108).pzz\" -f");
}

TEST(WinExec, MissingProgramsAndTheHook) {
    EXPECT_EQ(WinExec("NoSuchProgram.exe --x", SW_SHOWNORMAL), UINT(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(WinExec("", SW_SHOWNORMAL), UINT(ERROR_FILE_NOT_FOUND));

    std::string seen;
    layer::SetWinExecSink([&](const char* line, UINT show) {
        seen = std::string(line) + "|" + std::to_string(show);
        return UINT(33);
    });
    EXPECT_EQ(WinExec("Puzzle.exe", SW_SHOWNORMAL), 33u);
    layer::SetWinExecSink(nullptr);
    EXPECT_EQ(seen, "Puzzle.exe|1");
}
