// The game's side of the picture decoder program: starts it for one picture, checks every answer
// and hands over the thumbnail's and the picture's pixels. A decoder that crashes, hangs past the
// time limit, runs out of its memory or answers anything malformed is a picture that cannot be
// read; the caller only sees the failure.
#pragma once

#include "game/logic/Board.h"
#include "platform/HelperProcess.h"

#include <cstdint>
#include <string>

class CPictureDecoder {
  public:
    enum class Load { Loaded, Unreadable, TooLarge };
    // Result of the thumbnail and pixel copies.
    enum class Copy { Done, Failed, BindThumbnail, CopyImage, Filter, Scale, ThumbnailPixels, PicturePixels };

    // The whole exchange, from start to the decoder's end, must be over within this time.
    static constexpr unsigned kTimeLimitMs = 10000;

    // Starts the decoder on `path`, which loads the picture and turns it the right way up.
    // largestSide: the device's texture limit; a picture whose atlas for `count` pieces needs a
    // larger texture (AtlasTextureFits) is reported as TooLarge with its size, refused by the
    // decoder as soon as it knows the size, before the pixels are decoded.
    Load Open(const std::string& path, int count, int largestSide);
    // The picture's size after Open (Loaded or TooLarge).
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Open answered TooLarge.
    bool TooLarge() const { return m_tooLarge; }

    // Asks for the thumbnail scaled to thumbWidth x thumbHeight and the whole picture's pixels,
    // and waits for the decoder's answer. Failed covers every way the decoder can fail; the
    // other values name the library step that reported an error.
    Copy Decode(int thumbWidth, int thumbHeight);
    // What the last Decode returned.
    Copy LastCopy() const { return m_copy; }
    // The thumbnail's pixels after Decode (also when only the picture's copy failed) into an
    // image of the thumbnail's size; false if they cannot be read back.
    bool ReadThumbnail(RgbImage& scaled);
    // Makes rgb the picture's pixels (the decoder's own bytes, shared, not copied); false if they
    // cannot be read back. Call after ReadThumbnail: the shared memory is then closed.
    bool ReadPicture(RgbImage& rgb);

    // Ends the decoder (killed if it still runs).
    void Close();

  private:
    Copy DecodeOnce(int thumbWidth, int thumbHeight);

    CHelperProcess m_helper;
    int m_largestSide = 0;
    int m_count = 0;
    int m_width = 0;
    int m_height = 0;
    int m_thumbWidth = 0;
    int m_thumbHeight = 0;
    bool m_tooLarge = false;
    Copy m_copy = Copy::Failed;
};
