#pragma once
#include "player/api/VPictureArea.h"

#include <functional>

// A picture area that hands each presented picture to an observer (on the engine's worker
// thread): without a window it has a fixed size and forgets the pictures; with one (`shown`)
// it takes that area's size and passes the pictures on to it.
class MeasuringPictureArea final : public VPictureArea {
public:
    using Observer = std::function<void(const Picture& picture)>;

    MeasuringPictureArea(int32_t width, int32_t height, Observer observer = {},
                         VPictureArea* shown = nullptr)
        : m_size{width, height}, m_observer(std::move(observer)), m_shown(shown) {}

    AreaSize Size() const override { return m_shown != nullptr ? m_shown->Size() : m_size; }
    void Present(const Picture& picture) override {
        if (m_observer)
            m_observer(picture);
        if (m_shown != nullptr)
            m_shown->Present(picture);
    }

    // True when nearly all of a grid of sample points is white (the demo footage's picture
    // of each whole second; its dark caption covers a small part).
    static bool IsWhitePicture(const Picture& picture);

private:
    AreaSize m_size;
    Observer m_observer;
    VPictureArea* m_shown; // not owned
};
