#include "H264Encoder.h"

#include "AvSupport.h"
#include "ErrorReport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <cstring>

CH264Encoder::~CH264Encoder() {
    Release();
}

void CH264Encoder::Release() {
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
    m_nextPts = 0;
}

bool CH264Encoder::Open(int width, int height, int framesPerSecond, int threads,
                        std::string* error) {
    Release();
    if (av_log_get_level() > AV_LOG_ERROR)
        av_log_set_level(AV_LOG_ERROR); // libx264's statistics are of no interest here
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr)
        return Fail(error, "the H.264 encoder libx264 is not available in libavcodec");
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_context == nullptr || m_frame == nullptr || m_packet == nullptr)
        return Fail(error, "out of memory for the H.264 encoder");
    m_context->width = width;
    m_context->height = height;
    m_context->pix_fmt = AV_PIX_FMT_YUV420P;
    m_context->time_base = AVRational{1, framesPerSecond};
    m_context->framerate = AVRational{framesPerSecond, 1};
    m_context->gop_size = framesPerSecond;
    m_context->keyint_min = framesPerSecond;
    m_context->max_b_frames = 0;
    m_context->thread_count = threads;
    av_opt_set(m_context->priv_data, "preset", "ultrafast", 0);
    av_opt_set(m_context->priv_data, "crf", "28", 0);
    const std::string params =
        "aud=1:scenecut=0:bframes=0:keyint=" + std::to_string(framesPerSecond) +
        ":min-keyint=" + std::to_string(framesPerSecond);
    av_opt_set(m_context->priv_data, "x264-params", params.c_str(), 0);
    int rc = avcodec_open2(m_context, codec, nullptr);
    if (rc < 0)
        return Fail(error, av::Describe("cannot open the H.264 encoder", rc));
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = width;
    m_frame->height = height;
    rc = av_frame_get_buffer(m_frame, 0);
    if (rc < 0)
        return Fail(error, av::Describe("cannot allocate a picture", rc));
    return true;
}

bool CH264Encoder::Encode(const YuvPicture& picture, std::vector<EncodedFrame>& out,
                          std::string* error) {
    if (m_context == nullptr)
        return Fail(error, "the H.264 encoder is not open");
    if (picture.Width() != m_context->width || picture.Height() != m_context->height)
        return Fail(error, "picture size differs from the encoder's");
    const int rc = av_frame_make_writable(m_frame);
    if (rc < 0)
        return Fail(error, av::Describe("cannot write a picture", rc));
    for (int p = 0; p < 3; ++p) {
        const auto rowBytes = static_cast<size_t>(picture.PlaneWidth(p));
        for (int y = 0; y < picture.PlaneHeight(p); ++y) {
            std::memcpy(m_frame->data[p] + static_cast<ptrdiff_t>(y) * m_frame->linesize[p],
                        picture.PlaneData(p) + static_cast<size_t>(y) * rowBytes, rowBytes);
        }
    }
    m_frame->pts = m_nextPts++;
    const int sent = avcodec_send_frame(m_context, m_frame);
    if (sent < 0)
        return Fail(error, av::Describe("the H.264 encoder refused a picture", sent));
    return Drain(out, error);
}

bool CH264Encoder::Flush(std::vector<EncodedFrame>& out, std::string* error) {
    if (m_context == nullptr)
        return Fail(error, "the H.264 encoder is not open");
    const int sent = avcodec_send_frame(m_context, nullptr);
    if (sent < 0 && sent != av::kEndOfFile)
        return Fail(error, av::Describe("cannot flush the H.264 encoder", sent));
    return Drain(out, error);
}

bool CH264Encoder::Drain(std::vector<EncodedFrame>& out, std::string* error) {
    for (;;) {
        const int rc = avcodec_receive_packet(m_context, m_packet);
        if (rc == av::kAgain || rc == av::kEndOfFile)
            return true;
        if (rc < 0)
            return Fail(error, av::Describe("the H.264 encoder failed", rc));
        EncodedFrame frame;
        frame.data.assign(m_packet->data, m_packet->data + m_packet->size);
        frame.keyFrame = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
        out.push_back(std::move(frame));
        av_packet_unref(m_packet);
    }
}
