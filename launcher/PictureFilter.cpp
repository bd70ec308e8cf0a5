#include "PictureFilter.h"

#include <cctype>

std::string BuildPictureFilter() {
    std::string filter;
    filter += "Wszystkie obrazki";
    filter += '\0';
    bool first = true;
    for (const char* extension : kPictureExtensions) {
        if (!first) {
            filter += ';';
        }
        first = false;
        filter += "*.";
        filter += extension;
    }
    filter += '\0';
    for (const char* extension : kPictureExtensions) {
        filter += "Obrazki .";
        filter += extension;
        filter += '\0';
        filter += "*.";
        filter += extension;
        filter += '\0';
    }
    filter += "Wszystkie pliki";
    filter += '\0';
    filter += "*.*";
    filter += '\0';
    filter += '\0';
    return filter;
}

std::vector<std::pair<std::string, std::string>> SplitPictureFilter(std::string_view filter) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> strings;
    size_t start = 0;
    while (start < filter.size()) {
        size_t end = filter.find('\0', start);
        if (end == std::string_view::npos || end == start) {
            break;
        }
        strings.emplace_back(filter.substr(start, end - start));
        start = end + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        pairs.emplace_back(strings[i], strings[i + 1]);
    }
    return pairs;
}

std::vector<std::string> WindowsPatternsToGlobs(std::string_view patterns) {
    std::vector<std::string> globs;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string_view::npos) {
            end = patterns.size();
        }
        std::string_view pattern = patterns.substr(start, end - start);
        if (pattern == "*.*") {
            globs.emplace_back("*");
        } else if (!pattern.empty()) {
            std::string glob;
            for (char c : pattern) {
                unsigned char u = static_cast<unsigned char>(c);
                if (std::isalpha(u) && u < 0x80) {
                    glob += '[';
                    glob += static_cast<char>(std::tolower(u));
                    glob += static_cast<char>(std::toupper(u));
                    glob += ']';
                } else {
                    glob += c;
                }
            }
            globs.push_back(glob);
        }
        start = end + 1;
    }
    return globs;
}
