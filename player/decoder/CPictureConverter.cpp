#include "CPictureConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {
constexpr int kSaturation = 1 << 16;
constexpr int kLimitedRange = 0;
} // namespace

CPictureConverter::~CPictureConverter() {
    Reset();
}

void CPictureConverter::Reset() {
    sws_freeContext(m_context);
    m_context = nullptr;
    m_width = m_height = m_channels = 0;
    m_sourceWidth = m_sourceHeight = 0;
    m_sourceFormat = -1;
}

bool CPictureConverter::Prepare(const AVFrame& frame, int32_t width, int32_t height,
                                int32_t channels) {
    if (m_context != nullptr && frame.width == m_sourceWidth && frame.height == m_sourceHeight &&
        frame.format == m_sourceFormat && width == m_width && height == m_height &&
        channels == m_channels)
        return true;
    Reset();
    // BGRA: the scaler writes 255 as the fourth byte of pictures without transparency.
    const AVPixelFormat destination = channels == 4 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
    m_context =
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width,
                       height, destination, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (m_context == nullptr)
        return false;
    m_sourceWidth = frame.width;
    m_sourceHeight = frame.height;
    m_sourceFormat = frame.format;
    m_width = width;
    m_height = height;
    m_channels = channels;
    // A fresh context has neutral colours; make sure the first conversion applies ours.
    m_brightness = 0;
    m_contrast = -1;
    return true;
}

bool CPictureConverter::Convert(const AVFrame& frame, uint8_t* pixels, int32_t stride,
                                int32_t width, int32_t height, int brightness, int contrast,
                                int32_t channels) {
    if (frame.data[0] == nullptr || frame.width <= 0 || frame.height <= 0)
        return false;
    if (pixels == nullptr || width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
        stride / channels < width)
        return false;
    if (!Prepare(frame, width, height, channels))
        return false;
    if (brightness != m_brightness || contrast != m_contrast) {
        // ITU-R BT.601 both ways, limited range: what the camera's encoder writes.
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(m_context, coefficients, kLimitedRange, coefficients,
                                 kLimitedRange, brightness, contrast, kSaturation);
        m_brightness = brightness;
        m_contrast = contrast;
    }
    uint8_t* const planes[4] = {pixels, nullptr, nullptr, nullptr};
    const int strides[4] = {stride, 0, 0, 0};
    const int rows =
        sws_scale(m_context, frame.data, frame.linesize, 0, frame.height, planes, strides);
    return rows == height;
}
