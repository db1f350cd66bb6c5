#include "tests/clips/StoredMedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>

namespace {

struct Closer {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
using Input = std::unique_ptr<AVFormatContext, Closer>;

Input Open(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    Input input(format);
    if (avformat_find_stream_info(format, nullptr) < 0)
        return nullptr;
    return input;
}

} // namespace

StoredStream ReadStream(const std::string& path, bool video) {
    StoredStream stream;
    const Input input = Open(path);
    if (!input)
        return stream;
    const int index = av_find_best_stream(
        input.get(), video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return stream;
    const AVStream* s = input->streams[index];
    stream.found = true;
    stream.codec = avcodec_get_name(s->codecpar->codec_id);
    const AVRational us{1, 1000000};
    stream.startUs =
        s->start_time != AV_NOPTS_VALUE ? av_rescale_q(s->start_time, s->time_base, us) : 0;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input.get(), packet) >= 0) {
        if (packet->stream_index == index) {
            StoredPacket p;
            p.data.assign(packet->data, packet->data + packet->size);
            p.ptsUs = av_rescale_q(packet->pts, s->time_base, us);
            p.dtsUs = av_rescale_q(packet->dts, s->time_base, us);
            p.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            stream.packets.push_back(std::move(p));
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return stream;
}

std::vector<std::vector<uint8_t>> AnnexBUnits(const std::vector<uint8_t>& data) {
    std::vector<std::vector<uint8_t>> units;
    std::vector<size_t> starts; // the first byte after each start code
    for (size_t i = 0; i + 3 <= data.size(); ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            starts.push_back(i + 3);
            i += 2;
        }
    for (size_t k = 0; k < starts.size(); ++k) {
        size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : data.size();
        while (k + 1 < starts.size() && end > starts[k] && data[end - 1] == 0)
            --end; // the fourth byte of a four-byte start code
        units.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(starts[k]),
                           data.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return units;
}

std::vector<std::vector<uint8_t>> LengthPrefixedUnits(const std::vector<uint8_t>& data) {
    std::vector<std::vector<uint8_t>> units;
    for (size_t at = 0; at + 4 <= data.size();) {
        const size_t length = (size_t{data[at]} << 24) | (size_t{data[at + 1]} << 16) |
                              (size_t{data[at + 2]} << 8) | data[at + 3];
        at += 4;
        if (length > data.size() - at)
            break;
        units.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return units;
}

std::vector<int16_t> DecodeSound(const std::string& path) {
    std::vector<int16_t> samples;
    const Input input = Open(path);
    if (!input)
        return samples;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return samples;
    const AVCodec* codec = avcodec_find_decoder(input->streams[index]->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, input->streams[index]->codecpar);
    if (avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        return samples;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto drain = [&] {
        while (avcodec_receive_frame(context, frame) >= 0) {
            for (int i = 0; i < frame->nb_samples; ++i) {
                if (frame->format == AV_SAMPLE_FMT_S16P || frame->format == AV_SAMPLE_FMT_S16)
                    samples.push_back(reinterpret_cast<const int16_t*>(
                        frame->data[0])[frame->format == AV_SAMPLE_FMT_S16
                                            ? i * frame->ch_layout.nb_channels
                                            : i]);
                else if (frame->format == AV_SAMPLE_FMT_S32P)
                    samples.push_back(static_cast<int16_t>(
                        reinterpret_cast<const int32_t*>(frame->data[0])[i] >> 16));
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(input.get(), packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(context, packet) >= 0)
            drain();
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return samples;
}
