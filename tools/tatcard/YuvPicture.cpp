#include "YuvPicture.h"

#include <cstring>

YuvPicture::YuvPicture(int width, int height) : m_width(width), m_height(height) {
    for (int i = 0; i < 3; ++i)
        m_planes[i].assign(static_cast<size_t>(PlaneWidth(i)) * static_cast<size_t>(PlaneHeight(i)),
                           i == 0 ? kLumaBlack : kChromaNeutral);
}

PlaneView YuvPicture::Plane(int index) {
    PlaneView view;
    view.data = m_planes[index].data();
    view.width = PlaneWidth(index);
    view.height = PlaneHeight(index);
    view.stride = view.width;
    return view;
}

void YuvPicture::Fill(uint8_t y, uint8_t u, uint8_t v) {
    const uint8_t values[3] = {y, u, v};
    for (int i = 0; i < 3; ++i)
        std::memset(m_planes[i].data(), values[i], m_planes[i].size());
}
