// The error record and the entries it appends to "Errors.log".
#include "framework/Error.h"
#include "platform/D3DX9.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

class ErrorLogTest : public ::testing::Test {
  protected:
    void SetUp() override { layer::SetModuleFileName("/opt/puzzle/Game"); }
    void TearDown() override { test::ResetHooks(); }

    // The environment block every entry starts with, as this machine reports it.
    static std::vector<std::string> EnvironmentLines(const std::string& timeLine) {
        std::vector<std::string> lines = {"Środowisko", timeLine};
        char computer[16];
        DWORD size = sizeof computer;
        if (GetComputerNameA(computer, &size))
            lines.push_back(std::string("  Komputer   : ") + computer);
        char user[257];
        size = sizeof user;
        if (GetUserNameA(user, &size))
            lines.push_back(std::string("  Użytkownik : ") + user);
        lines.push_back("  Plik       : /opt/puzzle/Game");
        return lines;
    }

    // Checks one entry line by line; the time line is matched by its pattern.
    static void ExpectEntry(const std::vector<std::string>& actual, size_t first,
                            const std::vector<std::string>& tail) {
        ASSERT_GT(actual.size(), first + 1);
        EXPECT_TRUE(IsTimeLine(actual[first + 1])) << actual[first + 1];
        std::vector<std::string> expected = EnvironmentLines(actual[first + 1]);
        expected.insert(expected.end(), tail.begin(), tail.end());
        ASSERT_GE(actual.size(), first + expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(actual[first + i], expected[i]) << "line " << i;
    }

    // "  Czas       : " and a time shaped like 2004-05-17 09:03:41.
    static bool IsTimeLine(std::string line) {
        for (char& c : line)
            if (c >= '0' && c <= '9')
                c = 'd';
        return line == "  Czas       : dddd-dd-dd dd:dd:dd";
    }

    static std::string Number(int n) { return "  Numer      : " + std::to_string(n); }
};

TEST_F(ErrorLogTest, NormalEntryIsWrittenWholeWithCrLfLines) {
    test::ScratchFolder folder;
    int number = GetErrorLogSequence() + 1;
    CError error(ERR_NORMAL, "Nie można utworzyć obiektu Direct3D 9.", "App.cpp", 81, 1234);
    EXPECT_EQ(error.resultCode, 0) << "only a DirectX error keeps its code";
    std::string text = test::ReadWholeFile("Errors.log");
    EXPECT_TRUE(text.ends_with("\r\n\r\n"));
    std::vector<std::string> lines = test::SplitCrLf(text);
    ExpectEntry(lines, 0,
                {"Źródło", "  Plik       : App.cpp", "  Wiersz     : 81", "Błąd", Number(number),
                 "  Typ        : Normalny", "  Komunikat  : Nie można utworzyć obiektu Direct3D 9.", ""});
    EXPECT_EQ(lines.size(), EnvironmentLines("").size() + 8);
    // The fixed texts are Windows-1250 bytes: "Ś" is 0x8C, "ł" is 0xB3.
    EXPECT_EQ(static_cast<unsigned char>(text[0]), 0x8C);
    EXPECT_NE(text.find("B\xB3\xB9"
                        "d\r\n"),
              std::string::npos);
}

TEST_F(ErrorLogTest, DirectXEntryShowsSignedCodeNameAndDescription) {
    test::ScratchFolder folder;
    int number = GetErrorLogSequence() + 1;
    CError error(ERR_DIRECTX, "Błąd podczas resetowania urządzenia", "App.cpp", 250, D3DERR_DEVICELOST);
    EXPECT_EQ(error.resultCode, D3DERR_DEVICELOST);
    std::vector<std::string> lines = test::SplitCrLf(test::ReadWholeFile("Errors.log"));
    ExpectEntry(lines, 0,
                {"Źródło", "  Plik       : App.cpp", "  Wiersz     : 250", "Błąd", Number(number),
                 "  Typ        : DirectX", "  Komunikat  : Błąd podczas resetowania urządzenia", "DirectX",
                 "  Kod        : -2005530520",
                 std::string("  Komunikat  : ") + DXGetErrorString9A(D3DERR_DEVICELOST),
                 std::string("  Opis       : ") + DXGetErrorDescription9A(D3DERR_DEVICELOST), ""});
}

TEST_F(ErrorLogTest, Win32EntryTakesLastErrorAndSystemTextWithItsOwnLineEnd) {
    test::ScratchFolder folder;
    int number = GetErrorLogSequence() + 1;
    SetLastError(ERROR_ACCESS_DENIED);
    CError error(ERR_WIN32, "Nie można utworzyć okna.", "App.cpp", 112, 77);
    EXPECT_EQ(error.systemError, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error.resultCode, 0);

    char* systemText = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
        ERROR_ACCESS_DENIED, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
    ASSERT_NE(systemText, nullptr);
    std::string expectedText = systemText;
    LocalFree(systemText);

    std::string text = test::ReadWholeFile("Errors.log");
    std::string tail = "Win32API\r\n  Kod        : 5\r\n  Komunikat  : " + expectedText + "\r\n\r\n";
    // The system's text carries its own CR LF: a blank line, then the entry's own blank line.
    EXPECT_TRUE(text.ends_with(tail)) << text;
    EXPECT_TRUE(text.ends_with("\r\n\r\n\r\n"));
    std::vector<std::string> lines = test::SplitCrLf(text);
    ExpectEntry(lines, 0,
                {"Źródło", "  Plik       : App.cpp", "  Wiersz     : 112", "Błąd", Number(number),
                 "  Typ        : Win32API", "  Komunikat  : Nie można utworzyć okna.", "Win32API",
                 "  Kod        : 5"});
}

TEST_F(ErrorLogTest, UnknownKindIsNamedNieznanyAndHasNoCodeSection) {
    test::ScratchFolder folder;
    CError error(7, "x", "game.cpp", 1, -1);
    std::string text = test::ReadWholeFile("Errors.log");
    EXPECT_NE(text.find("  Typ        : Nieznany\r\n  Komunikat  : x\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Kod"), std::string::npos);
}

TEST_F(ErrorLogTest, TwoEntriesAreNumberedInSequenceAndAppended) {
    test::ScratchFolder folder;
    {
        std::FILE* earlier = std::fopen("Errors.log", "wb");
        std::fputs("earlier run\r\n", earlier);
        std::fclose(earlier);
    }
    int first = GetErrorLogSequence() + 1;
    CError(ERR_NORMAL, "one", "Gfx.cpp", 44, 0);
    CError(ERR_NORMAL, "two", "Gfx.cpp", 52, 0);
    EXPECT_EQ(GetErrorLogSequence(), first + 1);
    std::string text = test::ReadWholeFile("Errors.log");
    EXPECT_EQ(text.rfind("earlier run\r\nŚrodowisko\r\n", 0), 0u);
    size_t one = text.find(Number(first) + "\r\n");
    size_t two = text.find(Number(first + 1) + "\r\n");
    ASSERT_NE(one, std::string::npos);
    ASSERT_NE(two, std::string::npos);
    EXPECT_LT(one, two);
    EXPECT_LT(text.find("Komunikat  : one"), text.find("Komunikat  : two"));
}

TEST_F(ErrorLogTest, LockedLogIsSkippedSilentlyWithoutUsingANumber) {
    test::ScratchFolder folder;
    HANDLE lock =
        CreateFileA("Errors.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    int before = GetErrorLogSequence();
    CError error(ERR_DIRECTX, "Nie można utworzyć czcionki", "Gfx.cpp", 80, E_FAIL);
    EXPECT_STREQ(error.message, "Nie można utworzyć czcionki");
    EXPECT_EQ(error.resultCode, E_FAIL);
    EXPECT_EQ(GetErrorLogSequence(), before);
    CloseHandle(lock);
    EXPECT_EQ(test::ReadWholeFile("Errors.log"), "");

    CError after(ERR_NORMAL, "next", "Gfx.cpp", 44, 0);
    EXPECT_NE(test::ReadWholeFile("Errors.log").find(Number(before + 1) + "\r\n"), std::string::npos);
}

// A folder named like the log, or a read-only log, cannot be opened as the log.
TEST_F(ErrorLogTest, UnwritableLogIsSkippedSilentlyAndLeftUnchanged) {
    for (bool folderInTheWay : {true, false}) {
        test::ScratchFolder folder;
        if (folderInTheWay) {
            std::filesystem::create_directory("Errors.log");
        } else {
            std::FILE* earlier = std::fopen("Errors.log", "wb");
            std::fputs("kept\r\n", earlier);
            std::fclose(earlier);
            chmod("Errors.log", 0444);
            HANDLE probe = CreateFileA("Errors.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
            if (probe != INVALID_HANDLE_VALUE) {
                CloseHandle(probe);
                GTEST_SKIP() << "this user may write read-only files";
            }
        }
        int before = GetErrorLogSequence();
        EXPECT_THROW(throw CError(ERR_NORMAL, "x", "App.cpp", 81, 0), CError);
        EXPECT_EQ(GetErrorLogSequence(), before);
        EXPECT_EQ(test::ReadWholeFile("Errors.log"), folderInTheWay ? "" : "kept\r\n");
    }
}

TEST_F(ErrorLogTest, MessageSurvivesTheThrowersBufferAndCopies) {
    test::ScratchFolder folder;
    CError copy(ERR_NORMAL, "placeholder", "x", 0, 0);
    try {
        char buffer[260];
        std::snprintf(buffer, sizeof buffer, "%s%s", "Nie można wczytać logo z pliku ", "Gfx\\Logo.jpg");
        CError error(ERR_DIRECTX, buffer, "Gfx.cpp", 60, E_FAIL);
        std::memset(buffer, 'X', sizeof buffer - 1);
        copy = error;
        throw error;
    } catch (const CError& error) {
        char scribble[260];
        std::memset(scribble, 'Y', sizeof scribble);
        EXPECT_STREQ(error.message, "Nie można wczytać logo z pliku Gfx\\Logo.jpg");
    }
    EXPECT_STREQ(copy.message, "Nie można wczytać logo z pliku Gfx\\Logo.jpg");
    EXPECT_NE(test::ReadWholeFile("Errors.log")
                  .find("  Komunikat  : Nie można wczytać logo z pliku Gfx\\Logo.jpg\r\n"),
              std::string::npos);
}

TEST_F(ErrorLogTest, PathsAreWrittenInWindows1250) {
    // UTF-8 bytes of the file system in, Windows-1250 bytes out.
    const struct {
        const char* path;
        const char* logged;
    } cases[] = {
        {"C:\\Gry\\kot (12).pzz", "C:\\Gry\\kot (12).pzz"},
        {"/home/Gra \xC5\x81\xC3\xB3\x64\xC5\xBA/\xC5\x9Bwi\xC4\x99ta.jpg",
         "/home/Gra \xA3\xF3\x64\x9F/\x9Cwi\xEAta.jpg"},
        {"\xE2\x82\xAC \xC2\xA0\xC3\x9F", "\x80 \xA0\xDF"},            // euro, no-break space, sharp s
        {"Espa\xC3\xB1ol", "Espa?ol"},                                 // no form in Windows-1250
        {"\xE6\x97\xA5\xE6\x9C\xAC.png \xF0\x9F\x98\x80", "??.png ?"}, // three and four bytes
        {"a\xFF b\x80 c\xC0\xAF d\xED\xA0\x80 e\xE6\x97 g\xC5", "a? b? c?? d??? e?? g?"}, // not UTF-8
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogPathText(c.path), c.logged) << c.path;

    test::ScratchFolder folder;
    layer::SetModuleFileName("/home/Gra \xC5\x82\xC3\xB3\x64\xC5\xBA/Game");
    CError error(ERR_NORMAL, "x", "App.cpp", 81, 0);
    EXPECT_NE(test::ReadWholeFile("Errors.log").find("  Plik       : /home/Gra \xB3\xF3\x64\x9F/Game\r\n"),
              std::string::npos);
}

} // namespace
