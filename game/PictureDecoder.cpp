#include "game/PictureDecoder.h"

#include "decoder/Protocol.h"

#include <algorithm>

namespace {

constexpr int32_t kLargestPlausibleSide = 65535;

} // namespace

CPictureDecoder::Load CPictureDecoder::Open(const std::string& path, int largestSide) {
    Close();
    m_tooLarge = false;
    m_width = m_height = 0;
    m_largestSide = std::clamp(largestSide, 1, static_cast<int>(decoder::kLargestSide));
    if (!m_helper.Start("PictureDecoder", {std::to_string(m_largestSide), path}, kTimeLimitMs)) {
        return Load::Unreadable;
    }
    decoder::DecodedHeader header{};
    if (!m_helper.Read(&header, sizeof header) || header.magic != decoder::kMagic ||
        header.version != decoder::kVersion) {
        Close();
        return Load::Unreadable;
    }
    const bool fits = header.width >= 1 && header.height >= 1 && header.width <= m_largestSide &&
                      header.height <= m_largestSide;
    if (header.status == decoder::kLoaded && fits) {
        m_width = header.width;
        m_height = header.height;
        return Load::Loaded;
    }
    // A side beyond any real picture's is a damaged header, not a picture too large to show.
    const bool larger = header.width >= 1 && header.height >= 1 && header.width <= kLargestPlausibleSide &&
                        header.height <= kLargestPlausibleSide &&
                        (header.width > m_largestSide || header.height > m_largestSide);
    Close();
    // A picture decoded whole although larger than the limit is just as useless.
    if ((header.status == decoder::kTooLarge || header.status == decoder::kLoaded) && larger) {
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
    if (!m_helper.SizeShared(bytes) || !m_helper.Write(&request, sizeof request) ||
        !m_helper.Read(&result, sizeof result) || result.magic != decoder::kMagic || !m_helper.Wait()) {
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
           m_helper.ReadShared(0, scaled.data.get(), static_cast<size_t>(m_thumbWidth) * m_thumbHeight * 3);
}

bool CPictureDecoder::ReadPicture(RgbImage& rgb) {
    return m_copy == Copy::Done && rgb.width == m_width && rgb.height == m_height &&
           m_helper.ReadShared(static_cast<uint64_t>(m_thumbWidth) * m_thumbHeight * 3, rgb.data.get(),
                               static_cast<size_t>(m_width) * static_cast<size_t>(m_height) * 3);
}

void CPictureDecoder::Close() {
    m_helper.Stop();
}
