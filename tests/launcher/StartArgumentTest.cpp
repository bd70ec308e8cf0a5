#include "StartArgument.h"

#include "LauncherTexts.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(LauncherTexts, AreStoredInWindows1250) {
    EXPECT_STREQ(kUnreasonablePieceCount, "Wpisz jak\xb9\x9c sensown\xb9 liczb\xea element\xf3w !");
    EXPECT_STREQ(kDeleteTitle, "Usu\xf1");
}

TEST(ReadFieldText, KeepsTheFirstLineCutTo260Characters) {
    EXPECT_EQ(ReadFieldText(std::string(300, 'a')), std::string(260, 'a'));
    EXPECT_EQ(ReadFieldText(std::string(260, 'a')), std::string(260, 'a'));
    // A two-byte character counts once and is never split.
    std::string polish = std::string(259, 'a') + "\xc5\xbc" + "b";
    EXPECT_EQ(ReadFieldText(polish), std::string(259, 'a') + "\xc5\xbc");
    EXPECT_EQ(ReadFieldText("kot.jpg\nrest"), "kot.jpg");
    EXPECT_EQ(ReadFieldText(""), "");
}

TEST(IsExistingFile, IsTrueOnlyForARegularFile) {
    CTempFolder folder;
    CTempFolder::Touch("kot.jpg");
    std::filesystem::create_directory("folder.jpg");
    ASSERT_EQ(mkfifo("fifo.jpg", 0600), 0);
    std::filesystem::create_symlink("kot.jpg", "link.jpg");
    std::filesystem::create_symlink("folder.jpg", "folder-link.jpg");
    EXPECT_TRUE(IsExistingFile("kot.jpg"));
    EXPECT_TRUE(IsExistingFile((folder.Path() / "kot.jpg").string()));
    EXPECT_TRUE(IsExistingFile("link.jpg"));
    for (const char* path : {"pies.jpg", "folder.jpg", "fifo.jpg", "folder-link.jpg", "/dev/null", ""})
        EXPECT_FALSE(IsExistingFile(path)) << path;
}

TEST(ReadDecimal, ReadsLikeAtoiButRefusesValuesBeyond32Bits) {
    EXPECT_EQ(ReadDecimal(" 25"), 25);
    EXPECT_EQ(ReadDecimal("\t25abc"), 25);
    EXPECT_EQ(ReadDecimal("abc"), 0);
    EXPECT_EQ(ReadDecimal("-0"), 0);
    EXPECT_EQ(ReadDecimal("+7"), 7);
    EXPECT_EQ(ReadDecimal("-5"), -5);
    EXPECT_EQ(ReadDecimal("- 5"), 0);
    EXPECT_EQ(ReadDecimal("000000000000000000004"), 4);
    EXPECT_EQ(ReadDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ReadDecimal("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ReadDecimal("2147483648"), std::nullopt);
    EXPECT_EQ(ReadDecimal("-2147483649"), std::nullopt);
    EXPECT_EQ(ReadDecimal("99999999999"), std::nullopt);
    // Windows' 32-bit wrap-around would make this 4; it must not pass as a small count.
    EXPECT_EQ(ReadDecimal("4294967300"), std::nullopt);
}

class NewGameArgument : public ::testing::Test {
  protected:
    CTempFolder m_folder;
    void SetUp() override { CTempFolder::Touch("kot.jpg"); }
};

TEST_F(NewGameArgument, ChecksThePictureBeforeTheCount) {
    CheckResult both = PrepareNewGameArgument("", "");
    EXPECT_FALSE(both.ok);
    EXPECT_STREQ(both.warning, kEnterPicture);
    EXPECT_EQ(both.focus, DialogControl::Picture);

    std::filesystem::create_directory("obrazki");
    CheckResult folder = PrepareNewGameArgument("obrazki", "25");
    EXPECT_STREQ(folder.warning, kPictureMissing);
    EXPECT_EQ(folder.focus, DialogControl::Picture);
    EXPECT_STREQ(PrepareNewGameArgument("pies.jpg", "").warning, kPictureMissing);

    CheckResult noCount = PrepareNewGameArgument("kot.jpg", "");
    EXPECT_STREQ(noCount.warning, kEnterPieceCount);
    EXPECT_EQ(noCount.focus, DialogControl::PieceCount);
}

TEST_F(NewGameArgument, RejectsCountsThatAreZeroOrOutOfRange) {
    for (const char* count : {"0", "abc", "-0", " ", "3", "-5", "10001", "2147483648", "99999999999",
                              "-99999999999", "4294967300"}) {
        CheckResult result = PrepareNewGameArgument("kot.jpg", count);
        EXPECT_FALSE(result.ok) << count;
        // Text that reads as no count at all is invalid; a count beyond 4..10000 unreasonable.
        EXPECT_STREQ(result.warning,
                     ReadDecimal(count).value_or(1) == 0 ? kInvalidPieceCount : kUnreasonablePieceCount)
            << count;
        EXPECT_EQ(result.focus, DialogControl::PieceCount) << count;
    }
}

TEST_F(NewGameArgument, PassesTheTextsAsTyped) {
    EXPECT_EQ(PrepareNewGameArgument("kot.jpg", "4").argument, "\"--new:kot.jpg?4\"");
    EXPECT_EQ(PrepareNewGameArgument("kot.jpg", "10000").argument, "\"--new:kot.jpg?10000\"");
    EXPECT_EQ(PrepareNewGameArgument("kot.jpg", " 25").argument, "\"--new:kot.jpg? 25\"");
    EXPECT_EQ(PrepareNewGameArgument("kot.jpg", "25abc").argument, "\"--new:kot.jpg?25abc\"");

    std::filesystem::create_directory("moje obrazki");
    CTempFolder::Touch("moje obrazki/mój kot.jpg");
    CheckResult blanks = PrepareNewGameArgument("moje obrazki/mój kot.jpg", "100");
    EXPECT_TRUE(blanks.ok);
    EXPECT_EQ(blanks.argument, "\"--new:moje obrazki/mój kot.jpg?100\"");
    EXPECT_EQ(blanks.warning, nullptr);
}

TEST(OpenGameArgument, NeedsASelectionAndNamesTheFileWithoutAFolder) {
    CheckResult none = PrepareOpenGameArgument(std::nullopt);
    EXPECT_FALSE(none.ok);
    EXPECT_STREQ(none.warning, kSelectGameToOpen);
    EXPECT_EQ(none.focus, DialogControl::SavedGames);

    CheckResult chosen = PrepareOpenGameArgument(std::string("a.b"));
    EXPECT_TRUE(chosen.ok);
    EXPECT_EQ(chosen.argument, "\"--open:a.b.pzz\"");
}
