// The Windows command-line rules of both programs: how the launcher writes Game's command line,
// how a started program's arguments are split from it, and how Game gets its command-line text
// back from the arguments it was started with.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace startup {

// The environment variable through which a starting program hands the exact command-line text
// to the program it starts (its arguments alone cannot tell how they were quoted); the started
// program's main() reads it and removes it from its environment.
inline constexpr const char* kCommandLineVariable = "PUZZLE_WIN32_COMMAND_LINE";

// Splits a command line into a program's arguments as Windows does. Leading blanks and tabs are
// skipped. The first argument, the program, ends at the next blank or tab, or, when it starts with
// a quote, at the closing quote; it takes no escapes. Later ones are separated by blanks and tabs
// outside quotes; a quote groups and is dropped, 2n backslashes before a quote give n backslashes
// and a quote that groups, 2n+1 give n backslashes and a literal quote, "" inside quotes gives a
// literal quote, and other backslashes are plain. An empty or blank line gives no arguments.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// How QuoteArgument writes an argument that needs no quotes: bare, or (as the launcher writes
// Game's one argument) in quotes all the same.
enum class Quotes { WhereNeeded, Always };

// Writes one argument for Game's own splitter, which knows no escapes: a blank outside double
// quotes separates, a quote only groups and is dropped. An argument with a blank or tab, or an
// empty one, goes in quotes; one that holds a quote has no such form (nullopt).
std::optional<std::string> QuoteArgument(std::string_view argument, Quotes quotes = Quotes::WhereNeeded);

// The text that WinMain receives: everything after the program name, leading blanks skipped.
std::string ArgumentsAfterProgramName(std::string_view commandLine);

// The command-line text for WinMain from main()'s arguments: the text a starting program passed
// (environmentText) when it still splits into exactly these arguments, otherwise the arguments
// rebuilt with QuoteArgument. An argument that cannot be written is left out rather than passed
// changed, and added to leftOut.
std::string RecoverCommandLine(int argc, const char* const* argv, const char* environmentText,
                               std::vector<std::string>* leftOut = nullptr);

} // namespace startup
