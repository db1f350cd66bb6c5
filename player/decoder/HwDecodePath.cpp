#include "HwDecodePath.h"

#include "HwDeviceProvider.h"
#include "formats/AnnexB.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

HwDecodePath::HwDecodePath() : m_downloaded(av_frame_alloc()) {}

HwDecodePath::~HwDecodePath() {
    Reset();
    av_frame_free(&m_downloaded);
}

void HwDecodePath::Attach(HwDeviceProvider* provider, AVCodecContext* context, VideoCodec coding) {
    Reset();
    m_provider = provider;
    m_coding = coding;
    if (provider == nullptr || m_downloaded == nullptr)
        return;
    std::shared_ptr<HwDevice> device = provider->Acquire();
    if (device && device->Attach(context))
        m_device = std::move(device);
}

void HwDecodePath::Reset() {
    DropKept();
    m_device.reset();
    m_waitForKey = false;
    m_sequence = 0;
}

void HwDecodePath::DropKept() {
    for (AVPacket*& packet : m_kept)
        av_packet_free(&packet);
    m_kept.clear();
    m_keptBytes = 0;
    m_keptWhole = false;
    m_shown.clear();
}

void HwDecodePath::Flushed() {
    DropKept();
}

bool HwDecodePath::IsKeyUnit(const uint8_t* bytes, size_t size, VideoCodec coding) {
    if (bytes == nullptr)
        return false;
    if (coding == VideoCodec::kH264)
        return IsKeyFrame(bytes, size);
    for (size_t at = NextNalHeader(bytes, size, 0); at < size;
         at = NextNalHeader(bytes, size, at + 1)) {
        const int type = (bytes[at] >> 1) & 0x3F;
        if (type >= 16 && type <= 21) // BLA, IDR and CRA pictures
            return true;
    }
    return false;
}

void HwDecodePath::Keep(AVPacket* packet) {
    packet->pos = m_sequence++;
    const auto size = static_cast<size_t>(packet->size);
    if (IsKeyUnit(packet->data, size, m_coding)) {
        DropKept();
        m_keptWhole = true;
    }
    if (!m_keptWhole)
        return;
    AVPacket* copy = av_packet_alloc();
    if (copy == nullptr || m_keptBytes + size > m_replayLimit ||
        av_new_packet(copy, packet->size) < 0) {
        av_packet_free(&copy);
        const std::vector<int64_t> shown = std::move(m_shown);
        DropKept(); // a replay could not reach this picture any more
        m_shown = shown;
        return;
    }
    std::memcpy(copy->data, packet->data, size);
    copy->pts = packet->pts;
    copy->dts = packet->dts;
    copy->pos = packet->pos;
    m_kept.push_back(copy);
    m_keptBytes += size;
}

bool HwDecodePath::IsFault(int result) {
    return result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF &&
           result != AVERROR_INVALIDDATA;
}

bool HwDecodePath::Take(AVFrame* received, AVFrame* picture) {
    if (!m_device || !m_device->Download(received, m_downloaded)) {
        av_frame_unref(received);
        return false;
    }
    av_frame_unref(received);
    m_shown.push_back(m_downloaded->pkt_pos);
    av_frame_unref(picture);
    av_frame_move_ref(picture, m_downloaded);
    return true;
}

bool HwDecodePath::Replay(AVCodecContext* context, AVFrame* picture) {
    AVFrame* frame = av_frame_alloc();
    if (frame == nullptr)
        return false;
    bool produced = false;
    const auto takeReady = [&] {
        while (avcodec_receive_frame(context, frame) >= 0) {
            if (std::find(m_shown.begin(), m_shown.end(), frame->pkt_pos) != m_shown.end()) {
                av_frame_unref(frame); // the device gave this one already
                continue;
            }
            av_frame_unref(picture);
            av_frame_move_ref(picture, frame);
            produced = true;
        }
    };
    for (AVPacket* packet : m_kept) {
        if (avcodec_send_packet(context, packet) == AVERROR(EAGAIN)) {
            takeReady();
            avcodec_send_packet(context, packet);
        }
        takeReady();
    }
    av_frame_free(&frame);
    return produced;
}

AVCodecContext* HwDecodePath::HandOver(const AVCodec* codec, AVFrame* picture, bool& produced) {
    produced = false;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (context != nullptr) {
        context->thread_count = 1;
        context->pkt_timebase = AVRational{1, 1000000};
        if (avcodec_open2(context, codec, nullptr) < 0)
            avcodec_free_context(&context);
    }
    if (context != nullptr) {
        if (m_keptWhole && !m_kept.empty())
            produced = Replay(context, picture);
        else
            m_waitForKey = true;
    }
    if (m_device && m_provider != nullptr)
        m_provider->Failed(*m_device);
    DropKept();
    m_device.reset();
    return context;
}

bool HwDecodePath::WaitingForKey(const uint8_t* bytes, int32_t length) {
    if (!m_waitForKey)
        return false;
    if (!IsKeyUnit(bytes, static_cast<size_t>(length), m_coding))
        return true;
    m_waitForKey = false;
    return false;
}
