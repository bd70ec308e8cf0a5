// The picture of a new game, loaded and decoded by the decoder program (one process for the
// whole start, closed with this object), and every way that can fail as the start's log entries.
#pragma once

#include "game/DecoderClient.h"
#include "game/logic/Board.h"

#include <string>

class CPicture {
  public:
    CPicture() = default;
    ~CPicture() { m_decoder.Close(); }
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Loads the file; a picture whose atlas for `count` pieces needs a texture larger than
    // largestSide comes back with its size only, for CheckAtlasFits to refuse.
    void Load(const std::string& path, int count, int largestSide);
    // Sets board's area to the picture's size; refuses a picture of 48 pixels or less a side.
    void CheckSize(Board& board) const;
    // Refuses, before anything is decoded further, a picture whose atlas the device cannot make.
    void CheckAtlasFits(const Board& board, int largestSide) const;
    // The picture scaled for the thumbnail (board's thumbWidth x thumbHeight, set here).
    RgbImage Thumbnail(Board& board);
    // The whole picture as loaded.
    RgbImage Pixels();

  private:
    CPictureDecoder m_decoder;
    std::string m_path;
};
