#include "CFFMH264_Decoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

namespace {
// Keeps a value times 65536 inside an int, so no level can overflow the fixed point.
int ToFixed(float value) {
    constexpr float kLimit = 32767.0f;
    return static_cast<int>(std::clamp(value, -kLimit, kLimit) * 65536.0f);
}
} // namespace

CFFMH264_Decoder::CFFMH264_Decoder() = default;

CFFMH264_Decoder::~CFFMH264_Decoder() {
    Close();
}

void CFFMH264_Decoder::SetLibraryMessages(bool shown) {
    av_log_set_level(shown ? AV_LOG_INFO : AV_LOG_QUIET);
}

bool CFFMH264_Decoder::Open(VideoCodec coding, HwDeviceProvider* hardware) {
    std::lock_guard lock(m_lock);
    CloseLocked();
    const AVCodec* codec =
        avcodec_find_decoder(coding == VideoCodec::kHevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    if (codec == nullptr)
        return false;
    m_context = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_received = av_frame_alloc();
    m_picture = av_frame_alloc();
    m_region = av_frame_alloc();
    if (m_context == nullptr || m_packet == nullptr || m_received == nullptr ||
        m_picture == nullptr || m_region == nullptr) {
        CloseLocked();
        return false;
    }
    // One decoding thread: the engine already runs one worker per recording, and pictures
    // must come out packet by packet, not a few packets late.
    m_context->thread_count = 1;
    // Packet times are microseconds; libavcodec hands each back with the picture it yields.
    m_context->pkt_timebase = AVRational{1, 1000000};
    m_codec = codec;
    m_hw.Attach(hardware, m_context, coding);
    if (avcodec_open2(m_context, codec, nullptr) < 0) {
        CloseLocked();
        return false;
    }
    ApplyCostLocked();
    return true;
}

void CFFMH264_Decoder::SetDecodeCost(bool skipLoopFilter, bool skipNonReference) {
    std::lock_guard lock(m_lock);
    m_skipLoopFilter = skipLoopFilter;
    m_skipNonReference = skipNonReference;
    ApplyCostLocked();
}

void CFFMH264_Decoder::ApplyCostLocked() {
    // Both are read by the decoder for every picture, so they may change between packets.
    if (m_context == nullptr)
        return;
    m_context->skip_loop_filter = m_skipLoopFilter ? AVDISCARD_ALL : AVDISCARD_DEFAULT;
    m_context->skip_frame = m_skipNonReference ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}

void CFFMH264_Decoder::Close() {
    std::lock_guard lock(m_lock);
    CloseLocked();
}

void CFFMH264_Decoder::CloseLocked() {
    m_hw.Reset();
    m_shownConverter.Reset();
    m_nativeConverter.Reset();
    m_regionConverter.Reset();
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
    av_frame_free(&m_received);
    av_frame_free(&m_picture);
    av_frame_free(&m_region);
}

bool CFFMH264_Decoder::Decode(const uint8_t* bytes, int32_t length, int64_t timeUs) {
    std::lock_guard lock(m_lock);
    if (m_context == nullptr || bytes == nullptr || length <= 0)
        return false;
    if (m_draining)
        FlushLocked();
    if (m_hw.WaitingForKey(bytes, length))
        return false;
    // libavcodec copies unreferenced packet data (with its padding) before reading it.
    m_packet->data = const_cast<uint8_t*>(bytes);
    m_packet->size = length;
    m_packet->pts = timeUs == kNoTimeUs ? AV_NOPTS_VALUE : timeUs;
    m_packet->dts = AV_NOPTS_VALUE;
    const bool onDevice = m_hw.Active();
    if (onDevice)
        m_hw.Keep(m_packet);
    int result = avcodec_send_packet(m_context, m_packet);
    bool produced = false;
    if (result == AVERROR(EAGAIN)) {
        // Pictures were left waiting; take them and offer the packet again (unless software
        // took over meanwhile: its replay had the packet already).
        produced = DrainLocked();
        if (m_context != nullptr && m_hw.Active() == onDevice)
            result = avcodec_send_packet(m_context, m_packet);
    }
    m_packet->data = nullptr;
    m_packet->size = 0;
    if (m_context == nullptr)
        return produced;
    if (onDevice && m_hw.Active() && HwDecodePath::IsFault(result))
        return HandOverLocked() || produced;
    // Whether or not the packet was accepted, take what is ready: a damaged packet must not
    // leave pictures queued behind it.
    produced = DrainLocked() || produced;
    return produced;
}

bool CFFMH264_Decoder::DrainOne() {
    std::lock_guard lock(m_lock);
    if (m_context == nullptr)
        return false;
    if (!m_draining) {
        m_draining = true;
        if (avcodec_send_packet(m_context, nullptr) < 0) {
            FlushLocked();
            return false;
        }
    }
    const int result = avcodec_receive_frame(m_context, m_received);
    if (result >= 0 && TakeLocked())
        return true;
    if (m_hw.Active() && (result >= 0 || HwDecodePath::IsFault(result))) {
        // Software takes over the end of the stream as well.
        const bool produced = HandOverLocked();
        if (m_context != nullptr && avcodec_send_packet(m_context, nullptr) >= 0 && produced)
            return true;
        if (m_context != nullptr && avcodec_receive_frame(m_context, m_received) >= 0 &&
            TakeLocked())
            return true;
    }
    FlushLocked(); // none left: ready for a new stream
    return false;
}

void CFFMH264_Decoder::Flush() {
    std::lock_guard lock(m_lock);
    FlushLocked();
}

void CFFMH264_Decoder::FlushLocked() {
    if (m_context != nullptr)
        avcodec_flush_buffers(m_context);
    m_hw.Flushed();
    m_draining = false;
}

bool CFFMH264_Decoder::DrainLocked() {
    bool produced = false;
    int result = 0;
    while ((result = avcodec_receive_frame(m_context, m_received)) >= 0) {
        if (!TakeLocked())
            return HandOverLocked() || produced;
        produced = true;
    }
    if (m_hw.Active() && HwDecodePath::IsFault(result))
        return HandOverLocked() || produced;
    return produced;
}

bool CFFMH264_Decoder::TakeLocked() {
    if (m_hw.Active())
        return m_hw.Take(m_received, m_picture);
    av_frame_unref(m_picture);
    av_frame_move_ref(m_picture, m_received);
    return true;
}

bool CFFMH264_Decoder::HandOverLocked() {
    bool produced = false;
    AVCodecContext* software = m_hw.HandOver(m_codec, m_picture, produced);
    avcodec_free_context(&m_context);
    m_context = software;
    return produced;
}

KeptFrame CFFMH264_Decoder::KeepPicture() const {
    std::lock_guard lock(m_lock);
    return KeptFrame(m_picture);
}

void CFFMH264_Decoder::RestorePicture(const KeptFrame& kept) {
    std::lock_guard lock(m_lock);
    if (!kept || m_picture == nullptr)
        return;
    AVFrame* fresh = av_frame_clone(kept.Get());
    if (fresh == nullptr)
        return; // out of memory: the newest picture stays
    av_frame_unref(m_picture);
    av_frame_move_ref(m_picture, fresh);
    av_frame_free(&fresh);
}

bool CFFMH264_Decoder::OnHardware() const {
    std::lock_guard lock(m_lock);
    return m_hw.Active();
}

void CFFMH264_Decoder::SetHwReplayLimit(size_t bytes) {
    std::lock_guard lock(m_lock);
    m_hw.SetReplayLimit(bytes);
}

int64_t CFFMH264_Decoder::PictureTimeUs() const {
    std::lock_guard lock(m_lock);
    if (m_picture == nullptr || m_picture->data[0] == nullptr)
        return kNoTimeUs;
    const int64_t pts =
        m_picture->pts != AV_NOPTS_VALUE ? m_picture->pts : m_picture->best_effort_timestamp;
    return pts == AV_NOPTS_VALUE ? kNoTimeUs : pts;
}

void CFFMH264_Decoder::GetPictureSize(int32_t& width, int32_t& height) const {
    std::lock_guard lock(m_lock);
    const bool have = m_picture != nullptr && m_picture->data[0] != nullptr;
    width = have ? m_picture->width : 0;
    height = have ? m_picture->height : 0;
}

bool CFFMH264_Decoder::ConvertTo(uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                                 int32_t channels) {
    std::lock_guard lock(m_lock);
    if (m_picture == nullptr)
        return false;
    return m_shownConverter.Convert(*m_picture, pixels, stride, width, height, FixedBrightness(),
                                    FixedContrast(), channels);
}

bool CFFMH264_Decoder::CopyNative(Picture& out) {
    std::lock_guard lock(m_lock);
    if (m_picture == nullptr || m_picture->data[0] == nullptr)
        return false;
    Picture native;
    native.Allocate(m_picture->width, m_picture->height, 3);
    if (native.Empty() ||
        !m_nativeConverter.Convert(*m_picture, native.pixels.data(), native.stride, native.width,
                                   native.height, FixedBrightness(), FixedContrast()))
        return false;
    out = std::move(native);
    return true;
}

bool CFFMH264_Decoder::ConvertRegion(int32_t x, int32_t y, int32_t fromWidth, int32_t fromHeight,
                                     int32_t width, int32_t height, int32_t channels,
                                     Picture& out) {
    std::lock_guard lock(m_lock);
    if (m_picture == nullptr || m_picture->data[0] == nullptr || fromWidth <= 0 ||
        fromHeight <= 0 || width <= 0 || height <= 0 || (channels != 3 && channels != 4))
        return false;
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(m_picture->format));
    if (format == nullptr || (format->flags & AV_PIX_FMT_FLAG_HWACCEL) != 0)
        return false;
    const int32_t pictureWidth = m_picture->width;
    const int32_t pictureHeight = m_picture->height;
    const int32_t cutWidth = std::min(width, pictureWidth);
    const int32_t cutHeight = std::min(height, pictureHeight);
    // 64-bit: the point may lie far outside, and the scaled point must not overflow.
    const int64_t centreX = int64_t{x} * pictureWidth / fromWidth;
    const int64_t centreY = int64_t{y} * pictureHeight / fromHeight;
    auto left = static_cast<int32_t>(
        std::clamp<int64_t>(centreX - cutWidth / 2, 0, int64_t{pictureWidth} - cutWidth));
    auto top = static_cast<int32_t>(
        std::clamp<int64_t>(centreY - cutHeight / 2, 0, int64_t{pictureHeight} - cutHeight));
    left &= ~((1 << format->log2_chroma_w) - 1);
    top &= ~((1 << format->log2_chroma_h) - 1);

    // A view of the region: the same buffers, the data pointers moved to its corner. The
    // corner is on the chroma grid, so every plane starts at a whole sample.
    if (av_frame_ref(m_region, m_picture) < 0)
        return false;
    m_region->crop_left = static_cast<size_t>(left);
    m_region->crop_top = static_cast<size_t>(top);
    m_region->crop_right = static_cast<size_t>(pictureWidth - left - cutWidth);
    m_region->crop_bottom = static_cast<size_t>(pictureHeight - top - cutHeight);
    Picture region;
    region.Allocate(cutWidth, cutHeight, channels);
    const bool converted =
        av_frame_apply_cropping(m_region, AV_FRAME_CROP_UNALIGNED) == 0 &&
        m_region->width == cutWidth && m_region->height == cutHeight &&
        m_regionConverter.Convert(*m_region, region.pixels.data(), region.stride, cutWidth,
                                  cutHeight, FixedBrightness(), FixedContrast(), channels);
    av_frame_unref(m_region);
    if (!converted)
        return false;
    out = std::move(region);
    return true;
}

void CFFMH264_Decoder::SetBrightness(float brightness) {
    if (std::isnan(brightness))
        return;
    std::lock_guard lock(m_lock);
    m_brightness = brightness;
}

void CFFMH264_Decoder::SetContrast(float contrast) {
    if (std::isnan(contrast))
        return;
    std::lock_guard lock(m_lock);
    m_contrast = contrast;
}

float CFFMH264_Decoder::Brightness() const {
    std::lock_guard lock(m_lock);
    return m_brightness;
}

float CFFMH264_Decoder::Contrast() const {
    std::lock_guard lock(m_lock);
    return m_contrast;
}

int CFFMH264_Decoder::FixedBrightness() const {
    return ToFixed(m_brightness);
}

int CFFMH264_Decoder::FixedContrast() const {
    return ToFixed(m_contrast);
}
