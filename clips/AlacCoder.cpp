#include "clips/AlacCoder.h"

#include "clips/AvErrorText.h"
#include "clips/Mp4Writer.h"

#include <algorithm>
#include <cstring>

using clips::AvErrorText;

AlacCoder::~AlacCoder() {
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

bool AlacCoder::Open(int samplesPerSecond) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_ALAC);
    if (codec == nullptr) {
        m_error = "this FFmpeg has no ALAC encoder";
        return false;
    }
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_context == nullptr || m_frame == nullptr || m_packet == nullptr) {
        m_error = AvErrorText(AVERROR(ENOMEM)) + " (coding the sound)";
        return false;
    }
    m_context->sample_fmt = AV_SAMPLE_FMT_S16P;
    m_context->sample_rate = samplesPerSecond;
    m_context->time_base = AVRational{1, samplesPerSecond};
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (av_channel_layout_copy(&m_context->ch_layout, &mono) < 0) {
        m_error = AvErrorText(AVERROR(ENOMEM)) + " (coding the sound)";
        return false;
    }
    const int opened = avcodec_open2(m_context, codec, nullptr);
    if (opened < 0) {
        m_error = AvErrorText(opened) + " (opening the ALAC encoder)";
        return false;
    }
    return true;
}

bool AlacCoder::Add(const int16_t* samples, size_t count, const PacketSink& sink) {
    m_pending.insert(m_pending.end(), samples, samples + count);
    m_added += static_cast<int64_t>(count);
    const auto frame = static_cast<size_t>(std::max(m_context->frame_size, 1));
    while (m_pending.size() >= frame)
        if (!Code(frame, sink))
            return false;
    return true;
}

bool AlacCoder::Finish(const PacketSink& sink) {
    if (!m_pending.empty()) {
        const auto frame = static_cast<size_t>(std::max(m_context->frame_size, 1));
        const bool shortLast =
            (m_context->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
        if (!shortLast)
            m_pending.resize(frame, 0);
        if (!Code(m_pending.size(), sink))
            return false;
    }
    const int sent = avcodec_send_frame(m_context, nullptr);
    if (sent < 0 && sent != AVERROR_EOF) {
        m_error = AvErrorText(sent) + " (coding the sound)";
        return false;
    }
    return Drain(sink);
}

bool AlacCoder::Code(size_t count, const PacketSink& sink) {
    av_frame_unref(m_frame);
    m_frame->nb_samples = static_cast<int>(count);
    m_frame->format = m_context->sample_fmt;
    m_frame->sample_rate = m_context->sample_rate;
    if (av_channel_layout_copy(&m_frame->ch_layout, &m_context->ch_layout) < 0 ||
        av_frame_get_buffer(m_frame, 0) < 0) {
        m_error = AvErrorText(AVERROR(ENOMEM)) + " (coding the sound)";
        return false;
    }
    std::memcpy(m_frame->data[0], m_pending.data(), count * sizeof(int16_t));
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
    m_frame->pts = m_coded;
    m_coded += static_cast<int64_t>(count);
    const int sent = avcodec_send_frame(m_context, m_frame);
    if (sent < 0) {
        m_error = AvErrorText(sent) + " (coding the sound)";
        return false;
    }
    return Drain(sink);
}

bool AlacCoder::Drain(const PacketSink& sink) {
    for (;;) {
        const int got = avcodec_receive_packet(m_context, m_packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (got < 0) {
            m_error = AvErrorText(got) + " (coding the sound)";
            return false;
        }
        if (!sink(m_packet))
            return false;
        av_packet_unref(m_packet);
    }
}
