#include "StartArgument.h"

#include "LauncherTexts.h"

#include "startup/CommandLine.h"

#include <cstdint>
#include <sys/stat.h>

namespace {

constexpr size_t kFieldCapacity = 260;
constexpr int kFewestPieces = 4;
constexpr int kMostPieces = 10000;
// Game keeps at most this many characters of an argument (quotes not counted).
constexpr size_t kGameArgumentCharacters = 259;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t CountCharacters(std::string_view text) {
    size_t characters = 0;
    for (char c : text) {
        if (!IsUtf8Continuation(c)) {
            ++characters;
        }
    }
    return characters;
}

// The one argument in the quotes that keep its blanks together, or nothing when Game would not
// get it whole.
std::optional<std::string> QuoteForGame(const std::string& argument) {
    if (CountCharacters(argument) > kGameArgumentCharacters) {
        return std::nullopt;
    }
    return startup::QuoteArgument(argument, startup::Quotes::Always);
}

CheckResult Warn(const char* text, DialogControl focus) {
    CheckResult result;
    result.warning = text;
    result.focus = focus;
    return result;
}

} // namespace

std::string ReadFieldText(std::string_view fieldText) {
    size_t lineEnd = fieldText.find_first_of("\r\n");
    if (lineEnd != std::string_view::npos) {
        fieldText = fieldText.substr(0, lineEnd);
    }
    size_t characters = 0;
    size_t end = 0;
    while (end < fieldText.size()) {
        if (!IsUtf8Continuation(fieldText[end])) {
            if (characters == kFieldCapacity) {
                break;
            }
            ++characters;
        }
        ++end;
    }
    return std::string(fieldText.substr(0, end));
}

bool IsExistingFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return false;
    }
    return S_ISREG(status.st_mode);
}

std::optional<int> ReadDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    bool outOfRange = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            outOfRange = true;
            magnitude = limit;
        }
    }
    if (outOfRange) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

CheckResult PrepareNewGameArgument(const std::string& pictureText, const std::string& countText) {
    if (pictureText.empty()) {
        return Warn(kEnterPicture, DialogControl::Picture);
    }
    if (!IsExistingFile(pictureText)) {
        return Warn(kPictureMissing, DialogControl::Picture);
    }
    if (pictureText.find_first_of("\"?") != std::string::npos) {
        return Warn(kPictureNameUnusable, DialogControl::Picture);
    }
    if (countText.empty()) {
        return Warn(kEnterPieceCount, DialogControl::PieceCount);
    }
    std::optional<int> count = ReadDecimal(countText);
    if (count && *count == 0) {
        return Warn(kInvalidPieceCount, DialogControl::PieceCount);
    }
    if (!count || *count < kFewestPieces || *count > kMostPieces) {
        return Warn(kUnreasonablePieceCount, DialogControl::PieceCount);
    }
    if (countText.find('"') != std::string::npos) {
        return Warn(kInvalidPieceCount, DialogControl::PieceCount);
    }
    std::optional<std::string> argument = QuoteForGame("--new:" + pictureText + "?" + countText);
    if (!argument) {
        return Warn(kPictureTooLong, DialogControl::Picture);
    }
    CheckResult result;
    result.ok = true;
    result.argument = *argument;
    return result;
}

CheckResult PrepareOpenGameArgument(const std::optional<std::string>& selectedEntry) {
    if (!selectedEntry) {
        return Warn(kSelectGameToOpen, DialogControl::SavedGames);
    }
    std::optional<std::string> argument = QuoteForGame("--open:" + *selectedEntry + ".pzz");
    if (!argument) {
        return Warn(kSavedGameNameUnusable, DialogControl::SavedGames);
    }
    CheckResult result;
    result.ok = true;
    result.argument = *argument;
    return result;
}

std::string ComposeGameCommandLine(const std::string& argument) {
    return "Game.exe " + argument;
}
