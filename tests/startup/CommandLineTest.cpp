// The Windows command-line rules both programs use.
#include "startup/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Args = std::vector<std::string>;
using startup::Quotes;

TEST(CommandLine, SplitsWithTheWindowsRules) {
    const std::pair<std::string, Args> cases[] = {
        {"Game.exe \"--new:C:\\Moje obrazy\\kot.jpg?100\"",
         {"Game.exe", "--new:C:\\Moje obrazy\\kot.jpg?100"}},
        {"  Puzzle.exe  ", {"Puzzle.exe"}},
        {"", {}},
        {" \t ", {}},
        // Backslashes count only before a quote: 2n give n and a toggle, 2n+1 give n and a quote.
        {"p a\\\\\"b c\" d\\\"e f\\g", {"p", "a\\b c", "d\"e", "f\\g"}},
        {"p \"\" \"x\"\"y\"", {"p", "", "x\"y"}},
        {"Game.exe \"--new:a?25\\\\\"", {"Game.exe", "--new:a?25\\"}},
        {"Game.exe \"--new:a?25\\\"", {"Game.exe", "--new:a?25\""}},
        {"Game.exe \"--new:a\" b", {"Game.exe", "--new:a", "b"}},
        {"p\ta\t\"b\tc\"", {"p", "a", "b\tc"}},
        // The program name takes no escapes and ends at its closing quote.
        {"\"C:\\a b\\p.exe\" 1", {"C:\\a b\\p.exe", "1"}},
        {"\"C:\\a b\\p.exe\"x 1", {"C:\\a b\\p.exe", "x", "1"}},
        {"C:\\p\\ 1", {"C:\\p\\", "1"}},
        {"p \"unbalanced rest", {"p", "unbalanced rest"}},
        {"\"unbalanced program", {"unbalanced program"}},
    };
    for (const auto& [line, args] : cases)
        EXPECT_EQ(startup::SplitCommandLine(line), args) << line;
}

TEST(CommandLine, QuotesForASplitterWithoutEscapes) {
    // Quotes only group; backslashes are plain characters; a quote cannot be written.
    const std::tuple<std::string, Quotes, std::optional<std::string>> cases[] = {
        {"plain", Quotes::WhereNeeded, "plain"},
        {"plain", Quotes::Always, "\"plain\""},
        {"", Quotes::WhereNeeded, "\"\""},
        {"two words", Quotes::WhereNeeded, "\"two words\""},
        {"tab\there", Quotes::WhereNeeded, "\"tab\there\""},
        {"end\\", Quotes::WhereNeeded, "end\\"},
        {"sp ace\\", Quotes::Always, "\"sp ace\\\""},
        {"q\"uote", Quotes::WhereNeeded, std::nullopt},
        {"q\"uote", Quotes::Always, std::nullopt},
    };
    for (const auto& [argument, quotes, text] : cases)
        EXPECT_EQ(startup::QuoteArgument(argument, quotes), text) << argument;
}

TEST(CommandLine, RecoversTheTextAfterTheProgramName) {
    EXPECT_EQ(startup::ArgumentsAfterProgramName("Game.exe  \"--open:a b.pzz\"  -w"),
              "\"--open:a b.pzz\"  -w");
    EXPECT_EQ(startup::ArgumentsAfterProgramName("\"C:\\x y\\Game.exe\" -f"), "-f");
    EXPECT_EQ(startup::ArgumentsAfterProgramName("Game.exe"), "");

    const char* argv[] = {"/bin/Game", "--open:a b.pzz", "-w"};
    // The exact text wins when it names the same arguments (double blanks kept)...
    EXPECT_EQ(startup::RecoverCommandLine(3, argv, "Game.exe \"--open:a b.pzz\"  -w"),
              "\"--open:a b.pzz\"  -w");
    // ...a stale text that names others is ignored, and the arguments are quoted instead.
    EXPECT_EQ(startup::RecoverCommandLine(3, argv, "Game.exe -f"), "\"--open:a b.pzz\" -w");
    EXPECT_EQ(startup::RecoverCommandLine(3, argv, nullptr), "\"--open:a b.pzz\" -w");
    EXPECT_EQ(startup::RecoverCommandLine(1, argv, nullptr), "");

    // An argument with a quote is left out, not passed changed.
    const char* quoted[] = {"/bin/Game", "--window", "--new:a\"b.png?4", "-f"};
    std::vector<std::string> leftOut;
    EXPECT_EQ(startup::RecoverCommandLine(4, quoted, nullptr, &leftOut), "--window -f");
    EXPECT_EQ(leftOut, (Args{"--new:a\"b.png?4"}));
}
