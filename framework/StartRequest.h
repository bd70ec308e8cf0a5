#pragma once

#include <string>

// What the command line asks to play.
struct StartRequest {
    int kind = 0;        // 0 none, 1 new puzzle from a picture, 2 open a saved game
    std::string path;    // kind 1: the picture; kind 2: the saved game
    int pieceCount = 0;  // kind 1: the requested number of pieces
};
