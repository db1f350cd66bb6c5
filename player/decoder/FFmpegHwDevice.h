#pragma once

#include "HwDevice.h"

#include <memory>
#include <string>
#include <vector>

struct AVBufferRef;

// A hardware decoding device opened by FFmpeg (av_hwdevice_ctx_create): VAAPI on the default
// render node (or the display), CUDA on the first GPU. Decoding goes through libavcodec's
// hardware acceleration (hw_device_ctx and a get_format that picks the device's format), and
// pictures come back to memory with av_hwframe_transfer_data.
//
// Owns its device reference; every codec context attached holds one more.
//
// Threads: see HwDevice; Create and CompiledKinds from any thread.
class FFmpegHwDevice final : public HwDevice {
public:
    ~FFmpegHwDevice() override;
    FFmpegHwDevice(const FFmpegHwDevice&) = delete;
    FFmpegHwDevice& operator=(const FFmpegHwDevice&) = delete;

    // The device of that kind, or null when FFmpeg was built without it or no device answers.
    static std::shared_ptr<HwDevice> Create(HwDeviceKind kind);
    // FFmpeg's names of the device types the libraries were built with (av_hwdevice_iterate_types:
    // "vaapi", "cuda", "vdpau", ...).
    static std::vector<std::string> CompiledTypes();
    // FFmpeg's names of the device types its H.264 (or, with hevc, H.265) decoder can decode on.
    static std::vector<std::string> DecoderTypes(bool hevc);

    HwDeviceKind Kind() const override { return m_kind; }
    bool Attach(AVCodecContext* context) override;
    bool Download(AVFrame* decoded, AVFrame* out) override;

private:
    FFmpegHwDevice(HwDeviceKind kind, AVBufferRef* device) : m_kind(kind), m_device(device) {}

    HwDeviceKind m_kind;
    AVBufferRef* m_device; // owned
};
