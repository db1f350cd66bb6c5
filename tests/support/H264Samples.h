#pragma once

#include <cstdint>
#include <vector>

// Real H.264 access units (Annex B, each starting with an access unit delimiter) made by
// FFmpeg's command-line encoder (4:2:0), a key frame every `fps` frames, no B-frames. Encodes
// once per parameter set and process. Fails the calling test when ffmpeg is missing.
using AccessUnits = std::vector<std::vector<uint8_t>>;

// FFmpeg's test pattern: colour bars, a gradient, a moving square and a frame counter.
const AccessUnits& H264Samples(int width, int height, int frames, int fps);

// A still picture whose colour tells where it is: at pixel (x, y) luma 50 + 130 x / width,
// Cb 128 and Cr 128 + 40 y / height (8-bit, limited range, each rounded down). See
// GradientBgr for the colour that converts to.
const AccessUnits& H264Gradient(int width, int height, int frames, int fps);

// The BGR colour (BT.601, limited range) of H264Gradient's pixel (x, y), before coding.
struct Bgr {
    double blue;
    double green;
    double red;
};
Bgr GradientBgr(int x, int y, int width, int height);
