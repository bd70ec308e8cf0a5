#pragma once

#include <string>

// What the command line asks to play.
struct StartRequest {
    int kind = 0;       // 0 none, 1 new puzzle from a picture, 2 open a saved game
    std::string path;   // kind 1: the picture; kind 2: the saved game
    int pieceCount = 0; // kind 1: the requested number of pieces
};

// Reads a piece-count text as atoi does (leading white space, an optional sign, the digits up to
// the first non-digit; no digits give 0), but refuses a value outside the signed 32-bit range
// instead of overflowing. Returns false only for such a value.
bool ReadPieceCount(const char* text, int& count);

// Offers one command-line argument as a start option: "-n:" / "--new:" path "?" count, or
// "-o:" / "--open:" path (prefixes case-sensitive). Returns true when the argument was taken
// into request. A start option that meets a recorded request cancels it (kind 0) and is not taken.
bool TakeStartOption(const char* argument, StartRequest& request);
