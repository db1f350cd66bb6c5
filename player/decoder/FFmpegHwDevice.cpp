#include "FFmpegHwDevice.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/hwcontext.h>
#include <libavutil/pixdesc.h>
}

namespace {
AVHWDeviceType TypeOf(HwDeviceKind kind) {
    return kind == HwDeviceKind::kCuda ? AV_HWDEVICE_TYPE_CUDA : AV_HWDEVICE_TYPE_VAAPI;
}

// The codec's picture format on a device of that type through a device context; NONE when it
// has none.
AVPixelFormat DeviceFormat(const AVCodec* codec, AVHWDeviceType type) {
    for (int i = 0;; ++i) {
        const AVCodecHWConfig* config = avcodec_get_hw_config(codec, i);
        if (config == nullptr)
            return AV_PIX_FMT_NONE;
        if (config->device_type == type &&
            (config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) != 0)
            return config->pix_fmt;
    }
}

// libavcodec offers the formats it can decode the stream into, hardware first. Ours when it
// is among them; otherwise (the device cannot take this stream, or its set-up failed and
// libavcodec asks again without it) the first format in memory, so decoding goes on in
// software.
AVPixelFormat ChooseFormat(AVCodecContext* context, const AVPixelFormat* offered) {
    AVPixelFormat wanted = AV_PIX_FMT_NONE;
    if (context->hw_device_ctx != nullptr) {
        const auto* device =
            reinterpret_cast<const AVHWDeviceContext*>(context->hw_device_ctx->data);
        wanted = DeviceFormat(context->codec, device->type);
    }
    for (const AVPixelFormat* format = offered; *format != AV_PIX_FMT_NONE; ++format)
        if (*format == wanted)
            return wanted;
    for (const AVPixelFormat* format = offered; *format != AV_PIX_FMT_NONE; ++format) {
        const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(*format);
        if (descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_HWACCEL) == 0)
            return *format;
    }
    return AV_PIX_FMT_NONE;
}
} // namespace

FFmpegHwDevice::~FFmpegHwDevice() {
    av_buffer_unref(&m_device);
}

std::shared_ptr<HwDevice> FFmpegHwDevice::Create(HwDeviceKind kind) {
    AVBufferRef* device = nullptr;
    if (av_hwdevice_ctx_create(&device, TypeOf(kind), nullptr, nullptr, 0) < 0 || device == nullptr)
        return nullptr;
    return std::shared_ptr<HwDevice>(new FFmpegHwDevice(kind, device));
}

std::vector<std::string> FFmpegHwDevice::CompiledTypes() {
    std::vector<std::string> names;
    for (AVHWDeviceType type = av_hwdevice_iterate_types(AV_HWDEVICE_TYPE_NONE);
         type != AV_HWDEVICE_TYPE_NONE; type = av_hwdevice_iterate_types(type))
        names.emplace_back(av_hwdevice_get_type_name(type));
    return names;
}

std::vector<std::string> FFmpegHwDevice::DecoderTypes(bool hevc) {
    std::vector<std::string> names;
    const AVCodec* codec = avcodec_find_decoder(hevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    for (int i = 0; codec != nullptr; ++i) {
        const AVCodecHWConfig* config = avcodec_get_hw_config(codec, i);
        if (config == nullptr)
            break;
        if ((config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) != 0)
            names.emplace_back(av_hwdevice_get_type_name(config->device_type));
    }
    return names;
}

bool FFmpegHwDevice::Attach(AVCodecContext* context) {
    if (context == nullptr || context->codec == nullptr ||
        DeviceFormat(context->codec, TypeOf(m_kind)) == AV_PIX_FMT_NONE)
        return false;
    AVBufferRef* reference = av_buffer_ref(m_device);
    if (reference == nullptr)
        return false;
    av_buffer_unref(&context->hw_device_ctx);
    context->hw_device_ctx = reference;
    context->get_format = &ChooseFormat;
    return true;
}

bool FFmpegHwDevice::Download(AVFrame* decoded, AVFrame* out) {
    av_frame_unref(out);
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(decoded->format));
    if (descriptor == nullptr || (descriptor->flags & AV_PIX_FMT_FLAG_HWACCEL) == 0)
        return av_frame_ref(out, decoded) == 0;
    // The device's own memory layout for it (NV12, P010, ...): the converter takes any of them.
    if (av_hwframe_transfer_data(out, decoded, 0) < 0 || av_frame_copy_props(out, decoded) < 0) {
        av_frame_unref(out);
        return false;
    }
    return true;
}
