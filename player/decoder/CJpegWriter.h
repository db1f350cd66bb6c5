#pragma once

#include "player/api/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

// Writes BGR pictures as baseline JPEG files (libavcodec's MJPEG encoder, full-range BT.601
// YCbCr 4:2:0, fixed quantiser).
//
// Threads: the functions keep no state; any thread may call them at any time.
class CJpegWriter {
public:
    // Quantiser scale used: 2 is near the best the encoder offers, 31 the worst.
    static constexpr int kQuality = 2;

    // Encodes a 3-channel picture into `jpeg` (replacing its contents). False for an empty or
    // non-BGR picture or when the encoder fails; `jpeg` is then empty.
    static bool Encode(const Picture& picture, std::vector<uint8_t>& jpeg);

    // Encodes the picture and writes it to `path`, replacing any file there. The bytes go to
    // a temporary file in the same folder that is renamed over `path` once complete, so the
    // path holds either the old file or the whole new one. False when any step fails; no
    // temporary file is left behind.
    static bool Save(const Picture& picture, const std::string& path);
};
