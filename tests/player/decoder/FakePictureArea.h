#pragma once

#include "player/api/VPictureArea.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

// A picture area that keeps what it is shown.
class FakePictureArea : public VPictureArea {
public:
    FakePictureArea(int32_t width, int32_t height, int32_t channels = 3)
        : m_size{width, height}, m_channels(channels) {}
    void Resize(int32_t width, int32_t height) {
        std::lock_guard lock(m_mutex);
        m_size = {width, height};
    }
    AreaSize Size() const override {
        std::lock_guard lock(m_mutex);
        return m_size;
    }
    int32_t PictureChannels() const override { return m_channels; }
    void Present(const Picture& picture) override {
        std::lock_guard lock(m_mutex);
        m_shown.push_back(picture);
    }
    std::vector<Picture> Shown() const {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }

private:
    mutable std::mutex m_mutex;
    AreaSize m_size;
    int32_t m_channels;
    std::vector<Picture> m_shown;
};

inline double Mean(const Picture& picture) {
    double sum = 0;
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width * picture.channels; ++x)
            sum += picture.Row(y)[x];
    return sum / (double(picture.width) * picture.height * picture.channels);
}

// Decodes an image file to BGR with the ffmpeg command-line tool, an independent reader.
inline Picture ReadImage(const std::string& path, int32_t width, int32_t height) {
    std::string raw;
    RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -", &raw);
    Picture picture;
    picture.Allocate(width, height);
    if (raw.size() == picture.pixels.size())
        picture.pixels.assign(raw.begin(), raw.end());
    else
        picture.Allocate(0, 0);
    return picture;
}

// A copy of width × height pixels of a 3-byte picture from (left, top) on.
inline Picture Region(const Picture& from, int32_t left, int32_t top, int32_t width,
                      int32_t height) {
    Picture region;
    region.Allocate(width, height);
    for (int32_t y = 0; y < height; ++y)
        std::copy_n(from.Row(top + y) + left * 3, width * 3, region.Row(y));
    return region;
}
