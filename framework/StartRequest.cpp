#include "framework/StartRequest.h"

#include <cctype>
#include <cstdint>
#include <cstring>

bool ReadPieceCount(const char* text, int& count) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit)
            return false;
    }
    count = static_cast<int>(negative ? -value : value);
    return true;
}

namespace {

const char* AfterPrefix(const char* argument, const char* prefix) {
    size_t length = std::strlen(prefix);
    return std::strncmp(argument, prefix, length) == 0 ? argument + length : nullptr;
}

} // namespace

bool TakeStartOption(const char* argument, StartRequest& request) {
    bool isNew = true;
    const char* value = AfterPrefix(argument, "-n:");
    if (!value)
        value = AfterPrefix(argument, "--new:");
    if (!value) {
        isNew = false;
        value = AfterPrefix(argument, "-o:");
        if (!value)
            value = AfterPrefix(argument, "--open:");
    }
    if (!value)
        return false;

    if (request.kind != START_NONE) {
        request.kind = START_NONE;
        return false;
    }

    if (!isNew) {
        if (*value == '\0')
            return false;
        request.path = value;
        request.kind = START_OPEN;
        return true;
    }

    const char* question = std::strchr(value, '?');
    if (!question || question[1] == '\0')
        return false;
    int count = 0;
    if (!ReadPieceCount(question + 1, count))
        return false;
    if (count < 2 || question == value)
        return false;
    request.path.assign(value, question);
    request.pieceCount = count;
    request.kind = START_NEW;
    return true;
}
