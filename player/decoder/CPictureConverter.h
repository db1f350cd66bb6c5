#pragma once

#include <cstdint>

struct AVFrame;
struct SwsContext;

// Converts decoded YUV pictures to 8-bit BGR (blue first, 3 bytes per pixel, or 4 with a
// fourth byte of 255) at a chosen size, with brightness and contrast applied during the
// conversion.
//
// The scaling context is made for one source shape (size and pixel format) and one
// destination (size and bytes per pixel) and reused while they stay the same; a change of
// either rebuilds it, and a rebuilt context gets the current brightness and contrast like the
// old one had.
//
// Threads: not thread-safe; the owner serialises every call.
class CPictureConverter {
public:
    CPictureConverter() = default;
    ~CPictureConverter();
    CPictureConverter(const CPictureConverter&) = delete;
    CPictureConverter& operator=(const CPictureConverter&) = delete;

    // Converts `frame` into the destination: `height` rows of `width` pixels of `channels`
    // bytes (3 or 4), rows `stride` bytes apart. Brightness and contrast are in the 16.16
    // fixed point of the scaling library (65536 = 1.0; brightness 0 and contrast 65536 leave
    // colours alone). False, with the destination untouched, when the frame holds no picture,
    // an argument is out of range or the scaling library refuses the shapes.
    bool Convert(const AVFrame& frame, uint8_t* pixels, int32_t stride, int32_t width,
                 int32_t height, int brightness, int contrast, int32_t channels = 3);

    // Drops the scaling context; the next conversion makes a new one.
    void Reset();

private:
    bool Prepare(const AVFrame& frame, int32_t width, int32_t height, int32_t channels);

    SwsContext* m_context = nullptr; // owned
    int32_t m_sourceWidth = 0;
    int32_t m_sourceHeight = 0;
    int m_sourceFormat = -1;
    int32_t m_width = 0; // destination size the context was made for
    int32_t m_height = 0;
    int32_t m_channels = 0;
    int m_brightness = 0; // colour settings the context holds
    int m_contrast = 1 << 16;
};
