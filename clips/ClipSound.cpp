#include "clips/ClipSound.h"

#include "clips/AvErrorText.h"
#include "clips/ClipMuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace clips {

namespace {

constexpr int64_t kBitRate = 128000;
// Blocks this close to where the sound so far ends join up (1 / 50 s).
constexpr int64_t kJoinDivisor = 50;

bool Coded(int result, const char* what, std::string& error) {
    if (result >= 0)
        return true;
    error = std::string(what) + ": " + AvErrorText(result);
    return false;
}

} // namespace

ClipSound::~ClipSound() {
    avcodec_free_context(&m_encoder);
    swr_free(&m_resampler);
    if (m_buffer != nullptr)
        av_audio_fifo_free(m_buffer);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
}

bool ClipSound::Open(int bits, int rate, int64_t startUs, int64_t endUs, bool globalHeader,
                     std::string& error) {
    AVSampleFormat input = AV_SAMPLE_FMT_NONE;
    switch (bits) {
    case 8:
        input = AV_SAMPLE_FMT_U8;
        break;
    case 16:
        input = AV_SAMPLE_FMT_S16;
        break;
    case 32:
        input = AV_SAMPLE_FMT_S32;
        break;
    default:
        break;
    }
    if (input == AV_SAMPLE_FMT_NONE || rate <= 0) {
        error = "the sound's format (" + std::to_string(bits) + " bits, " + std::to_string(rate) +
                " Hz) cannot be coded";
        return false;
    }
    m_bytesPerSample = bits / 8;
    m_rate = rate;
    m_startUs = startUs;
    m_spanSamples = std::max<int64_t>(0, av_rescale(endUs - startUs, rate, 1000000));

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        error = "this FFmpeg has no AAC encoder";
        return false;
    }
    // The rates AAC knows; another is resampled to 48 kHz.
    int outRate = 48000;
    for (const int* known = codec->supported_samplerates; known != nullptr && *known != 0; ++known)
        if (*known == rate)
            outRate = rate;
    m_encoder = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_encoder == nullptr || m_frame == nullptr || m_packet == nullptr) {
        error = "out of memory for the sound encoder";
        return false;
    }
    m_encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_encoder->sample_rate = outRate;
    av_channel_layout_default(&m_encoder->ch_layout, 1);
    // AAC carries at most 6144 bits per channel in a frame of 1024 samples.
    m_encoder->bit_rate = std::min<int64_t>(kBitRate, int64_t{6} * outRate);
    m_encoder->time_base = AVRational{1, outRate};
    if (globalHeader)
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (!Coded(avcodec_open2(m_encoder, codec, nullptr), "the AAC encoder did not open", error))
        return false;

    AVChannelLayout mono;
    av_channel_layout_default(&mono, 1);
    int result = swr_alloc_set_opts2(&m_resampler, &mono, AV_SAMPLE_FMT_FLTP, outRate, &mono, input,
                                     rate, 0, nullptr);
    if (result >= 0)
        result = swr_init(m_resampler);
    if (!Coded(result, "the sound's resampler did not open", error))
        return false;
    m_buffer = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 1, 4096);
    if (m_buffer == nullptr) {
        error = "out of memory for the sound";
        return false;
    }
    m_silence.assign(static_cast<size_t>(rate / 10 * m_bytesPerSample),
                     input == AV_SAMPLE_FMT_U8 ? uint8_t{0x80} : uint8_t{0});
    return true;
}

bool ClipSound::Convert(const uint8_t* samples, int64_t count, std::string& error) {
    const int wanted = swr_get_out_samples(m_resampler, static_cast<int>(count));
    if (wanted <= 0)
        return true;
    if (m_converted.size() < static_cast<size_t>(wanted))
        m_converted.resize(static_cast<size_t>(wanted));
    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(m_converted.data())};
    const uint8_t* inPlanes[1] = {samples};
    const int made = swr_convert(m_resampler, outPlanes, wanted,
                                 samples != nullptr ? inPlanes : nullptr, static_cast<int>(count));
    if (!Coded(made, "the sound could not be converted", error))
        return false;
    void* planes[1] = {m_converted.data()};
    if (made > 0 && av_audio_fifo_write(m_buffer, planes, made) < made) {
        error = "out of memory for the sound";
        return false;
    }
    return true;
}

