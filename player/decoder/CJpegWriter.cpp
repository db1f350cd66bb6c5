#include "CJpegWriter.h"

#include "base/FileIo.h"

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {
struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

// BGR → full-range YCbCr 4:2:0 into `frame` (already allocated at the picture's size).
bool ToYuv(const Picture& picture, AVFrame& frame) {
    std::unique_ptr<SwsContext, SwsFree> converter(sws_getContext(
        picture.width, picture.height, AV_PIX_FMT_BGR24, picture.width, picture.height,
        AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!converter)
        return false;
    const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    constexpr int kFullRange = 1;
    sws_setColorspaceDetails(converter.get(), coefficients, kFullRange, coefficients, kFullRange, 0,
                             1 << 16, 1 << 16);
    const uint8_t* const planes[4] = {picture.pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {picture.stride, 0, 0, 0};
    return sws_scale(converter.get(), planes, strides, 0, picture.height, frame.data,
                     frame.linesize) == picture.height;
}
} // namespace

bool CJpegWriter::Encode(const Picture& picture, std::vector<uint8_t>& jpeg) {
    jpeg.clear();
    if (picture.Empty() || picture.channels != 3 || picture.stride / 3 < picture.width ||
        picture.pixels.size() <
            static_cast<size_t>(picture.stride) * static_cast<size_t>(picture.height))
        return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (codec == nullptr)
        return false;
    std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!context || !frame || !packet)
        return false;
    context->width = picture.width;
    context->height = picture.height;
    context->pix_fmt = AV_PIX_FMT_YUVJ420P;
    context->color_range = AVCOL_RANGE_JPEG;
    context->time_base = AVRational{1, 25};
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * kQuality;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return false;

    frame->width = picture.width;
    frame->height = picture.height;
    frame->format = AV_PIX_FMT_YUVJ420P;
    frame->color_range = AVCOL_RANGE_JPEG;
    frame->quality = context->global_quality;
    if (av_frame_get_buffer(frame.get(), 0) < 0 || !ToYuv(picture, *frame))
        return false;
    if (avcodec_send_frame(context.get(), frame.get()) < 0 ||
        avcodec_send_frame(context.get(), nullptr) < 0 ||
        avcodec_receive_packet(context.get(), packet.get()) < 0 || packet->size <= 0)
        return false;
    jpeg.assign(packet->data, packet->data + packet->size);
    return true;
}

bool CJpegWriter::Save(const Picture& picture, const std::string& path) {
    std::vector<uint8_t> jpeg;
    if (path.empty() || !Encode(picture, jpeg))
        return false;
    return fileio::ReplaceFile(path, jpeg.data(), jpeg.size(), fileio::ReplaceOptions{}).Ok();
}
