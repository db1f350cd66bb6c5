#include "clips/Mp4Writer.h"

#include "clips/AvErrorText.h"

#include <algorithm>
#include <utility>

using clips::AvErrorText;

Mp4Writer::Mp4Writer(std::string path, std::string shownPath)
    : m_path(std::move(path)), m_shown(std::move(shownPath)) {
    const int made = avformat_alloc_output_context2(&m_format, nullptr, "mp4", m_path.c_str());
    if (made < 0 || m_format == nullptr) {
        m_format = nullptr;
        (void)Fail("making the MP4 muxer for", made < 0 ? made : AVERROR(ENOMEM));
    }
}

Mp4Writer::~Mp4Writer() {
    if (m_format == nullptr)
        return;
    if (m_format->pb != nullptr)
        avio_closep(&m_format->pb);
    avformat_free_context(m_format);
}

bool Mp4Writer::Fail(const char* step, int error) {
    if (m_error.empty())
        m_error = AvErrorText(error) + " (" + step + " " + m_shown + ")";
    return false;
}

bool Mp4Writer::Holds(AVCodecID codec) {
    const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
    return mp4 != nullptr && avformat_query_codec(mp4, codec, FF_COMPLIANCE_NORMAL) == 1;
}

int Mp4Writer::AddStream(const AVCodecParameters* parameters, AVRational timeBase) {
    if (m_format == nullptr || m_begun)
        return -1;
    if (!Holds(parameters->codec_id)) {
        m_error = std::string("MP4 cannot hold ") + avcodec_get_name(parameters->codec_id) +
                  " (writing " + m_shown + ")";
        return -1;
    }
    AVStream* stream = avformat_new_stream(m_format, nullptr);
    if (stream == nullptr) {
        (void)Fail("adding a stream to", AVERROR(ENOMEM));
        return -1;
    }
    const int copied = avcodec_parameters_copy(stream->codecpar, parameters);
    if (copied < 0) {
        (void)Fail("adding a stream to", copied);
        return -1;
    }
    stream->codecpar->codec_tag = 0;
    stream->time_base = timeBase;
    Stream kept;
    kept.inBase = timeBase;
    m_streams.push_back(kept);
    return stream->index;
}

bool Mp4Writer::Begin() {
    if (m_format == nullptr)
        return false;
    if (m_begun)
        return true;
    int result = avio_open(&m_format->pb, m_path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return Fail("writing", result);
    result = avformat_write_header(m_format, nullptr);
    if (result < 0)
        return Fail("writing", result);
    m_begun = true;
    return true;
}

bool Mp4Writer::Write(AVPacket* packet, int stream) {
    if (!m_begun || stream < 0 || static_cast<size_t>(stream) >= m_streams.size()) {
        av_packet_unref(packet);
        return m_error.empty() ? Fail("writing", AVERROR(EINVAL)) : false;
    }
    Stream& kept = m_streams[static_cast<size_t>(stream)];
    const AVRational outBase = m_format->streams[stream]->time_base;
    packet->stream_index = stream;
    av_packet_rescale_ts(packet, kept.inBase, outBase);
    if (packet->dts == AV_NOPTS_VALUE)
        packet->dts = packet->pts;
    if (kept.lastDts != AV_NOPTS_VALUE && packet->dts <= kept.lastDts) {
        packet->dts = kept.lastDts + 1;
        if (packet->pts != AV_NOPTS_VALUE && packet->pts < packet->dts)
            packet->pts = packet->dts;
    }
    kept.lastDts = packet->dts;
    const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const int64_t endUs =
        av_rescale_q(pts + std::max<int64_t>(packet->duration, 0), outBase, AVRational{1, 1000000});
    kept.endUs = std::max(kept.endUs, endUs);
    ++kept.packets;
    const int result = av_interleaved_write_frame(m_format, packet);
    av_packet_unref(packet);
    if (result < 0)
        return Fail("writing", result);
    if (m_format->pb->error < 0)
        return Fail("writing", m_format->pb->error);
    return true;
}

bool Mp4Writer::Finish() {
    if (!m_begun || m_finished)
        return m_finished;
    int result = av_write_trailer(m_format);
    if (result < 0)
        return Fail("writing", result);
    avio_flush(m_format->pb);
    if (m_format->pb->error < 0)
        return Fail("writing", m_format->pb->error);
    result = avio_closep(&m_format->pb);
    if (result < 0)
        return Fail("writing", result);
    m_finished = true;
    return true;
}

int64_t Mp4Writer::Packets(int stream) const {
    return stream >= 0 && static_cast<size_t>(stream) < m_streams.size()
               ? m_streams[static_cast<size_t>(stream)].packets
               : 0;
}

int64_t Mp4Writer::EndUs(int stream) const {
    return stream >= 0 && static_cast<size_t>(stream) < m_streams.size()
               ? m_streams[static_cast<size_t>(stream)].endUs
               : 0;
}
