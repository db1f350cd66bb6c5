#pragma once
#include "VPictureArea.h"

#include <functional>

// A picture area without a window: a fixed size, and each presented picture handed to an
// observer (on the engine's worker thread) before it is forgotten.
class MeasuringPictureArea final : public VPictureArea {
public:
    using Observer = std::function<void(const Picture& picture)>;

    MeasuringPictureArea(int32_t width, int32_t height, Observer observer = {})
        : m_size{width, height}, m_observer(std::move(observer)) {}

    AreaSize Size() const override { return m_size; }
    void Present(const Picture& picture) override {
        if (m_observer)
            m_observer(picture);
    }

    // True when nearly all of a grid of sample points is white (the demo footage's picture
    // of each whole second; its dark caption covers a small part).
    static bool IsWhitePicture(const Picture& picture);

private:
    AreaSize m_size;
    Observer m_observer;
};
