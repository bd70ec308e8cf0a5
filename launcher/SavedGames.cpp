#include "SavedGames.h"

#include "LauncherTexts.h"

#include <glib.h>

#include <algorithm>
#include <iterator>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The Polish alphabet in decomposed form: base letter and the mark that makes it a letter of
// its own (ą is a with an ogonek; ł has no decomposition). A letter with another diacritic sorts
// as its base letter.
struct AlphabetLetter {
    char32_t base;
    char32_t mark;
};
constexpr char32_t kAcute = 0x301, kDotAbove = 0x307, kOgonek = 0x328;
constexpr AlphabetLetter kPolishAlphabet[] = {
    {U'a', 0},      {U'a', kOgonek}, {U'b', 0},      {U'c', 0},      {U'c', kAcute},   {U'd', 0},
    {U'e', 0},      {U'e', kOgonek}, {U'f', 0},      {U'g', 0},      {U'h', 0},        {U'i', 0},
    {U'j', 0},      {U'k', 0},       {U'l', 0},      {U'ł', 0},      {U'm', 0},        {U'n', 0},
    {U'n', kAcute}, {U'o', 0},       {U'o', kAcute}, {U'p', 0},      {U'q', 0},        {U'r', 0},
    {U's', 0},      {U's', kAcute},  {U't', 0},      {U'u', 0},      {U'v', 0},        {U'w', 0},
    {U'x', 0},      {U'y', 0},       {U'z', 0},      {U'z', kAcute}, {U'z', kDotAbove}};

// Weights: the other characters of the first 128 by their code, then the letters in Polish
// order, then every other character by its code.
constexpr char32_t kLetterWeights = 0x80;
constexpr char32_t kOtherWeights = kLetterWeights + std::size(kPolishAlphabet);

// How a name sorts: first by its letters in Polish alphabetical order without regard to case or
// to diacritics that do not make a Polish letter (ñ as n), then by those diacritics, then by its
// bytes.
struct SortKey {
    std::u32string letters;
    std::u32string marks;
    std::string bytes;
};

// The weight of a case-folded base character followed by mark (0 for none), and whether the
// mark belongs to the letter.
char32_t LetterWeight(char32_t base, char32_t mark, bool& markUsed) {
    markUsed = false;
    char32_t plain = 0;
    for (size_t i = 0; i < std::size(kPolishAlphabet); ++i) {
        const AlphabetLetter& letter = kPolishAlphabet[i];
        if (letter.base != base) {
            continue;
        }
        if (letter.mark == 0) {
            plain = kLetterWeights + char32_t(i);
        } else if (mark != 0 && letter.mark == mark) {
            markUsed = true;
            return kLetterWeights + char32_t(i);
        }
    }
    return plain ? plain : (base < 0x80 ? base : kOtherWeights + base);
}

SortKey MakeSortKey(const std::string& name) {
    SortKey key;
    key.bytes = name;
    gchar* valid = g_utf8_make_valid(name.c_str(), static_cast<gssize>(name.size()));
    gchar* folded = g_utf8_casefold(valid, -1);
    gchar* decomposed = g_utf8_normalize(folded, -1, G_NORMALIZE_NFD);
    glong length = 0;
    gunichar* codes = g_utf8_to_ucs4_fast(decomposed, -1, &length);
    for (glong i = 0; i < length;) {
        char32_t base = codes[i++];
        char32_t firstMark = i < length && g_unichar_combining_class(codes[i]) != 0 ? codes[i] : 0;
        bool markUsed = false;
        key.letters += LetterWeight(base, firstMark, markUsed);
        // A mark that makes a Polish letter is part of it; the others only break ties.
        if (markUsed) {
            ++i;
        }
        key.marks += U' ';
        while (i < length && g_unichar_combining_class(codes[i]) != 0) {
            key.marks += static_cast<char32_t>(codes[i++]);
        }
    }
    g_free(codes);
    g_free(decomposed);
    g_free(folded);
    g_free(valid);
    return key;
}

bool Precedes(const SortKey& a, const SortKey& b) {
    if (a.letters != b.letters) {
        return a.letters < b.letters;
    }
    if (a.marks != b.marks) {
        return a.marks < b.marks;
    }
    return a.bytes < b.bytes;
}

} // namespace

std::string SavedGameEntryName(std::string_view fileName) {
    size_t separator = fileName.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? fileName : fileName.substr(separator + 1);
    size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

void SortSavedGames(std::vector<std::string>& entries) {
    std::vector<std::pair<SortKey, std::string>> keyed;
    keyed.reserve(entries.size());
    for (std::string& entry : entries) {
        keyed.emplace_back(MakeSortKey(entry), std::move(entry));
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return Precedes(a.first, b.first); });
    for (size_t i = 0; i < keyed.size(); ++i) {
        entries[i] = std::move(keyed[i].second);
    }
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
        // Only what Game can read as a saved game: no folder, FIFO or dangling link.
        struct stat status;
        if (fstatat(dirfd(dir), found->d_name, &status, 0) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        entries.push_back(SavedGameEntryName(name));
    }
    closedir(dir);
    SortSavedGames(entries);
    return entries;
}

std::string SavedGameDisplayName(const std::string& entry) {
    gchar* display = g_filename_display_name(entry.c_str());
    std::string text = display;
    g_free(display);
    return text;
}

std::string DeleteQuestion(const std::string& entry) {
    gchar* lead = g_convert(kDeleteQuestionLead, -1, "UTF-8", "CP1250", nullptr, nullptr, nullptr);
    std::string question = lead ? lead : "";
    g_free(lead);
    question += '"';
    question += SavedGameDisplayName(entry);
    question += "\" ?";
    return question;
}

void DeleteSavedGameFile(const std::string& entry) {
    unlink((entry + ".pzz").c_str());
}
