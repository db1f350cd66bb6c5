#pragma once

#include <string>

// Short video files made with the ffmpeg program for the tests of dash-cam folders: a test
// pattern at the size and rate asked for, with a tone as AAC sound where asked.
struct ClipSpec {
    std::string codec = "libx264"; // or "libx265"
    int width = 160;
    int height = 90;
    std::string rate = "30"; // frames per second as ffmpeg takes it ("30000/1001")
    double seconds = 2.0;
    int audioRate = 48000; // 0: no sound
    std::string audioCodec = "aac";
    std::string color;    // a plain picture of this colour (ffmpeg's colour name or 0xRRGGBB)
                          // in place of the test pattern; empty: the test pattern
    int keyInterval = 15; // pictures from one key frame to the next
};

// Writes the clip to path (its extension picks the container); false when ffmpeg failed.
bool MakeClip(const std::string& path, const ClipSpec& spec);

// Keeps only the first `bytes` bytes of the file, as a power cut leaves it.
bool CutFile(const std::string& path, long long bytes);
