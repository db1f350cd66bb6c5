#include "CAudioTempo.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

CAudioTempo::~CAudioTempo() {
    Free();
}

void CAudioTempo::Free() {
    avfilter_graph_free(&m_graph);
    m_source = nullptr;
    m_sink = nullptr;
    av_frame_free(&m_frame);
    m_fed = 0;
}

bool CAudioTempo::Begin(int32_t bitsPerSample, int32_t samplesPerSecond, double tempo) {
    Free();
    if ((bitsPerSample != 8 && bitsPerSample != 16) || samplesPerSecond <= 0 ||
        samplesPerSecond > 384000 || !(tempo >= kMinTempo && tempo <= kMaxTempo))
        return false;
    m_sampleBytes = bitsPerSample / 8;
    m_rate = samplesPerSecond;
    const char* format = bitsPerSample == 8 ? "u8" : "s16";
    char sourceArgs[160];
    std::snprintf(sourceArgs, sizeof sourceArgs,
                  "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=mono",
                  samplesPerSecond, samplesPerSecond, format);
    char tempoArgs[48];
    std::snprintf(tempoArgs, sizeof tempoArgs, "tempo=%.6f", tempo);

    m_graph = avfilter_graph_alloc();
    m_frame = av_frame_alloc();
    AVFilterContext* stretch = nullptr;
    const bool built = m_graph != nullptr && m_frame != nullptr &&
                       avfilter_graph_create_filter(&m_source, avfilter_get_by_name("abuffer"),
                                                    "in", sourceArgs, nullptr, m_graph) >= 0 &&
                       avfilter_graph_create_filter(&stretch, avfilter_get_by_name("atempo"),
                                                    "tempo", tempoArgs, nullptr, m_graph) >= 0 &&
                       avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("abuffersink"),
                                                    "out", nullptr, nullptr, m_graph) >= 0 &&
                       avfilter_link(m_source, 0, stretch, 0) >= 0 &&
                       avfilter_link(stretch, 0, m_sink, 0) >= 0 &&
                       avfilter_graph_config(m_graph, nullptr) >= 0;
    if (!built) {
        Free();
        return false;
    }
    return true;
}

bool CAudioTempo::Process(const uint8_t* bytes, int32_t length, std::vector<uint8_t>& out) {
    if (m_graph == nullptr)
        return false;
    const int32_t samples = length > 0 && bytes != nullptr ? length / m_sampleBytes : 0;
    if (samples == 0)
        return true;
    av_frame_unref(m_frame);
    m_frame->format = m_sampleBytes == 1 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    m_frame->sample_rate = m_rate;
    m_frame->nb_samples = samples;
    m_frame->pts = m_fed;
    av_channel_layout_default(&m_frame->ch_layout, 1);
    if (av_frame_get_buffer(m_frame, 0) < 0) {
        Free();
        return false;
    }
    std::memcpy(m_frame->data[0], bytes, static_cast<size_t>(samples * m_sampleBytes));
    m_fed += samples;
    // The source takes the frame's reference; m_frame is left blank for the output.
    if (av_buffersrc_add_frame(m_source, m_frame) < 0) {
        Free();
        return false;
    }
    return Drain(out);
}

bool CAudioTempo::Drain(std::vector<uint8_t>& out) {
    const size_t before = out.size();
    for (;;) {
        const int result = av_buffersink_get_frame(m_sink, m_frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0) {
            out.resize(before);
            Free();
            return false;
        }
        const int wanted = m_sampleBytes == 1 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        if (m_frame->format != wanted || m_frame->ch_layout.nb_channels != 1) {
            // The graph was expected to keep the format; anything else is not played.
            out.resize(before);
            Free();
            return false;
        }
        const auto bytes = static_cast<size_t>(m_frame->nb_samples * m_sampleBytes);
        const auto* data = m_frame->data[0];
        out.insert(out.end(), data, data + bytes);
        av_frame_unref(m_frame);
    }
}
