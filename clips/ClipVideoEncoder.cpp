#include "clips/ClipVideoEncoder.h"

#include "clips/AvErrorText.h"

#include "clips/ClipMuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

#include <algorithm>

namespace clips {

namespace {

// The coded pictures' time base: 90 kHz, as MPEG counts, fine enough for any frame rate.
constexpr AVRational kTimeBase{1, 90000};

bool Coded(int result, const std::string& what, std::string& error) {
    if (result >= 0)
        return true;
    error = what + ": " + AvErrorText(result);
    return false;
}

} // namespace

ClipVideoEncoder::~ClipVideoEncoder() {
    avcodec_free_context(&m_encoder);
    av_packet_free(&m_packet);
}

bool ClipVideoEncoder::Open(const AVFrame& first, int frameRate, int crf, const std::string& preset,
                            bool globalHeader, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        error = "this FFmpeg has no H.264 encoder (libx264)";
        return false;
    }
    const int rate = frameRate > 0 ? frameRate : 30;
    m_encoder = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    if (m_encoder == nullptr || m_packet == nullptr) {
        error = "out of memory for the video encoder";
        return false;
    }
    m_encoder->width = first.width;
    m_encoder->height = first.height;
    m_encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    m_encoder->sample_aspect_ratio = first.sample_aspect_ratio;
    m_encoder->color_range = first.color_range;
    m_encoder->color_primaries = first.color_primaries;
    m_encoder->color_trc = first.color_trc;
    m_encoder->colorspace = first.colorspace;
    m_encoder->time_base = kTimeBase;
    m_encoder->framerate = AVRational{rate, 1};
    m_encoder->gop_size = 2 * rate;
    m_encoder->thread_count = 0; // as many as the machine has cores
    if (globalHeader)
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    m_frameTicks = av_rescale_q(1, AVRational{1, rate}, kTimeBase);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", preset.c_str(), 0);
    av_dict_set_int(&options, "crf", crf, 0);
    const int result = avcodec_open2(m_encoder, codec, &options);
    const AVDictionaryEntry* unknown = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    const std::string left = unknown != nullptr ? unknown->key : "";
    av_dict_free(&options);
    if (!Coded(result, "the H.264 encoder (libx264) did not open with preset " + preset, error))
        return false;
    if (!left.empty()) {
        error = "the H.264 encoder (libx264) does not take the option " + left;
        return false;
    }
    return true;
}

bool ClipVideoEncoder::Encode(AVFrame* frame, AVRational timeBase, const PacketFn& out,
                              std::string& error) {
    const int64_t pts = av_rescale_q(frame->pts, timeBase, kTimeBase);
    if (m_pictures > 0 && pts <= m_lastPts)
        return true; // not after the picture before: the coded times must rise
    if (m_pictures == 0)
        m_firstPts = pts;
    else
        m_durations[m_lastPts] = pts - m_lastPts;
    m_lastPts = pts;
    ++m_pictures;
    frame->pts = pts;
    // The encoder places its own key frames; the decoder's picture types say nothing here.
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    frame->key_frame = 0;
    if (!Coded(avcodec_send_frame(m_encoder, frame), "the H.264 encoder failed", error))
        return false;
    return Drain(out, error);
}

bool ClipVideoEncoder::Finish(int64_t endUs, const PacketFn& out, std::string& error) {
    if (m_encoder == nullptr)
        return true;
    if (m_pictures > 0) {
        const int64_t end = av_rescale_q(endUs, AVRational{1, 1000000}, kTimeBase);
        m_lastDuration = std::clamp<int64_t>(end - m_lastPts, 1, m_frameTicks);
        m_durations[m_lastPts] = m_lastDuration;
    }
    if (!Coded(avcodec_send_frame(m_encoder, nullptr), "the H.264 encoder failed", error))
        return false;
    return Drain(out, error);
}

bool ClipVideoEncoder::Drain(const PacketFn& out, std::string& error) {
    for (;;) {
        const int result = avcodec_receive_packet(m_encoder, m_packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (!Coded(result, "the H.264 encoder failed", error))
            return false;
        const auto known = m_durations.find(m_packet->pts);
        if (known != m_durations.end()) {
            m_packet->duration = known->second;
            m_durations.erase(known);
        } else {
            m_packet->duration = m_frameTicks;
        }
        if (!out(m_packet)) {
            av_packet_unref(m_packet);
            error = "the video could not be written";
            return false;
        }
        av_packet_unref(m_packet);
    }
}

int64_t ClipVideoEncoder::LengthUs() const {
    if (m_pictures == 0)
        return 0;
    const int64_t end = m_lastPts + (m_lastDuration > 0 ? m_lastDuration : m_frameTicks);
    return av_rescale_q(end - m_firstPts, kTimeBase, AVRational{1, 1000000});
}

} // namespace clips
