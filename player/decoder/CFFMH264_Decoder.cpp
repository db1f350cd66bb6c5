#include "CFFMH264_Decoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
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

bool CFFMH264_Decoder::Open() {
    std::lock_guard lock(m_lock);
    CloseLocked();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec == nullptr)
        return false;
    m_context = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_received = av_frame_alloc();
    m_picture = av_frame_alloc();
    if (m_context == nullptr || m_packet == nullptr || m_received == nullptr ||
        m_picture == nullptr) {
        CloseLocked();
        return false;
    }
    // One decoding thread: the engine already runs one worker per recording, and pictures
    // must come out packet by packet, not a few packets late.
    m_context->thread_count = 1;
    if (avcodec_open2(m_context, codec, nullptr) < 0) {
        CloseLocked();
        return false;
    }
    return true;
}

void CFFMH264_Decoder::Close() {
    std::lock_guard lock(m_lock);
    CloseLocked();
}

void CFFMH264_Decoder::CloseLocked() {
    m_shownConverter.Reset();
    m_nativeConverter.Reset();
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
    av_frame_free(&m_received);
    av_frame_free(&m_picture);
}

bool CFFMH264_Decoder::Decode(const uint8_t* bytes, int32_t length) {
    std::lock_guard lock(m_lock);
    if (m_context == nullptr || bytes == nullptr || length <= 0)
        return false;
    // libavcodec copies unreferenced packet data (with its padding) before reading it.
    m_packet->data = const_cast<uint8_t*>(bytes);
    m_packet->size = length;
    int result = avcodec_send_packet(m_context, m_packet);
    bool produced = false;
    if (result == AVERROR(EAGAIN)) {
        // Pictures were left waiting; take them and offer the packet again.
        produced = DrainLocked();
        result = avcodec_send_packet(m_context, m_packet);
    }
    m_packet->data = nullptr;
    m_packet->size = 0;
    // Whether or not the packet was accepted, take what is ready: a damaged packet must not
    // leave pictures queued behind it.
    produced = DrainLocked() || produced;
    return produced;
}

bool CFFMH264_Decoder::DrainLocked() {
    bool produced = false;
    while (avcodec_receive_frame(m_context, m_received) >= 0) {
        av_frame_unref(m_picture);
        av_frame_move_ref(m_picture, m_received);
        produced = true;
    }
    return produced;
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
