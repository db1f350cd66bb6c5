#include "clips/ClipDecoder.h"

#include "clips/AvErrorText.h"

#include "clips/ClipMuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

#include <cerrno>
#include <cstring>

namespace clips {

ClipDecoder::~ClipDecoder() {
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

bool ClipDecoder::Open(VideoCodec codec, std::string& error) {
    const AVCodecID id = codec == VideoCodec::kHevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
    const AVCodec* decoder = avcodec_find_decoder(id);
    if (decoder == nullptr) {
        error = std::string("this FFmpeg has no ") + avcodec_get_name(id) + " decoder";
        return false;
    }
    m_context = avcodec_alloc_context3(decoder);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (m_context == nullptr || m_packet == nullptr || m_frame == nullptr) {
        error = "out of memory for the video decoder";
        return false;
    }
    m_context->thread_count = 0; // as many as the machine has cores
    m_context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    m_context->pkt_timebase = AVRational{1, 1000000};
    const int result = avcodec_open2(m_context, decoder, nullptr);
    if (result < 0) {
        error = std::string("the ") + avcodec_get_name(id) +
                " decoder did not open: " + AvErrorText(result);
        avcodec_free_context(&m_context);
        return false;
    }
    return true;
}

int ClipDecoder::Receive(const PictureFn& picture) {
    // A damaged picture reads as an error once; the pictures behind it still come. The bound
    // keeps a decoder that repeats its error from holding the export.
    int damaged = 0;
    for (;;) {
        const int result = avcodec_receive_frame(m_context, m_frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return 0;
        if (result == AVERROR(ENOMEM))
            return result;
        if (result < 0) {
            if (++damaged > 64)
                return 0;
            continue;
        }
        const int handed = picture(m_frame);
        av_frame_unref(m_frame);
        if (handed < 0)
            return handed;
    }
}

int ClipDecoder::Decode(const uint8_t* bytes, int32_t length, int64_t timeUs,
                        const PictureFn& picture) {
    if (m_context == nullptr || bytes == nullptr || length <= 0)
        return 0;
    int result = av_new_packet(m_packet, length);
    if (result < 0)
        return result;
    std::memcpy(m_packet->data, bytes, static_cast<size_t>(length));
    m_packet->pts = timeUs;
    m_packet->dts = AV_NOPTS_VALUE;
    result = avcodec_send_packet(m_context, m_packet);
    if (result == AVERROR(EAGAIN)) {
        // Pictures are waiting: take them, then offer the packet again.
        const int handed = Receive(picture);
        if (handed < 0) {
            av_packet_unref(m_packet);
            return handed;
        }
        result = avcodec_send_packet(m_context, m_packet);
    }
    av_packet_unref(m_packet);
    if (result == AVERROR(ENOMEM))
        return result;
    return Receive(picture);
}

int ClipDecoder::Finish(const PictureFn& picture) {
    if (m_context == nullptr)
        return 0;
    const int result = avcodec_send_packet(m_context, nullptr);
    if (result < 0 && result != AVERROR_EOF)
        return 0;
    return Receive(picture);
}

} // namespace clips
