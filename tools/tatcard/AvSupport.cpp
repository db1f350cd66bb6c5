#include "AvSupport.h"

#include "ErrorReport.h"

namespace av {

AVStream* SelectMainStream(AVFormatContext* format, AVMediaType type) {
    const int index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
    if (index < 0)
        return nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (static_cast<int>(i) != index)
            format->streams[i]->discard = AVDISCARD_ALL;
    }
    return format->streams[index];
}

Codec OpenDecoder(const AVStream* stream, int threads, const std::string& what,
                  std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
        Fail(error, "no decoder for " + what);
        return nullptr;
    }
    Codec decoder(avcodec_alloc_context3(codec));
    if (!decoder) {
        Fail(error, "out of memory");
        return nullptr;
    }
    int rc = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    if (rc >= 0) {
        decoder->pkt_timebase = stream->time_base;
        decoder->thread_count = threads;
        rc = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (rc < 0) {
        Fail(error, Describe("cannot decode " + what, rc));
        return nullptr;
    }
    return decoder;
}

bool SendPacket(AVCodecContext* decoder, AVPacket* packet, const std::string& what,
                std::string* error) {
    const int sent = avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    if (sent < 0 && sent != kInvalidData)
        return Fail(error, Describe("decoding " + what + " failed", sent));
    return true;
}

bool ReceiveFrame(AVCodecContext* decoder, AVFrame* frame, bool& got, const std::string& what,
                  std::string* error) {
    got = false;
    const int rc = avcodec_receive_frame(decoder, frame);
    if (rc == kAgain || rc == kEndOfFile)
        return true;
    if (rc < 0)
        return Fail(error, Describe("decoding " + what + " failed", rc));
    got = true;
    return true;
}

} // namespace av
