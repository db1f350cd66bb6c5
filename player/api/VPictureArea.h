#pragma once
#include "Picture.h"
#include <cstdint>
#include <memory>

// Width and height in pixels.
struct AreaSize {
    int32_t width = 0;
    int32_t height = 0;
};

// A place a channel's pictures are shown in: the window's picture widget, or a headless
// stand-in. The decoder asks its size before each picture and converts straight to it.
//
// Threads: Size and Present are called on the engine's worker thread while the area may be
// resized or painted on its own (window) thread; an implementation copies what it keeps
// under its own lock and repaints later on its own thread. Present must return promptly.
class VPictureArea {
public:
    virtual ~VPictureArea() = default;
    // The area's current size; 0 × 0 while it cannot show anything.
    virtual AreaSize Size() const = 0;
    // The bytes per pixel of the pictures the area takes: 3 (BGR) or 4 (BGR and 255, which a
    // window system can take without converting). Fixed for the area's life.
    virtual int32_t PictureChannels() const { return 3; }
    // Shows a picture with PictureChannels() channels. It normally has the size Size() last
    // reported; an area that was resized meanwhile scales or crops it as it sees fit.
    virtual void Present(const Picture& picture) = 0;
    // Shows a picture that the presenter shares instead of handing over a copy: the area may
    // keep it, read-only, for as long as it likes (the presenter never changes a picture once
    // presented). The default shows it through Present.
    virtual void PresentShared(const std::shared_ptr<const Picture>& picture) {
        if (picture != nullptr)
            Present(*picture);
    }
};
