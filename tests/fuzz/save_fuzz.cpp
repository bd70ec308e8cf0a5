// Fuzzing target of the saved-game reader. An input starting with the gzip magic byte is read as
// a saved-game file; any other input is read, after that first byte, as uncompressed content.
// The limits keep every allocation the checks allow within a few megabytes.
#include "game/logic/SaveFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const SaveLimits limits{1024, 4096};
    try {
        if (data[0] == 0x1f) {
            CGzipMemorySource src(data, size);
            ReadSaveData(src, limits);
        } else {
            CMemorySource src(data + 1, size - 1);
            ReadSaveData(src, limits);
        }
    } catch (const CSaveFileError&) {
    }
    return 0;
}