bool ClipSound::Silence(int64_t count, std::string& error) {
    const int64_t block = static_cast<int64_t>(m_silence.size()) / m_bytesPerSample;
    for (int64_t left = count; left > 0; left -= block)
        if (!Convert(m_silence.data(), std::min(left, block), error))
            return false;
    return true;
}

bool ClipSound::Add(const uint8_t* bytes, int32_t size, int64_t timeUs, const PacketFn& out,
                    std::string& error) {
    if (m_encoder == nullptr || bytes == nullptr || size < m_bytesPerSample || Full())
        return true;
    const int64_t count = size / m_bytesPerSample;
    int64_t first = av_rescale(timeUs - m_startUs, m_rate, 1000000);
    if (first + count <= 0)
        return true; // wholly before the span
    // Later blocks join the sound so far when they start about where it ends.
    if (m_started && std::abs(first - m_placed) <= m_rate / kJoinDivisor)
        first = m_placed;
    int64_t skip = 0;
    if (first > m_placed) {
        if (!Silence(std::min(first, m_spanSamples) - m_placed, error))
            return false;
        m_placed = std::min(first, m_spanSamples);
    } else {
        skip = m_placed - first; // overlaps the sound placed (or starts before the span)
    }
    const int64_t taken = std::min(count - skip, m_spanSamples - m_placed);
    if (taken > 0) {
        if (!Convert(bytes + skip * m_bytesPerSample, taken, error))
            return false;
        m_placed += taken;
    }
    m_started = true;
    return Code(false, out, error);
}

bool ClipSound::Code(bool all, const PacketFn& out, std::string& error) {
    const int frameSize = m_encoder->frame_size > 0 ? m_encoder->frame_size : 1024;
    while (av_audio_fifo_size(m_buffer) >= (all ? 1 : frameSize)) {
        const int samples = std::min(frameSize, av_audio_fifo_size(m_buffer));
        av_frame_unref(m_frame);
        m_frame->nb_samples = samples;
        m_frame->format = AV_SAMPLE_FMT_FLTP;
        m_frame->sample_rate = m_encoder->sample_rate;
        if (!Coded(av_channel_layout_copy(&m_frame->ch_layout, &m_encoder->ch_layout), "the sound",
                   error) ||
            !Coded(av_frame_get_buffer(m_frame, 0), "the sound", error))
            return false;
        if (av_audio_fifo_read(m_buffer, reinterpret_cast<void**>(m_frame->data), samples) <
            samples) {
            error = "the sound could not be read back";
            return false;
        }
        m_frame->pts = m_coded;
        m_coded += samples;
        if (!Coded(avcodec_send_frame(m_encoder, m_frame), "the AAC encoder failed", error))
            return false;
        if (!Drain(out, error))
            return false;
    }
    return true;
}

bool ClipSound::Drain(const PacketFn& out, std::string& error) {
    for (;;) {
        const int result = avcodec_receive_packet(m_encoder, m_packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (!Coded(result, "the AAC encoder failed", error))
            return false;
        if (!out(m_packet)) {
            av_packet_unref(m_packet);
            error = "the sound could not be written";
            return false;
        }
        av_packet_unref(m_packet);
    }
}

bool ClipSound::Finish(const PacketFn& out, std::string& error) {
    if (m_encoder == nullptr)
        return true;
    if (!Convert(nullptr, 0, error) || !Code(true, out, error))
        return false;
    if (!Coded(avcodec_send_frame(m_encoder, nullptr), "the AAC encoder failed", error))
        return false;
    return Drain(out, error);
}

} // namespace clips
