// The hand-over from the launcher to Game, with both programs' own code: what the launcher
// accepts, Game plays as chosen; what Game cannot take, the launcher refuses. The launcher's
// argument travels as it does between the programs (the command line split into arguments, the
// exact text beside them), then through the layer's main() and Game's splitter and start options.
#include "LauncherTexts.h"
#include "StartArgument.h"
#include "TempFolder.h"

#include "framework/App.h"
#include "framework/StartRequest.h"
#include "startup/CommandLine.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
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
    return startup::RecoverCommandLine(int(argv.size()), argv.data(), environmentText);
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
            std::vector<std::string> arguments = startup::SplitCommandLine(commandLine);
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

// Many names of every kind a player meets (blanks, tabs, Polish letters, backslashes, quotes, "?",
// lengths around Game's 259 characters): what the launcher accepts, Game gets back exactly; it
// refuses only what Game could not get whole.
TEST(HandOver, EveryNameTheLauncherAcceptsReachesGameWhole) {
    CTempFolder folder;
    std::mt19937 random(19);
    // The last two only in every fourth name, so that most names pass.
    const std::string pieces[] = {"a",        "Z",        "7",  ".",    " ", "  ", "\t", "\xc5\xbc",
                                  "\xc5\x81", "\xc3\xb3", "\\", "\\\\", "(", "-",  "\"", "?"};
    // A name of about `characters` characters: each piece is mostly a letter, the rest at random.
    auto Name = [&](size_t characters, bool folders, size_t usable) {
        std::string name = "n";
        for (size_t i = 1, inFolder = 1; i < characters; ++i, ++inFolder) {
            if (folders && inFolder == 50) {
                name += "/n";
                inFolder = 0;
                ++i;
                continue;
            }
            name += random() % 3 ? pieces[random() % 3] : pieces[random() % usable];
        }
        return name;
    };
    const std::string counts[] = {"4", " 25", "100abc", "10000", "4\\", "12?7", "4 --window"};
    for (int i = 0; i < 400; ++i) {
        bool open = i % 2 == 0;
        std::string name = Name(200 + random() % 60, !open, std::size(pieces) - (i % 4 == 1 ? 0 : 2));
        std::string count = counts[random() % std::size(counts)];
        SCOPED_TRACE(name + (open ? "" : " ? " + count));
        std::string argument = open ? "--open:" + name + ".pzz" : "--new:" + name + "?" + count;
        bool allowed = argument.find('"') == std::string::npos &&
                       g_utf8_strlen(argument.c_str(), -1) <= 259 &&
                       (open || name.find('?') == std::string::npos);
        CheckResult result;
        if (open) {
            result = PrepareOpenGameArgument(name);
        } else {
            std::filesystem::path file = folder.Path() / name;
            std::filesystem::create_directories(file.parent_path());
            CTempFolder::Touch(file.string());
            result = PrepareNewGameArgument(name, count);
        }
        ASSERT_EQ(result.ok, allowed) << (result.warning ? result.warning : "");
        if (!allowed)
            continue;
        std::string commandLine = ComposeGameCommandLine(result.argument);
        std::vector<std::string> arguments = startup::SplitCommandLine(commandLine);
        arguments[0] = "/opt/puzzle/Game";
        CGameCommandLine game(GameSees(arguments, commandLine.c_str()));
        EXPECT_EQ(game.arguments, std::vector<std::string>{argument});
        if (open)
            EXPECT_EQ(std::tie(game.request.kind, game.request.path), std::tuple(2, name + ".pzz"));
        else
            EXPECT_EQ(std::tie(game.request.kind, game.request.path, game.request.pieceCount),
                      std::tuple(1, name, ReadDecimal(count).value()));
    }
}
