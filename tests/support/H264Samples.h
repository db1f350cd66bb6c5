#pragma once

#include <cstdint>
#include <vector>

// Real H.264 access units (Annex B, each starting with an access unit delimiter) made by
// FFmpeg's command-line encoder from its test pattern: a key frame every `fps` frames, no
// B-frames. Encodes once per parameter set and process. Fails the calling test when ffmpeg
// is missing.
using AccessUnits = std::vector<std::vector<uint8_t>>;
const AccessUnits& H264Samples(int width, int height, int frames, int fps);
