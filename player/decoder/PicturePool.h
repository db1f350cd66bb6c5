#pragma once
#include "player/api/Picture.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

// Pictures that the decoder converts into and then shares, read-only, with the area that
// shows them, so that no picture is copied on its way to the screen. A picture returns to the
// pool when its last holder lets go of it, on whichever thread that is, and is taken again for
// a later picture: one of the same shape keeps its allocation.
//
// Threads: Take on any thread; the pictures may be released on any thread and may outlive the
// pool. The hand-back goes through the pool's lock, so a picture's next taker sees every
// access of its previous holders as finished.
class PicturePool {
public:
    // Pictures kept for reuse at most; more are freed when released.
    // (Enough for the pictures a channel decodes ahead, the one shown and the one painted.)
    static constexpr size_t kMaxSpare = 8;

    PicturePool();

    // A picture no one else holds: a spare one (with whatever shape and pixels it had) or a new
    // empty one. The caller shapes it with Picture::Allocate.
    std::shared_ptr<Picture> Take();
    // How many released pictures wait for reuse.
    size_t SpareCount() const;

private:
    struct Spares {
        mutable std::mutex lock;
        std::vector<std::unique_ptr<Picture>> pictures; // under lock
    };
    // Shared with the pictures' release functions, which may run after the pool is gone.
    std::shared_ptr<Spares> m_spares;
};
