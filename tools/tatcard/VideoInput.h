#pragma once

#include "H264Encoder.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// The pictures of a video file, one H.264 access unit at a time, in the form the storage
// keeps them: Annex B, led by an access unit delimiter, with a key frame flag.
//
// H.264 is taken over as it is (length-prefixed units of MP4 and Matroska are turned into
// start codes, parameter sets are put before key frames); any other codec libavformat can
// read is decoded and coded again with libx264 at the picture's size (rounded down to even),
// a key frame every second.
class CVideoInput {
public:
    CVideoInput();
    ~CVideoInput();
    CVideoInput(const CVideoInput&) = delete;
    CVideoInput& operator=(const CVideoInput&) = delete;

    // Opens the file's main video stream; false with error set when the file cannot be read
    // or has no video. encoderThreads: threads of libx264 when coding again, 0 for all.
    bool Open(const std::string& path, int encoderThreads, std::string* error);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Whole pictures per second: the stream's average rate, else its base rate, else 30.
    int FrameRate() const { return m_frameRate; }
    // True when the H.264 pictures are copied, false when they are coded again.
    bool Copying() const { return m_copying; }
    // The time of the stream's first picture in seconds.
    double StartSeconds() const { return m_startSeconds; }

    // The next picture in decoding order. got is false at the end of the stream; false with
    // error set when reading, decoding or coding fails.
    bool Next(EncodedFrame& frame, bool& got, std::string* error);

private:
    struct State;

    bool ReadMore(std::string* error);
    bool TakeCopied(std::string* error);
    bool TakeDecoded(std::string* error);

    std::unique_ptr<State> m_state;
    std::string m_path;
    std::deque<EncodedFrame> m_ready;
    int m_width = 0;
    int m_height = 0;
    int m_frameRate = 30;
    bool m_copying = false;
    bool m_ended = false;
    double m_startSeconds = 0;
};

// An H.264 access unit in Annex B form led by an access unit delimiter: the unit as it is
// when its first NAL unit is a delimiter, otherwise 00 00 00 01 09 F0 and the unit without
// any delimiters it holds further in.
std::vector<uint8_t> WithDelimiter(const uint8_t* unit, size_t size);

// A rate in whole frames per second from num/den, 0 when it is not usable (zero, negative
// or above 255 once rounded).
int WholeFrameRate(int num, int den);
