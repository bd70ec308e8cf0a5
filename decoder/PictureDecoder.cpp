// PictureDecoder: decodes one picture file with DevIL and ILU for Game, in a process of its own.
// The image library is old and trusts its files: a damaged or hostile picture can make it
// overflow buffers, free memory twice, crash or loop forever. Here that costs only this process:
// it is confined (see Confinement.h), its memory is guarded (GuardedMemory.h), and Game treats
// anything but a complete, well-formed answer as a picture that cannot be read.
//
//   PictureDecoder <largest side> <piece count> <picture path>
// Descriptor 0 is the stream to and from Game, 3 the shared memory file; see Protocol.h.
#include "decoder/Confinement.h"
#include "decoder/GuardedMemory.h"
#include "decoder/Protocol.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace decoder;

namespace {

constexpr int kStream = 0;
constexpr int kShared = 3;
constexpr unsigned kCpuSeconds = 5;
// Bytes of the largest picture the device can show, per pixel, as the library may hold it at
// once: the picture in up to four 16-bit channels, its copy for the thumbnail and the format
// conversion of a pixel copy. Address space beyond that is left for code and the readers' own
// buffers.
constexpr size_t kLibraryBytesPerPixel = 20;
constexpr size_t kProgramAddressSpace = 512u << 20;

// Moves all `size` bytes through `transfer` (a read or a write on the stream), going on after a
// signal; false when the stream ends or fails first.
template <class Byte, class Transfer> bool TransferAll(Byte* p, size_t size, Transfer transfer) {
    while (size > 0) {
        const ssize_t n = transfer(p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SendAll(const void* data, size_t size) {
    return TransferAll(static_cast<const uint8_t*>(data), size,
                       [](const uint8_t* p, size_t n) { return write(kStream, p, n); });
}

bool ReceiveAll(void* data, size_t size) {
    return TransferAll(static_cast<uint8_t*>(data), size,
                       [](uint8_t* p, size_t n) { return read(kStream, p, n); });
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
ILenum ReaderOf(const char* path) {
    const ILenum type = ilTypeFromExt(path);
    return type != IL_TYPE_UNKNOWN ? type : ilDetermineType(path);
}

bool NeedsFlip(ILenum reader) {
    return ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT &&
           (reader == IL_BMP || reader == IL_SGI || reader == IL_TIF || reader == IL_ICO);
}

// Whether a JPEG file carries Adobe's APP14 marker, which says its CMYK channels are stored
// inverted (255 = no ink), as every common writer stores them. Reads the markers before the
// first scan.
bool HasAdobeMarker(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    uint8_t head[65536];
    ssize_t length = 0;
    for (ssize_t n; length < static_cast<ssize_t>(sizeof head) &&
                    (n = read(fd, head + length, sizeof head - static_cast<size_t>(length))) > 0;)
        length += n;
    close(fd);
    for (ssize_t at = 2; at + 4 <= length && head[at] == 0xFF;) {
        const int marker = head[at + 1];
        const int size = head[at + 2] << 8 | head[at + 3];
        if (marker == 0xDA || size < 2)
            break;
        if (marker == 0xEE && size >= 7 && at + 9 <= length && std::memcmp(head + at + 4, "Adobe", 5) == 0)
            return true;
        at += 2 + size;
    }
    return false;
}

// DevIL hands over the four channels of a CMYK (or YCCK) JPEG as if they were red, green, blue
// and alpha. They are turned into the colours they print as, the conversion without a colour
// profile that ImageMagick also makes: each colour = (1 - ink) x (1 - black).
bool ConvertCmyk(const char* path) {
    const size_t pixels = static_cast<size_t>(ilGetInteger(IL_IMAGE_WIDTH)) * ilGetInteger(IL_IMAGE_HEIGHT) *
                          ilGetInteger(IL_IMAGE_DEPTH);
    uint8_t* data = ilGetData();
    if (!data || BlockSize(data) < pixels * 4)
        return false;
    const bool inverted = HasAdobeMarker(path);
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t* p = data + i * 4;
        const unsigned k = inverted ? p[3] : 255u - p[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned paper = inverted ? p[c] : 255u - p[c];
            p[c] = static_cast<uint8_t>((paper * k + 127) / 255);
        }
        p[3] = 255;
    }
    return true;
}

bool IsCmykJpeg(ILenum reader) {
    return reader == IL_JPG && ilGetInteger(IL_IMAGE_FORMAT) == IL_RGBA && ilGetInteger(IL_IMAGE_BPP) == 4 &&
           ilGetInteger(IL_IMAGE_TYPE) == IL_UNSIGNED_BYTE;
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
    const size_t pictureBytes = static_cast<size_t>(width) * height * 3;
    ilCopyPixels(0, 0, 0, request.thumbWidth, request.thumbHeight, 1, IL_RGB, IL_UNSIGNED_BYTE,
                 shared + pictureBytes);
    if (ilGetError() != IL_NO_ERROR)
        return kStepThumbnailPixels;
    // The scaled copy is no longer needed: give its memory back before the big copy.
    const ILubyte black[3] = {0, 0, 0};
    ilTexImage(1, 1, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, const_cast<ILubyte*>(black));
    ilBindImage(names[0]);
    ilCopyPixels(0, 0, 0, width, height, 1, IL_RGB, IL_UNSIGNED_BYTE, shared);
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
        const bool loaded = ilGetError() == IL_NO_ERROR && PixelDescriptionConsistent();
        const ILenum reader = loaded ? ReaderOf(path) : IL_TYPE_UNKNOWN;
        if (loaded && (!IsCmykJpeg(reader) || ConvertCmyk(path))) {
            if (NeedsFlip(reader))
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
    void* shared = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, kShared, 0);
    if (shared == MAP_FAILED)
        return 1;
    const DecodedResult result{
        kMagic, CopyOut(names, request, header.width, header.height, static_cast<uint8_t*>(shared))};
    // An overflow anywhere in the library's blocks makes every byte above suspect.
    if (!GuardsIntact())
        std::abort();
    // Nothing is freed: the process ends at once, and Game need not wait for the library's
    // clean-up.
    _exit(SendAll(&result, sizeof result) ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    const long side = std::strtol(argv[1], nullptr, 10);
    const long count = std::strtol(argv[2], nullptr, 10);
    if (side < 1 || side > kLargestSide || count < INT32_MIN || count > INT32_MAX)
        return 2;
    const size_t area = static_cast<size_t>(side) * static_cast<size_t>(side);
    EndWithParent();
    CloseDescriptorsAbove(kShared);
    LimitResources(kCpuSeconds, kProgramAddressSpace + area * (kLibraryBytesPerPixel + 3));

    // Never blocks: a FIFO or device named as the picture is opened without waiting for it.
    const int picture = open(argv[3], O_PATH | O_CLOEXEC);
    InstallGuardedMemory(area * kLibraryBytesPerPixel, static_cast<int32_t>(side),
                         static_cast<int32_t>(count));
    ilInit();
    iluInit();
    if (picture < 0 || !Confine(picture, kStream)) {
        const DecodedHeader header{kMagic, kVersion, kUnreadable, 0, 0};
        SendAll(&header, sizeof header);
        return 0;
    }
    return Decode(argv[3], picture);
}
