#include "SavedGames.h"

#include "LauncherTexts.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

TEST(SavedGameEntryName, DropsTheFolderAndTheLastExtension) {
    EXPECT_EQ(SavedGameEntryName("Zamek (3).pzz"), "Zamek (3)");
    EXPECT_EQ(SavedGameEntryName("a.b.pzz"), "a.b");
    EXPECT_EQ(SavedGameEntryName("kot.jpg (108).pzz"), "kot.jpg (108)");
    EXPECT_EQ(SavedGameEntryName("gry.old/zamek.pzz"), "zamek");
    EXPECT_EQ(SavedGameEntryName("gry\\zamek.pzz"), "zamek");
    EXPECT_EQ(SavedGameEntryName("gry.old/zamek"), "zamek");
    EXPECT_EQ(SavedGameEntryName(".pzz"), "");
}

TEST(ListSavedGames, ListsOnlySavedGamesSortedWithoutRegardToCase) {
    CTempFolder folder;
    EXPECT_TRUE(ListSavedGames().empty());

    for (const char* name :
         {"b.pzz", "a.b.pzz", "A.pzz", "C (2).pzz", "notes.txt", "pzz", "x.pzz.bak", "d\\e.pzz"}) {
        CTempFolder::Touch(name);
    }
    EXPECT_EQ(ListSavedGames(), (std::vector<std::string>{"A", "a.b", "b", "C (2)"}));
    EXPECT_EQ(ListSavedGames(folder.Path().string()), ListSavedGames());
    EXPECT_TRUE(ListSavedGames((folder.Path() / "missing").string()).empty());
}

TEST(DeleteSavedGame, AsksWithTheEntryInQuotes) {
    EXPECT_EQ(DeleteQuestion("a.b"), std::string(kDeleteQuestionLead) + "\"a.b\" ?");
    EXPECT_EQ(DeleteQuestion("kot"),
              "Czy na pewno chcesz usun\xb9\xe6 zapisan\xb9 gr\xea o nazwie \"kot\" ?");
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
