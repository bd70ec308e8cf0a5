// Fuzzing target of the saved-game reader. An input starting with the gzip magic byte is read as
// a saved-game file, the way a player's game opens one (from a file, through the game's gzip reader); any
// other input is read, after that first byte, as uncompressed content. The limits keep every
// allocation the checks allow within a few megabytes.
#include "game/logic/GzipReader.h"
#include "game/logic/SaveFile.h"
#include "tests/game/MemorySave.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The input as a file, in memory.
std::string InputFile(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("save_fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        __builtin_trap();
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const SaveLimits limits{1024, 4096};
    Board board;
    CMemoryPixels pixels;
    try {
        if (data[0] == 0x1f) {
            std::unique_ptr<CGzipFileSource> src = CGzipFileSource::Open(InputFile(data, size));
            if (src) {
                ReadSavedGame(*src, board, pixels, limits);
                src->TakeIndex();
            }
        } else {
            CMemorySource src(data + 1, size - 1);
            ReadSavedGame(src, board, pixels, limits);
        }
    } catch (const CSaveFileError&) {
    }
    return 0;
}
