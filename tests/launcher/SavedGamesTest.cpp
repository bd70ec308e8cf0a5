#include "SavedGames.h"

#include "LauncherTexts.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(SavedGameEntryName, DropsTheFolderAndTheLastExtension) {
    EXPECT_EQ(SavedGameEntryName("Zamek (3).pzz"), "Zamek (3)");
    EXPECT_EQ(SavedGameEntryName("a.b.pzz"), "a.b");
    EXPECT_EQ(SavedGameEntryName("kot.jpg (108).pzz"), "kot.jpg (108)");
    EXPECT_EQ(SavedGameEntryName("gry.old/zamek.pzz"), "zamek");
    EXPECT_EQ(SavedGameEntryName("gry\\zamek.pzz"), "zamek");
    EXPECT_EQ(SavedGameEntryName("gry.old/zamek"), "zamek");
    EXPECT_EQ(SavedGameEntryName(".pzz"), "");
}

TEST(ListSavedGames, ListsOnlyRegularSavedGameFilesSorted) {
    CTempFolder folder;
    EXPECT_TRUE(ListSavedGames().empty());

    for (const char* name :
         {"b.pzz", "a.b.pzz", "A.pzz", "C (2).pzz", "notes.txt", "pzz", "x.pzz.bak", "d\\e.pzz"})
        CTempFolder::Touch(name);
    std::filesystem::create_directory("folder.pzz");
    ASSERT_EQ(mkfifo("fifo.pzz", 0600), 0);
    std::filesystem::create_symlink("missing.pzz", "dangling.pzz");
    std::filesystem::create_symlink("b.pzz", "link.pzz");
    EXPECT_EQ(ListSavedGames(), (std::vector<std::string>{"A", "a.b", "b", "C (2)", "link"}));
    EXPECT_EQ(ListSavedGames(folder.Path().string()), ListSavedGames());
    EXPECT_TRUE(ListSavedGames((folder.Path() / "missing").string()).empty());
}

TEST(SortSavedGames, FollowsThePolishAlphabetWithoutRegardToCase) {
    // UTF-8 names, as the file system holds them.
    const std::vector<std::string> sorted = {
        "1 (4)",
        "a.b",
        "\xc4\x85"
        "a", // ąa
        "\xc4\x84"
        "b", // Ąb
        "\xc4\x87"
        "ma", // ćma
        "Espa\xc3\xb1"
        "a (100)", // España: ñ sorts as n
        "Estonia",
        "lz",
        "\xc5\x81\xc3\xb3"
        "d\xc5\xba", // Łódź
        "zebra",
        "\xc5\xb9r\xc3\xb3"
        "d\xc5\x82o", // Źródło
        "\xc5\xbc"
        "aba",      // żaba
        "\xd0\xaf", // Я, not a Polish letter: after them
    };
    std::vector<std::string> names(sorted.rbegin(), sorted.rend());
    std::swap(names[2], names[8]);
    SortSavedGames(names);
    EXPECT_EQ(names, sorted);
}

TEST(DeleteSavedGame, AsksWithTheEntryAsTheListShowsIt) {
    // The dialog's text is UTF-8; the entry keeps letters that Windows-1250 lacks.
    EXPECT_EQ(DeleteQuestion("Espa\xc3\xb1"
                             "a (100)"),
              "Czy na pewno chcesz usun\xc4\x85\xc4\x87 zapisan\xc4\x85 gr\xc4\x99 o nazwie "
              "\"Espa\xc3\xb1"
              "a (100)\" ?");
}

TEST(DeleteSavedGame, RemovesOnlyTheEntrysFile) {
    CTempFolder folder;
    CTempFolder::Touch("a.b.pzz");
    CTempFolder::Touch("a.b");
    CTempFolder::Touch("a.pzz");
    DeleteSavedGameFile("a.b");
    EXPECT_EQ(ListSavedGames(), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(std::filesystem::exists("a.b"));

    std::filesystem::create_directory("folder.pzz");
    DeleteSavedGameFile("folder");
    EXPECT_TRUE(std::filesystem::exists("folder.pzz"));
}
