// Code-page conversion, path text and the Windows command-line rules.
#include "platform/linux/CodePages.h"
#include "platform/linux/win32/Internal.h"

#include <cstring>
#include <optional>

namespace layer {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string Cp1250ToUtf8(const char* text) {
    std::string out;
    if (!text)
        return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        AppendUtf8(out, *p < 0x80 ? char32_t(*p) : char32_t(kCp1250High[*p - 0x80]));
    return out;
}

char CodePointToCp1250(char32_t codePoint) {
    if (codePoint < 0x80)
        return char(codePoint);
    for (int i = 0; i < 128; ++i)
        if (kCp1250High[i] == codePoint)
            return char(0x80 + i);
    return '?';
}

std::string PosixPath(const char* path) {
    std::string out = path ? path : "";
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> args;
    if (!commandLine)
        return args;
    const char* p = commandLine;
    while (IsBlank(*p))
        ++p;
    if (!*p)
        return args;

    // The program name: no escapes, a quote only opens or closes.
    std::string program;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            program += *p++;
        if (*p == '"')
            ++p;
    } else {
        while (*p && !IsBlank(*p))
            program += *p++;
    }
    args.push_back(program);

    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            break;
        std::string arg;
        bool quoted = false;
        while (*p && (quoted || !IsBlank(*p))) {
            if (*p == '\\') {
                size_t slashes = 0;
                while (*p == '\\')
                    ++slashes, ++p;
                if (*p == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg += '"';
                        ++p;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (*p == '"') {
                if (quoted && p[1] == '"') {
                    arg += '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                arg += *p++;
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::optional<std::string> QuoteArgument(const std::string& argument) {
    if (argument.find('"') != std::string::npos)
        return std::nullopt;
    if (!argument.empty() && argument.find_first_of(" \t") == std::string::npos)
        return argument;
    return "\"" + argument + "\"";
}

std::string ArgumentsAfterProgramName(const std::string& commandLine) {
    size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i]))
        ++i;
    if (i < commandLine.size() && commandLine[i] == '"') {
        size_t close = commandLine.find('"', i + 1);
        i = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !IsBlank(commandLine[i]))
            ++i;
    }
    while (i < commandLine.size() && IsBlank(commandLine[i]))
        ++i;
    return commandLine.substr(i);
}

std::string RecoverCommandLine(int argc, const char* const* argv, const char* environmentText,
                               std::vector<std::string>* leftOut) {
    if (environmentText) {
        // A stale variable (inherited by a program that was not started through WinExec)
        // would hand over the wrong text: use it only when it names exactly these arguments.
        std::vector<std::string> split = SplitCommandLine(environmentText);
        bool same = !split.empty() && int(split.size()) == argc;
        for (int i = 1; same && i < argc; ++i)
            same = split[i] == argv[i];
        if (same)
            return ArgumentsAfterProgramName(environmentText);
    }
    std::string text;
    bool first = true;
    for (int i = 1; i < argc; ++i) {
        std::optional<std::string> quoted = QuoteArgument(argv[i]);
        if (!quoted) {
            if (leftOut)
                leftOut->push_back(argv[i]);
            continue;
        }
        if (!first)
            text += ' ';
        first = false;
        text += *quoted;
    }
    return text;
}

} // namespace layer
