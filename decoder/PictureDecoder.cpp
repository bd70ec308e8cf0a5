// PictureDecoder: decodes one picture file with DevIL and ILU for Game, in a process of its own.
// The image library is old and trusts its files: a damaged or hostile picture can make it
// overflow buffers, free memory twice, crash or loop forever. Here that costs only this process:
// it is confined (see Confinement.h), its memory is guarded (GuardedMemory.h), and Game treats
// anything but a complete, well-formed answer as a picture that cannot be read.
//
//   PictureDecoder <largest side> <picture path>
// Descriptor 0 is the stream to and from Game, 3 the shared memory file; see Protocol.h.
#include "decoder/Confinement.h"
#include "decoder/GuardedMemory.h"
#include "decoder/Protocol.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace decoder;

namespace {

constexpr int kStream = 0;
constexpr int kShared = 3;
constexpr unsigned kCpuSeconds = 10;
// Bytes of the largest picture the device can show, per pixel, as the library may hold it at
// once: the picture in up to four 16-bit channels, its copy for the thumbnail and the format
// conversion of a pixel copy. Address space beyond that is left for code and the readers' own
// buffers.
constexpr size_t kLibraryBytesPerPixel = 20;
constexpr size_t kProgramAddressSpace = 512u << 20;

bool SendAll(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(kStream, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReceiveAll(void* data, size_t size) {
    uint8_t* p = static_cast<uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = read(kStream, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Bytes of one channel of a DevIL type.
int TypeSize(ILenum type) {
    switch (type) {
    case IL_BYTE:
    case IL_UNSIGNED_BYTE:
        return 1;
    case IL_SHORT:
    case IL_UNSIGNED_SHORT:
        return 2;
    case IL_DOUBLE:
        return 8;
    default:
        return 4;
    }
}

// DevIL's PNM and SGI readers load 16-bit files into a buffer sized for 8-bit channels and
// describe it with a 16-bit channel type but one byte a channel: every copy sizes itself by the
// type and reads as many bytes again beyond the buffer's end. Such a picture is unreadable.
bool PixelDescriptionConsistent() {
    return TypeSize(static_cast<ILenum>(ilGetInteger(IL_IMAGE_TYPE))) == ilGetInteger(IL_IMAGE_BPC);
}

// The readers of BMP, SGI, TIFF and ICO files hand over the rows in their stored order and
// report a lower-left origin for bottom-up files; every other reader has already put the rows
// top-down, whatever origin it reports (TGA and Photo CD report lower-left). The reader is the
// one DevIL chose: by extension, or by the file's content when the extension is not one it knows
// (a bottom-up BMP named .dib or without extension, SGI named .rgb).
bool NeedsFlip(const char* path) {
    if (ilGetInteger(IL_IMAGE_ORIGIN) != IL_ORIGIN_LOWER_LEFT)
        return false;
    ILenum type = ilTypeFromExt(path);
    if (type == IL_TYPE_UNKNOWN)
        type = ilDetermineType(path);
    return type == IL_BMP || type == IL_SGI || type == IL_TIF || type == IL_ICO;
}

Step CopyOut(ILuint names[2], const DecodeRequest& request, int32_t width, int32_t height, uint8_t* shared) {
    ilBindImage(names[1]);
    if (ilGetError() != IL_NO_ERROR)
        return kStepBindThumbnail;
    ilCopyImage(names[0]);
    if (ilGetError() != IL_NO_ERROR)
        return kStepCopyImage;
    iluImageParameter(ILU_FILTER, ILU_LINEAR);
    if (ilGetError() != IL_NO_ERROR)
        return kStepFilter;
    iluScale(request.thumbWidth, request.thumbHeight, 1);
    if (ilGetError() != IL_NO_ERROR)
        return kStepScale;
    ilCopyPixels(0, 0, 0, request.thumbWidth, request.thumbHeight, 1, IL_RGB, IL_UNSIGNED_BYTE, shared);
    if (ilGetError() != IL_NO_ERROR)
        return kStepThumbnailPixels;
    // The scaled copy is no longer needed: give its memory back before the big copy.
    const ILubyte black[3] = {0, 0, 0};
    ilTexImage(1, 1, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, const_cast<ILubyte*>(black));
    ilBindImage(names[0]);
    const size_t thumbBytes = static_cast<size_t>(request.thumbWidth) * request.thumbHeight * 3;
    ilCopyPixels(0, 0, 0, width, height, 1, IL_RGB, IL_UNSIGNED_BYTE, shared + thumbBytes);
    if (ilGetError() != IL_NO_ERROR)
        return kStepPicturePixels;
    return kStepDone;
}

int Decode(const char* path, int picture) {
    ILuint names[2] = {0, 0};
    ilGenImages(2, names);
    ilBindImage(names[0]);

    DecodedHeader header{kMagic, kVersion, kUnreadable, 0, 0};
    struct stat info {};
    if (fstat(picture, &info) == 0 && S_ISREG(info.st_mode)) {
        ilLoadImage(path);
        if (ilGetError() == IL_NO_ERROR && PixelDescriptionConsistent()) {
            if (NeedsFlip(path))
                iluFlipImage();
            header.status = kLoaded;
            header.width = ilGetInteger(IL_IMAGE_WIDTH);
            header.height = ilGetInteger(IL_IMAGE_HEIGHT);
        } else if (RefusedPictureSize(header.width, header.height)) {
            header.status = kTooLarge;
        }
    }
    close(picture);
    if (!GuardsIntact())
        std::abort();
    if (!SendAll(&header, sizeof header) || header.status != kLoaded)
        return 0;

    DecodeRequest request{};
    if (!ReceiveAll(&request, sizeof request) || request.magic != kMagic)
        return 0; // Game has what it needs (or has given up)
    if (request.thumbWidth < 1 || request.thumbWidth > 512 || request.thumbHeight < 1 ||
        request.thumbHeight > 512 || header.width < 1 || header.height < 1)
        return 1;
    const size_t bytes = (static_cast<size_t>(request.thumbWidth) * request.thumbHeight +
                          static_cast<size_t>(header.width) * header.height) *
                         3;
    // Game has sized (and sealed) the shared memory for exactly these bytes.
    struct stat sharedInfo {};
    if (fstat(kShared, &sharedInfo) != 0 || static_cast<size_t>(sharedInfo.st_size) != bytes)
        return 1;
    void* shared = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, kShared, 0);
    if (shared == MAP_FAILED)
        return 1;
    const DecodedResult result{
        kMagic, CopyOut(names, request, header.width, header.height, static_cast<uint8_t*>(shared))};
    munmap(shared, bytes);
    ilDeleteImages(2, names);
    ilShutDown();
    // An overflow anywhere in the library's blocks makes every byte above suspect.
    if (!GuardsIntact())
        std::abort();
    return SendAll(&result, sizeof result) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const long side = std::strtol(argv[1], nullptr, 10);
    if (side < 1 || side > kLargestSide)
        return 2;
    const size_t area = static_cast<size_t>(side) * static_cast<size_t>(side);
    CloseDescriptorsAbove(kShared);
    LimitResources(kCpuSeconds, kProgramAddressSpace + area * (kLibraryBytesPerPixel + 3));

    // Never blocks: a FIFO or device named as the picture is opened without waiting for it.
    const int picture = open(argv[2], O_PATH | O_CLOEXEC);
    InstallGuardedMemory(area * kLibraryBytesPerPixel, static_cast<int32_t>(side));
    ilInit();
    iluInit();
    if (picture < 0 || !Confine(picture, kStream)) {
        const DecodedHeader header{kMagic, kVersion, kUnreadable, 0, 0};
        SendAll(&header, sizeof header);
        return 0;
    }
    return Decode(argv[2], picture);
}
