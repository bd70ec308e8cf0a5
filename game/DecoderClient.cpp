#include "game/DecoderClient.h"

#include "decoder/Protocol.h"
#include "game/logic/AtlasTexture.h"

#include <algorithm>

namespace {

constexpr int32_t kLargestPlausibleSide = 65535;

} // namespace

CPictureDecoder::Load CPictureDecoder::Open(const std::string& path, int count, int largestSide) {
    Close();
    m_tooLarge = false;
    m_width = m_height = 0;
    m_largestSide = std::clamp(largestSide, 1, static_cast<int>(decoder::kLargestSide));
    m_count = count;
    if (!m_helper.Start("PictureDecoder", {std::to_string(m_largestSide), std::to_string(m_count), path},
                        kTimeLimitMs)) {
        return Load::Unreadable;
    }
    decoder::DecodedHeader header{};
    if (!m_helper.Read(&header, sizeof header) || header.magic != decoder::kMagic ||
        header.version != decoder::kVersion) {
        Close();
        return Load::Unreadable;
    }
    // A side beyond any real picture's is a damaged header, not a picture too large to show.
    const bool plausible = header.width >= 1 && header.height >= 1 && header.width <= kLargestPlausibleSide &&
                           header.height <= kLargestPlausibleSide;
    const bool fits = plausible && AtlasTextureFits(header.width, header.height, m_count, m_largestSide);
    if (header.status == decoder::kLoaded && fits) {
        m_width = header.width;
        m_height = header.height;
        return Load::Loaded;
    }
    Close();
    // A picture decoded whole although its atlas does not fit is just as useless.
    if ((header.status == decoder::kTooLarge || header.status == decoder::kLoaded) && plausible && !fits) {
        m_width = header.width;
        m_height = header.height;
        m_tooLarge = true;
        return Load::TooLarge;
    }
    return Load::Unreadable;
}

CPictureDecoder::Copy CPictureDecoder::Decode(int thumbWidth, int thumbHeight) {
    m_copy = DecodeOnce(thumbWidth, thumbHeight);
    return m_copy;
}

CPictureDecoder::Copy CPictureDecoder::DecodeOnce(int thumbWidth, int thumbHeight) {
    if (m_tooLarge || m_width < 1 || thumbWidth < 1 || thumbWidth > 512 || thumbHeight < 1 ||
        thumbHeight > 512) {
        return Copy::Failed;
    }
    m_thumbWidth = thumbWidth;
    m_thumbHeight = thumbHeight;
    const uint64_t bytes = (static_cast<uint64_t>(thumbWidth) * thumbHeight +
                            static_cast<uint64_t>(m_width) * static_cast<uint64_t>(m_height)) *
                           3;
    const decoder::DecodeRequest request{decoder::kMagic, thumbWidth, thumbHeight};
    decoder::DecodedResult result{};
    // The result comes once the guards of every library block have been found intact; the
    // decoder then ends without cleaning up, and is reaped by Close.
    if (!m_helper.SizeShared(bytes) || !m_helper.Write(&request, sizeof request) ||
        !m_helper.Read(&result, sizeof result) || result.magic != decoder::kMagic) {
        Close();
        return Copy::Failed;
    }
    switch (result.failedStep) {
    case decoder::kStepDone:
        return Copy::Done;
    case decoder::kStepBindThumbnail:
        return Copy::BindThumbnail;
    case decoder::kStepCopyImage:
        return Copy::CopyImage;
    case decoder::kStepFilter:
        return Copy::Filter;
    case decoder::kStepScale:
        return Copy::Scale;
    case decoder::kStepThumbnailPixels:
        return Copy::ThumbnailPixels;
    case decoder::kStepPicturePixels:
        return Copy::PicturePixels;
    default:
        return Copy::Failed;
    }
}

bool CPictureDecoder::ReadThumbnail(RgbImage& scaled) {
    return (m_copy == Copy::Done || m_copy == Copy::PicturePixels) && scaled.width == m_thumbWidth &&
           scaled.height == m_thumbHeight &&
           m_helper.ReadShared(static_cast<uint64_t>(m_width) * static_cast<uint64_t>(m_height) * 3,
                               scaled.data.get(), static_cast<size_t>(m_thumbWidth) * m_thumbHeight * 3);
}

bool CPictureDecoder::ReadPicture(RgbImage& rgb) {
    if (m_copy != Copy::Done) {
        return false;
    }
    // The decoder's bytes are used where they are, without a copy.
    std::shared_ptr<uint8_t[]> pixels =
        m_helper.MapShared(static_cast<uint64_t>(m_width) * static_cast<uint64_t>(m_height) * 3);
    m_helper.DropShared();
    if (!pixels) {
        return false;
    }
    rgb = RgbImage(m_width, m_height, std::move(pixels));
    return true;
}

void CPictureDecoder::Close() {
    m_helper.Stop();
}
