#include "framework/Error.h"

#include "platform/D3DX9.h"
#include "platform/linux/CodePages.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Entries written by this process; an entry that could not be written does not count.
int g_errorSequence = 0;
// The entry being written, repeated on standard error once complete.
std::string g_entryText;

const char* KindName(int kind) {
    switch (kind) {
    case ERR_NORMAL:
        return "Normalny";
    case ERR_WIN32:
        return "Win32API";
    case ERR_DIRECTX:
        return "DirectX";
    default:
        return "Nieznany";
    }
}

void WriteLine(HANDLE file, const char* text) {
    g_entryText.append(text).append("\r\n");
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
}

void WriteLabelled(HANDLE file, const char* label, const char* value) {
    size_t labelLength = std::strlen(label);
    size_t valueLength = std::strlen(value);
    std::vector<char> line(labelLength + valueLength + 1);
    std::memcpy(line.data(), label, labelLength);
    std::memcpy(line.data() + labelLength, value, valueLength + 1);
    WriteLine(file, line.data());
}

// The character of a valid UTF-8 sequence at text[i] and its length in bytes; length 0 when the
// bytes there are not one (a stray continuation byte, a cut or overlong sequence, a surrogate).
char32_t DecodeUtf8(const std::string& text, size_t i, size_t& length) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    length = 0;
    size_t n = 0;
    char32_t c = 0, least = 0;
    if (lead < 0x80)
        return length = 1, lead;
    if ((lead & 0xE0) == 0xC0)
        n = 2, c = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        n = 3, c = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        n = 4, c = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (text.size() - i < n)
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    length = n;
    return c;
}

} // namespace

std::string LogPathText(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size();) {
        size_t length = 0;
        const char32_t c = DecodeUtf8(path, i, length);
        char byte = '?';
        if (length == 0) {
            length = 1;
        } else if (c < 0x80) {
            byte = static_cast<char>(c);
        } else {
            for (int k = 0; k < 128; ++k)
                if (layer::kCp1250High[k] == c) {
                    byte = static_cast<char>(0x80 + k);
                    break;
                }
        }
        out += byte;
        i += length;
    }
    return out;
}

int GetErrorLogSequence() {
    return g_errorSequence;
}

CError::CError(int kind, const char* message, const char* sourceFile, int line, int32_t value)
    : kind(kind), message(nullptr), sourceFile(sourceFile), line(line), systemError(0), resultCode(0),
      logFile(INVALID_HANDLE_VALUE), m_text(std::make_shared<const std::string>(message ? message : "")) {
    this->message = m_text->c_str();
    if (kind == ERR_WIN32)
        systemError = GetLastError();
    else if (kind == ERR_DIRECTX)
        resultCode = value;
    WriteErrorLog();
}

void CError::WriteErrorLog() {
    logFile =
        CreateFileA("Errors.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // An unopenable log skips the entry (its number is not used up); standard error still gets it.
    const bool logged = logFile != INVALID_HANDLE_VALUE;
    if (logged)
        SetFilePointer(logFile, 0, nullptr, FILE_END);
    g_entryText.clear();

    char value[512];

    WriteLine(logFile, "Środowisko");
    SYSTEMTIME time;
    GetSystemTime(&time);
    std::snprintf(value, sizeof value, "%.4u-%.2u-%.2u %.2u:%.2u:%.2u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    WriteLabelled(logFile, "  Czas       : ", value);

    char computer[16];
    DWORD size = sizeof computer;
    if (GetComputerNameA(computer, &size))
        WriteLabelled(logFile, "  Komputer   : ", computer);

    char user[257];
    size = sizeof user;
    if (GetUserNameA(user, &size))
        WriteLabelled(logFile, "  Użytkownik : ", user);

    char program[MAX_PATH];
    if (GetModuleFileNameA(nullptr, program, MAX_PATH) != 0) {
        program[MAX_PATH - 1] = '\0';
        WriteLabelled(logFile, "  Plik       : ", LogPathText(program).c_str());
    }

    WriteLine(logFile, "Źródło");
    WriteLabelled(logFile, "  Plik       : ", sourceFile ? sourceFile : "");
    std::snprintf(value, sizeof value, "%i", line);
    WriteLabelled(logFile, "  Wiersz     : ", value);

    WriteLine(logFile, "Błąd");
    std::snprintf(value, sizeof value, "%i", logged ? ++g_errorSequence : g_errorSequence + 1);
    WriteLabelled(logFile, "  Numer      : ", value);
    WriteLabelled(logFile, "  Typ        : ", KindName(kind));
    WriteLabelled(logFile, "  Komunikat  : ", message);

    if (kind == ERR_WIN32) {
        WriteLine(logFile, "Win32API");
        std::snprintf(value, sizeof value, "%u", systemError);
        WriteLabelled(logFile, "  Kod        : ", value);
        char* systemText = nullptr;
        FormatMessageA(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
            nullptr, systemError, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
        WriteLabelled(logFile, "  Komunikat  : ", systemText ? systemText : "");
        if (systemText)
            LocalFree(systemText);
    } else if (kind == ERR_DIRECTX) {
        WriteLine(logFile, "DirectX");
        std::snprintf(value, sizeof value, "%i", resultCode);
        WriteLabelled(logFile, "  Kod        : ", value);
        WriteLabelled(logFile, "  Komunikat  : ", DXGetErrorString9A(resultCode));
        WriteLabelled(logFile, "  Opis       : ", DXGetErrorDescription9A(resultCode));
    }

    WriteLine(logFile, "");
    if (logged)
        CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
    OutputDebugStringA(g_entryText.c_str());
    g_entryText.clear();
}
