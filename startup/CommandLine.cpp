#include "startup/CommandLine.h"

namespace startup {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The end of the program name that starts at `at`: its closing quote's next character when it
// starts with a quote, else the first blank or tab.
size_t ProgramNameEnd(std::string_view line, size_t at, std::string* program) {
    if (at < line.size() && line[at] == '"') {
        size_t close = line.find('"', at + 1);
        size_t end = close == std::string_view::npos ? line.size() : close;
        if (program)
            *program = line.substr(at + 1, end - at - 1);
        return close == std::string_view::npos ? end : close + 1;
    }
    size_t end = at;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    if (program)
        *program = line.substr(at, end - at);
    return end;
}

size_t SkipBlanks(std::string_view line, size_t at) {
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    return at;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = SkipBlanks(line, 0);
    if (i == line.size())
        return args;
    std::string program;
    i = ProgramNameEnd(line, i, &program);
    args.push_back(program);

    const size_t n = line.size();
    for (;;) {
        i = SkipBlanks(line, i);
        if (i == n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\')
                    ++slashes, ++i;
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::optional<std::string> QuoteArgument(std::string_view argument, Quotes quotes) {
    if (argument.find('"') != std::string_view::npos)
        return std::nullopt;
    if (quotes == Quotes::WhereNeeded && !argument.empty() &&
        argument.find_first_of(" \t") == std::string_view::npos)
        return std::string(argument);
    return "\"" + std::string(argument) + "\"";
}

std::string ArgumentsAfterProgramName(std::string_view line) {
    size_t i = SkipBlanks(line, 0);
    i = SkipBlanks(line, ProgramNameEnd(line, i, nullptr));
    return std::string(line.substr(i));
}

std::string RecoverCommandLine(int argc, const char* const* argv, const char* environmentText,
                               std::vector<std::string>* leftOut) {
    if (environmentText) {
        // A stale variable (inherited by a program that was not started with it) would hand over
        // the wrong text: use it only when it names exactly these arguments.
        std::vector<std::string> split = SplitCommandLine(environmentText);
        bool same = !split.empty() && int(split.size()) == argc;
        for (int i = 1; same && i < argc; ++i)
            same = split[i] == argv[i];
        if (same)
            return ArgumentsAfterProgramName(environmentText);
    }
    std::string text;
    for (int i = 1; i < argc; ++i) {
        std::optional<std::string> quoted = QuoteArgument(argv[i]);
        if (!quoted) {
            if (leftOut)
                leftOut->push_back(argv[i]);
            continue;
        }
        if (!text.empty())
            text += ' ';
        text += *quoted;
    }
    return text;
}

} // namespace startup
