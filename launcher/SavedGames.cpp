#include "SavedGames.h"

#include "LauncherTexts.h"

#include <algorithm>
#include <unistd.h>
#include <dirent.h>

namespace {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool PrecedesIgnoringCase(const std::string& a, const std::string& b) {
    bool aFirst = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
    });
    bool bFirst = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
    });
    if (aFirst || bFirst) {
        return aFirst;
    }
    return a < b;
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

std::string SavedGameEntryName(std::string_view fileName) {
    size_t separator = fileName.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? fileName : fileName.substr(separator + 1);
    size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::vector<std::string> ListSavedGames(const std::string& folder) {
    std::vector<std::string> entries;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        return entries;
    }
    while (const dirent* found = readdir(dir)) {
        std::string_view name = found->d_name;
        if (!EndsWith(name, ".pzz") || name.find('\\') != std::string_view::npos) {
            continue;
        }
        entries.push_back(SavedGameEntryName(name));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), PrecedesIgnoringCase);
    return entries;
}

std::string DeleteQuestion(std::string_view entry) {
    std::string question = kDeleteQuestionLead;
    question += '"';
    question += entry;
    question += "\" ?";
    return question;
}

void DeleteSavedGameFile(const std::string& entry) {
    unlink((entry + ".pzz").c_str());
}
