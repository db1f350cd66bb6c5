#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// An 8-bit picture: width × height pixels of `channels` bytes each (3: blue, green, red; 4:
// blue, green, red and 255, the layout of a 0xffRRGGBB word in little-endian memory), rows
// `stride` bytes apart. Owns its pixels.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 3;
    int32_t stride = 0; // bytes from one row to the next
    std::vector<uint8_t> pixels;

    // Makes the picture width × height × channels. A picture that already has that shape keeps
    // its pixels and its allocation; otherwise the pixels are zeroed. A size of zero or less
    // empties it.
    void Allocate(int32_t newWidth, int32_t newHeight, int32_t newChannels = 3) {
        if (newWidth <= 0 || newHeight <= 0 || newChannels <= 0) {
            width = height = stride = 0;
            pixels.clear();
            return;
        }
        if (newWidth == width && newHeight == height && newChannels == channels)
            return;
        width = newWidth;
        height = newHeight;
        channels = newChannels;
        stride = newWidth * newChannels;
        pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(newHeight), 0);
    }
    bool Empty() const { return width <= 0 || height <= 0; }
    uint8_t* Row(int32_t y) {
        return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
    }
    const uint8_t* Row(int32_t y) const {
        return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
    }
};
