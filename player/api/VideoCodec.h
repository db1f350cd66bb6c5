#pragma once

#include <cstdint>

// The coding of a video stream's packets (Annex B byte streams either way).
enum class VideoCodec : int32_t {
    kH264 = 0,
    kHevc = 1, // H.265
};
