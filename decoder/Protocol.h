// The exchange between Game and the picture decoder program (PictureDecoder), which decodes the
// player's picture in a process of its own. Shared by both sides; plain data only.
//
//   Game starts:    PictureDecoder <largest side> <piece count> <picture path>
//   decoder sends:  DecodedHeader  (after loading and turning the picture the right way up)
//   Game sends:     DecodeRequest  (the thumbnail size), or ends the exchange; it has sized and
//                   sealed the shared memory file for exactly the bytes below
//   decoder writes: the picture's RGB bytes, then the thumbnail's, into the shared memory file
//   decoder sends:  DecodedResult, then ends with exit code 0
//
// The decoder is not trusted: Game checks every field and every size it receives.
#pragma once

#include <cstdint>

namespace decoder {

constexpr uint32_t kMagic = 0x43454450; // "PDEC"
constexpr uint32_t kVersion = 1;

// Largest side that a picture can have for any device (the atlas is at most 32768 texels wide).
constexpr int32_t kLargestSide = 32768;

enum LoadStatus : uint32_t {
    kLoaded = 0,
    kUnreadable = 1, // not a regular file, or the library cannot read it
    kTooLarge = 2,   // its atlas for the piece count needs a texture larger than the largest side Game
                     // named (AtlasTextureFits); width and height are the picture's
};

// Which step of the thumbnail or pixel copy failed; kStepDone when all succeeded.
enum Step : uint32_t {
    kStepDone = 0,
    kStepBindThumbnail = 1,
    kStepCopyImage = 2,
    kStepFilter = 3,
    kStepScale = 4,
    kStepThumbnailPixels = 5,
    kStepPicturePixels = 6,
};

struct DecodedHeader {
    uint32_t magic;
    uint32_t version;
    uint32_t status; // LoadStatus
    int32_t width;
    int32_t height;
};

struct DecodeRequest {
    uint32_t magic;
    int32_t thumbWidth;
    int32_t thumbHeight;
};

struct DecodedResult {
    uint32_t magic;
    uint32_t failedStep; // Step
};

} // namespace decoder
