// The picture path under libFuzzer: Game's side of the exchange (CPictureDecoder, built with
// AddressSanitizer) against the real PictureDecoder program. Every input becomes a picture file
// whose type (extension) comes from its first byte. Whatever the decoder does with it (crash,
// endless loop, memory exhaustion, garbage) must reach Game only as a refusal or as a picture
// of consistent sizes; a fault of the decoder itself is expected and is not a finding.
#include "game/DecoderClient.h"
#include "game/logic/AtlasTexels.h"
#include "game/logic/AtlasTexture.h"
#include "platform/linux/Hooks.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// The types the launcher offers.
const char* const kExtensions[] = {"bmp", "cut", "dcx", "dds", "ico", "jpg", "lbm", "lif",
                                   "mdl", "pcd", "pcx", "pic", "png", "pnm", "psd", "psp",
                                   "raw", "sgi", "tga", "tif", "wal", "act", "pal"};
constexpr int kLargestSide = 4096;
constexpr int kPieces = 100;

std::filesystem::path g_folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    layer::SetHelperFolder(PUZZLE_BIN_DIR);
    g_folder = std::filesystem::temp_directory_path() / ("picture_fuzz." + std::to_string(getpid()));
    std::filesystem::create_directories(g_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::string extension = kExtensions[data[0] % (sizeof kExtensions / sizeof kExtensions[0])];
    const std::filesystem::path path = g_folder / ("input." + extension);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), size - 1);

    CPictureDecoder decoder;
    const CPictureDecoder::Load load = decoder.Open(path.string(), kPieces, kLargestSide);
    if (load == CPictureDecoder::Load::TooLarge &&
        AtlasTextureFits(decoder.Width(), decoder.Height(), kPieces, kLargestSide)) {
        std::abort();
    }
    if (load != CPictureDecoder::Load::Loaded) {
        return 0;
    }
    if (decoder.Width() < 1 || decoder.Height() < 1 || decoder.Width() > kLargestSide ||
        decoder.Height() > kLargestSide) {
        std::abort();
    }
    int thumbWidth = 0, thumbHeight = 0;
    ThumbnailSize(decoder.Width(), decoder.Height(), thumbWidth, thumbHeight);
    if (decoder.Decode(thumbWidth, thumbHeight) == CPictureDecoder::Copy::Done) {
        RgbImage scaled(thumbWidth, thumbHeight);
        RgbImage picture;
        if (!decoder.ReadThumbnail(scaled) || !decoder.ReadPicture(picture)) {
            std::abort(); // a finished decode is read back whole
        }
    }
    decoder.Close();
    return 0;
}
