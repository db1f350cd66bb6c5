#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One 8-bit plane of a picture, as a view into memory owned elsewhere.
struct PlaneView {
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    uint8_t& At(int x, int y) const {
        return data[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)];
    }
};

// A planar YUV 4:2:0 picture (even width and height) that owns its planes.
class YuvPicture {
public:
    YuvPicture(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // 0 luma, 1 blue difference, 2 red difference; chroma planes are half size both ways.
    PlaneView Plane(int index);
    const uint8_t* PlaneData(int index) const { return m_planes[index].data(); }
    int PlaneWidth(int index) const { return index == 0 ? m_width : m_width / 2; }
    int PlaneHeight(int index) const { return index == 0 ? m_height : m_height / 2; }

    // Every pixel one colour.
    void Fill(uint8_t y, uint8_t u, uint8_t v);

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_planes[3];
};

// Studio-range levels used for the overlays.
inline constexpr uint8_t kLumaBlack = 16;
inline constexpr uint8_t kLumaWhite = 235;
inline constexpr uint8_t kChromaNeutral = 128;
