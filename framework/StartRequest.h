#pragma once

#include <string>

// The kinds of start request.
enum {
    START_NONE = 0,
    START_NEW = 1,  // a new puzzle from a picture
    START_OPEN = 2, // a saved game
};

// What the command line asks to play.
struct StartRequest {
    int kind = START_NONE;
    std::string path;   // START_NEW: the picture; START_OPEN: the saved game
    int pieceCount = 0; // START_NEW: the requested number of pieces
};

// Reads a piece-count text as atoi does (leading white space, an optional sign, the digits up to
// the first non-digit; no digits give 0), but refuses a value outside the signed 32-bit range
// instead of overflowing. Returns false only for such a value.
bool ReadPieceCount(const char* text, int& count);

// Offers one command-line argument as a start option: "-n:" / "--new:" path "?" count, or
// "-o:" / "--open:" path (prefixes case-sensitive). Returns true when the argument was taken
// into request. A start option that meets a recorded request cancels it (kind 0) and is not taken.
bool TakeStartOption(const char* argument, StartRequest& request);
