#pragma once

#include <string>
#include <vector>

// Small media files for the import tests, made once per test program with the ffmpeg
// command-line tool.
struct ImportInputs {
    // H.264 in MP4 (length-prefixed units, B-frames, a key frame every 12 frames), 320x240,
    // 25 fps, 2 s (50 frames); AAC sound, 44.1 kHz stereo, a 440 Hz tone.
    std::string front;
    // MPEG-4 Visual in AVI, 160x120, 25 fps, 3 s (75 frames), no sound.
    std::string rearLong;
    // Motion JPEG in AVI, 176x144, 25 fps, 1 s (25 frames), no sound.
    std::string rearShort;
    // Sound alone (WAV).
    std::string soundOnly;
    // NMEA log: RMC sentences of two talkers across midnight, with sentences to be left out
    // (another type, no time, a wrong checksum, a time past the end of the video).
    std::string gpsLog;

    bool made = false;
    std::string failure; // what went wrong when made is false
};

const ImportInputs& TestInputs();

// The GPS log's RMC sentences as the import should write them, in order: the text lines and
// the front frame each should follow (25 fps).
struct ExpectedGpsLine {
    std::string line;
    int afterFrame;
};
const std::vector<ExpectedGpsLine>& ExpectedGpsLines();
