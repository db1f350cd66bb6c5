#pragma once

#include "player/api/VideoCodec.h"

#include <cstdint>
#include <functional>
#include <string>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace clips {

// One camera's decoder for the re-encoding (libavcodec, H.264 or H.265): every picture it
// yields is handed on, in presentation order, with the time its packet gave (µs).
//
// The player's CFFMH264_Decoder is made for showing: one thread, packet by packet, and only
// its newest picture kept, converted to BGR. Here every picture goes on as it is (a frame of
// the decoder's own buffers, no copy) into the filter graph, and the decoder runs on the
// machine's cores (frame and slice threads), as the ffmpeg program does.
//
// A damaged packet is dropped and decoding goes on (pictures are whole again from the next key
// frame). Owns the codec context, its packet and frame. One thread; not copyable.
class ClipDecoder {
public:
    // Called with each picture; the frame is the decoder's and is unreferenced after the call
    // (the callee references it to keep it). Returns 0, or a negative error that stops the
    // decoding and is handed back.
    using PictureFn = std::function<int(AVFrame*)>;

    ClipDecoder() = default;
    ~ClipDecoder();
    ClipDecoder(const ClipDecoder&) = delete;
    ClipDecoder& operator=(const ClipDecoder&) = delete;

    // False with `error` set when libavcodec has no such decoder or it does not open.
    bool Open(VideoCodec codec, std::string& error);
    bool IsOpen() const { return m_context != nullptr; }

    // Decodes one access unit (Annex B; the bytes are copied) of presentation time timeUs and
    // hands on the pictures ready. 0, or the picture callback's error, or a fatal decoder
    // error (out of memory); a damaged packet is not an error.
    int Decode(const uint8_t* bytes, int32_t length, int64_t timeUs, const PictureFn& picture);
    // The end: hands on the pictures held back for reordering and threads. 0 or an error.
    int Finish(const PictureFn& picture);

private:
    int Receive(const PictureFn& picture);

    AVCodecContext* m_context = nullptr; // owned
    AVPacket* m_packet = nullptr;        // owned
    AVFrame* m_frame = nullptr;          // owned
};

} // namespace clips
