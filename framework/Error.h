// CError: the one failure type of the game. Building a record appends its entry to
// "Errors.log" in the current folder at once; the record is then thrown by value.
#pragma once

#include "platform/Win32.h"

#include <cstdint>
#include <memory>
#include <string>

enum ErrorKind {
    ERR_NORMAL = 1,
    ERR_WIN32 = 2,
    ERR_DIRECTX = 3,
};

class CError {
  public:
    // kind ERR_WIN32 takes GetLastError() (value ignored); ERR_DIRECTX takes value as the
    // result code; other kinds ignore value. Writes the log entry before returning.
    // Copies share the text, so `message` stays valid in every copy.
    CError(int kind, const char* message, const char* sourceFile, int line, int32_t value);

    int kind;
    const char* message; // points into the record's own copy of the text
    const char* sourceFile;
    int line;
    uint32_t systemError;
    HRESULT resultCode;
    HANDLE logFile;

  private:
    void WriteErrorLog();
    std::shared_ptr<const std::string> m_text;
};

// Entries written by this process so far; the next entry gets this number plus one.
int GetErrorLogSequence();

// A path as the log shows it: the file system's UTF-8 names in Windows-1250, as a Windows
// program's ANSI path reads. A character with no Windows-1250 form, and every byte that is not
// part of a valid UTF-8 character, becomes '?'.
std::string LogPathText(const std::string& path);
