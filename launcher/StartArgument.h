#pragma once

#include <optional>
#include <string>
#include <string_view>

// The controls of the launcher dialog that a failed check hands the keyboard focus to.
enum class DialogControl { None, Picture, PieceCount, SavedGames };

// The outcome of checking the dialog's input for "OK". When ok, argument is the one command-line
// argument for Game, quotes included; otherwise warning is the text to show and focus the control
// to correct.
struct CheckResult {
    bool ok = false;
    std::string argument;
    const char* warning = nullptr;
    DialogControl focus = DialogControl::None;
};

// Field texts carry the file system's own bytes (UTF-8 on Linux): Game opens the picture by them.

// The first line of an edit field's text, cut to its first 260 characters (a character being
// one UTF-8 sequence, so no character is split).
std::string ReadFieldText(std::string_view fieldText);

// True when path is not empty and names a regular file (links followed): not a folder, FIFO or
// device, which Game could not read as a picture. A relative path is taken relative to the
// current directory.
bool IsExistingFile(const std::string& path);

// The decimal value of a piece-count text: leading white space skipped, an optional sign, then
// the digits up to the first other character; no digits give 0. A value beyond the signed 32-bit
// range comes back as nullopt.
std::optional<int> ReadDecimal(std::string_view text);

// Checks the new-puzzle half of the dialog, in this order: picture given, picture exists, picture
// free of '"' and '?', count given, count not 0, count from 4 to 10000 (a count beyond the 32-bit
// range counts as out of range), count free of '"', argument within Game's 259 characters (else
// the picture is too long). The argument is "--new:" picture "?" count text, in double quotes,
// both texts as typed.
CheckResult PrepareNewGameArgument(const std::string& pictureText, const std::string& countText);

// Checks the saved-game half: an entry must be selected, free of '"', and short enough for Game's
// 259 characters. The argument is "--open:" entry ".pzz" in double quotes, with no folder.
CheckResult PrepareOpenGameArgument(const std::optional<std::string>& selectedEntry);

// The command line that starts Game with the argument (already quoted): "Game.exe " followed by
// it. How Game's arguments are split from it is startup/CommandLine.h's SplitCommandLine.
std::string ComposeGameCommandLine(const std::string& argument);
