#include "clips/ClipMuxer.h"

#include "clips/AvErrorText.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace clips {

ClipMuxer::ClipMuxer(std::string path) : m_path(std::move(path)) {}

ClipMuxer::~ClipMuxer() {
    for (auto& [stream, packet] : m_kept)
        av_packet_free(&packet);
    if (m_format != nullptr) {
        avio_closep(&m_format->pb);
        avformat_free_context(m_format);
    }
}

bool ClipMuxer::Fail(const std::string& step, int error) {
    if (m_error.empty())
        m_error = (step.empty() ? std::string() : step + ": ") + AvErrorText(error) + " (writing " +
                  m_path + ")";
    return false;
}

void ClipMuxer::Declare(Stream stream, const AVCodecContext* encoder) {
    if (!m_begun)
        m_encoders[stream] = encoder;
}

bool ClipMuxer::Begin() {
    if (!m_error.empty())
        return false;
    if (m_begun)
        return true;
    int result = avformat_alloc_output_context2(&m_format, nullptr, "mp4", m_path.c_str());
    if (result < 0 || m_format == nullptr)
        return Fail("", result < 0 ? result : AVERROR(ENOMEM));
    for (const Stream stream : {kVideo, kAudio}) {
        const AVCodecContext* encoder = m_encoders[stream];
        if (encoder == nullptr)
            continue;
        AVStream* out = avformat_new_stream(m_format, nullptr);
        if (out == nullptr)
            return Fail("", AVERROR(ENOMEM));
        result = avcodec_parameters_from_context(out->codecpar, encoder);
        if (result < 0)
            return Fail("", result);
        out->time_base = encoder->time_base;
        m_streams[stream] = out;
    }
    result = avio_open(&m_format->pb, m_path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return Fail("", result);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    result = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (result < 0)
        return Fail("", result);
    m_begun = true;
    std::vector<std::pair<Stream, AVPacket*>> kept;
    kept.swap(m_kept);
    bool ok = true;
    for (auto& [stream, packet] : kept) {
        ok = ok && Send(stream, packet);
        av_packet_free(&packet);
    }
    return ok;
}

bool ClipMuxer::Send(Stream stream, AVPacket* packet) {
    AVStream* out = m_streams[stream];
    if (out == nullptr) {
        av_packet_unref(packet);
        return true; // a stream left out of the file
    }
    av_packet_rescale_ts(packet, m_encoders[stream]->time_base, out->time_base);
    packet->stream_index = out->index;
    const int result = av_interleaved_write_frame(m_format, packet);
    av_packet_unref(packet);
    if (result < 0)
        return Fail("", result);
    return true;
}

bool ClipMuxer::Write(Stream stream, AVPacket* packet) {
    if (!m_error.empty()) {
        av_packet_unref(packet);
        return false;
    }
    if (!m_begun) {
        AVPacket* kept = av_packet_alloc();
        if (kept == nullptr) {
            av_packet_unref(packet);
            return Fail("", AVERROR(ENOMEM));
        }
        av_packet_move_ref(kept, packet);
        m_kept.emplace_back(stream, kept);
        return true;
    }
    return Send(stream, packet);
}

bool ClipMuxer::Finish() {
    if (m_finished)
        return m_error.empty();
    m_finished = true;
    if (!m_begun && !Begin())
        return false;
    if (!m_error.empty())
        return false;
    int result = av_write_trailer(m_format);
    if (result < 0)
        Fail("", result);
    else if (m_format->pb != nullptr && m_format->pb->error < 0)
        Fail("", m_format->pb->error);
    result = avio_closep(&m_format->pb);
    if (result < 0)
        Fail("", result);
    return m_error.empty();
}

} // namespace clips
