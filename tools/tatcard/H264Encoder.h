#pragma once

#include "YuvPicture.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// One coded picture: an H.264 access unit in Annex B form, led by its access unit delimiter.
struct EncodedFrame {
    std::vector<uint8_t> data;
    bool keyFrame = false;
};

// H.264 encoding through libavcodec's libx264, set up the way the camera codes: a key frame
// every second exactly (no scene cuts), no B-frames, one access unit per picture with a
// delimiter in front, parameter sets repeated before every key frame. The output for the same
// pictures is the same on every run.
//
// The encoder may hold pictures back for its threads; Encode hands out whatever is finished,
// always in picture order, and Flush the rest at the end.
class CH264Encoder {
public:
    CH264Encoder() = default;
    ~CH264Encoder();
    CH264Encoder(const CH264Encoder&) = delete;
    CH264Encoder& operator=(const CH264Encoder&) = delete;

    // width and height even; threads 0 for as many as the machine has. False with error set
    // when libx264 is missing or refuses.
    bool Open(int width, int height, int framesPerSecond, int threads, std::string* error);
    // Codes the next picture (of the opened size); finished frames are appended to out.
    bool Encode(const YuvPicture& picture, std::vector<EncodedFrame>& out, std::string* error);
    // Codes what is still held back; the encoder must be opened again to code more.
    bool Flush(std::vector<EncodedFrame>& out, std::string* error);

private:
    bool Drain(std::vector<EncodedFrame>& out, std::string* error);
    void Release();

    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    int64_t m_nextPts = 0;
};
