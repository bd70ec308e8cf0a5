// The hand-over from the launcher to Game, with both programs' own code: what the launcher
// accepts, Game plays as chosen; what Game cannot take, the launcher refuses. The launcher's
// argument travels as it does between the programs (the command line split into arguments, the
// exact text beside them), then through the layer's main() and Game's splitter and start options.
#include "LauncherTexts.h"
#include "StartArgument.h"
#include "TempFolder.h"

#include "framework/App.h"
#include "framework/StartRequest.h"
#include "platform/linux/win32/Internal.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Game's command-line handling: its splitter, its start options, the windowed option.
class CGameCommandLine : public CApp {
  public:
    explicit CGameCommandLine(const std::string& commandLine) { ParseCommandLine(commandLine.c_str()); }
    void HandleArgument(const char* argument) override {
        arguments.push_back(argument);
        if (!TakeStartOption(argument, request))
            CApp::HandleArgument(argument);
    }
    bool Windowed() const { return m_windowed; }

    std::vector<std::string> arguments;
    StartRequest request;
};

// What main() hands to WinMain for these arguments and that environment text.
std::string GameSees(const std::vector<std::string>& arguments, const char* environmentText) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    return layer::RecoverCommandLine(int(argv.size()), argv.data(), environmentText);
}

std::string Repeat(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// A relative path of the given number of characters (one UTF-8 sequence each) ending in
// "/a.jpg", in folders short enough for the file system's name limit.
std::string LongPath(const std::string& character, size_t characters) {
    std::string path;
    size_t inFolder = 0;
    while (characters > 6) {
        if (inFolder == 60 && characters > 7) {
            path += '/';
            inFolder = 0;
        } else {
            path += character;
            ++inFolder;
        }
        --characters;
    }
    return path + "/a.jpg";
}

struct Case {
    std::string picture;
    std::string count;
    const char* warning; // nullptr: accepted
};

const char* const kZ = "\xc5\xbc"; // ż in UTF-8

} // namespace

TEST(HandOver, WhatTheLauncherAcceptsGamePlaysAndTheRestIsRefused) {
    CTempFolder folder;
    const Case cases[] = {
        {"kot.jpg", "100", nullptr},
        {"moje obrazy/m\xc3\xb3j kot.jpg", " 25", nullptr},
        {"C:\\Obrazki\\kot.jpg", "4", nullptr},
        {"kot\\", "4\\", nullptr},
        {"kot.jpg", "4 --window", nullptr},
        {"kot.jpg", "12?7", nullptr},
        {"a\" b.jpg", "4", kPictureNameUnusable},
        {"say \"hi\".jpg", "4", kPictureNameUnusable},
        {"pytanie?.jpg", "4", kPictureNameUnusable},
        {"kot.jpg", "4\" --window", kInvalidPieceCount},
        // Game keeps 259 characters of "--new:" picture "?" count.
        {LongPath("a", 251), "4", nullptr},
        {LongPath("a", 252), "4", kPictureTooLong},
        {LongPath("a", 250), "100", kPictureTooLong},
        {LongPath(kZ, 251), "4", nullptr},
        {LongPath(kZ, 252), "4", kPictureTooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture + " ? " + c.count);
        std::filesystem::path file = folder.Path() / c.picture;
        std::filesystem::create_directories(file.parent_path());
        CTempFolder::Touch(file.string());

        CheckResult result = PrepareNewGameArgument(c.picture, c.count);
        if (c.warning) {
            EXPECT_FALSE(result.ok);
            EXPECT_STREQ(result.warning, c.warning);
        } else {
            ASSERT_TRUE(result.ok) << (result.warning ? result.warning : "");
            std::string commandLine = ComposeGameCommandLine(result.argument);
            std::vector<std::string> arguments = SplitCommandLine(commandLine);
            arguments[0] = "/opt/puzzle/Game";
            CGameCommandLine game(GameSees(arguments, commandLine.c_str()));
            EXPECT_EQ(game.arguments.size(), 1u);
            EXPECT_EQ(std::tie(game.request.kind, game.request.path, game.request.pieceCount),
                      std::tuple(1, c.picture, ReadDecimal(c.count).value()));
            EXPECT_FALSE(game.Windowed());
        }

        // The same option typed after "--window" reaches Game rebuilt from its arguments alone:
        // whole, or (with a quote, which Game's splitter cannot carry) not at all.
        if (c.warning == kPictureTooLong)
            continue;
        std::string option = "--new:" + c.picture + "?" + c.count;
        CGameCommandLine typed(GameSees({"/opt/puzzle/Game", "--window", option}, nullptr));
        EXPECT_TRUE(typed.Windowed());
        if (option.find('"') == std::string::npos) {
            EXPECT_EQ(typed.arguments, (std::vector<std::string>{"--window", option}));
        } else {
            EXPECT_EQ(typed.arguments, (std::vector<std::string>{"--window"}));
            EXPECT_EQ(typed.request.kind, 0);
        }
    }
}

TEST(HandOver, SavedGamesOpenByTheirNameOrAreRefused) {
    const std::pair<std::string, const char*> cases[] = {
        {"kot.jpg (108)", nullptr},
        {"Espa\xc3\xb1"
         "a (100)",
         nullptr},
        {"C:\\gry\\a b", nullptr},
        {std::string(248, 'g'), nullptr},
        {Repeat(kZ, 248), nullptr},
        {std::string(249, 'g'), kSavedGameNameUnusable},
        {"a\" b", kSavedGameNameUnusable},
    };
    for (const auto& [entry, warning] : cases) {
        SCOPED_TRACE(entry);
        CheckResult result = PrepareOpenGameArgument(entry);
        if (warning) {
            EXPECT_FALSE(result.ok);
            EXPECT_STREQ(result.warning, warning);
            EXPECT_EQ(result.focus, DialogControl::SavedGames);
            continue;
        }
        ASSERT_TRUE(result.ok);
        std::string commandLine = ComposeGameCommandLine(result.argument);
        std::vector<std::string> arguments = SplitCommandLine(commandLine);
        CGameCommandLine game(GameSees(arguments, commandLine.c_str()));
        EXPECT_EQ(game.request.kind, 2);
        EXPECT_EQ(game.request.path, entry + ".pzz");
    }
}
