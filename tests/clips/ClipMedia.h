#pragma once

#include "clips/ClipEncoder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct AVFrame;

// Test footage for the clip encoder, made by the ffmpeg program, and the clips it writes read
// back with libavformat and libavcodec.

// One camera's file: a lavfi picture source with optional filters after it, H.264 (or H.265)
// with a key frame every half second, and a tone as AAC sound where asked.
struct CameraSpec {
    std::string source = "testsrc"; // a lavfi video source: testsrc, color=c=gray, ...
    std::string filters;            // appended after the source (",drawbox=...")
    int width = 320;
    int height = 180;
    std::string rate = "30";
    double seconds = 2.0;
    std::string codec = "libx264";
    bool sound = false;
};
bool MakeCamera(const std::string& path, const CameraSpec& spec);

// Sets a file's modification time to the local wall-clock time given plus `seconds`, as the
// camera leaves it when it closes the file.
bool SetFileTime(const std::string& path, int year, int month, int day, int hour, int minute,
                 int second);

// What a written clip holds.
struct ClipFacts {
    bool opened = false;
    int width = 0;
    int height = 0;
    int64_t pictures = 0;    // video frames decoded
    double firstSeconds = 0; // the first picture's time
    double videoSeconds = 0; // from the first picture to the end of the last one
    bool sound = false;
    double soundSeconds = 0; // the sound's duration
    std::string videoCodec;
    std::string soundCodec;
};
ClipFacts ReadClip(const std::string& path);

// Every picture of a clip's video in presentation order, with its time in seconds from the
// clip's start (the container's start time taken off).
void ForEachPicture(const std::string& path,
                    const std::function<void(int64_t index, double seconds, const AVFrame&)>& each);
// The mean luma (0-255) of a region of a picture.
double MeanLuma(const AVFrame& frame, int x, int y, int width, int height);

// A dash-cam folder's clip encoded: the folder opened as a source (with the media parsers),
// the marks planned, the drive's parser made, started and opened, and EncodeClip run.
struct FolderClip {
    clips::EncodeOutcome outcome;
    std::string planError;
    clips::ClipPlan plan;
};
FolderClip EncodeFolderClip(const std::string& folder, const clips::ClipMark& from,
                            const clips::ClipMark& to, const clips::EncodeSettings& settings,
                            const std::string& outPath, const clips::ProgressFn& progress = {},
                            const std::atomic<bool>* cancel = nullptr);
