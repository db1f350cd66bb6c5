#pragma once

#include "HwDevice.h"
#include "player/api/VideoCodec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
class HwDeviceProvider;

// The hardware side of one channel's decoder, and its way back to software.
//
// While the decoder decodes on a device, every packet since the last key frame is kept (a
// copy, numbered through the packet's pos, which libavcodec hands back with the picture as
// pkt_pos) and the numbers of the pictures shown since then are remembered. When the device
// fails on a picture (an error that is not about the packet's bytes, or a picture it cannot
// bring back to memory), HandOver decodes the kept packets again in a software decoder, which
// yields that picture and the others the device had not given yet, and then decodes on. When
// the packets since the key frame were not all kept (more than the replay limit, or none seen
// since the decoder opened), the software decoder starts at the next key frame and the last
// picture stays shown until then. The device is then reported to the provider and not used by
// this decoder again.
//
// Owns the packet copies, the picture brought back and the reference to the device; the
// provider belongs to the caller and must outlive the path.
//
// Threads: none of its own; the decoder calls every member under its lock.
class HwDecodePath {
public:
    // Packet bytes kept for a replay: beyond that, a failure waits for the next key frame.
    static constexpr size_t kDefaultReplayLimit = size_t{64} << 20;

    HwDecodePath();
    ~HwDecodePath();
    HwDecodePath(const HwDecodePath&) = delete;
    HwDecodePath& operator=(const HwDecodePath&) = delete;

    // Attaches the provider's device (when it has one that takes the codec) to a context about
    // to be opened. Forgets any earlier device and packets first.
    void Attach(HwDeviceProvider* provider, AVCodecContext* context, VideoCodec coding);
    // Drops the device, the packets and any wait; the decoder is in software again.
    void Reset();
    // Decoding on the device.
    bool Active() const { return m_device != nullptr; }
    void SetReplayLimit(size_t bytes) { m_replayLimit = bytes; }

    // Before `packet` (the caller's bytes) is sent to a context on the device: numbers it and
    // keeps a copy, starting afresh at a key frame.
    void Keep(AVPacket* packet);
    // True when a result of avcodec_send_packet or avcodec_receive_frame on the device means
    // the device failed (not "again", the end, or bytes that are not valid video).
    static bool IsFault(int result);
    // Brings a picture the device yielded into `picture` (replacing what it held). False when
    // the device could not; `picture` then keeps what it held.
    bool Take(AVFrame* received, AVFrame* picture);
    // The device failed: a software context (the caller owns it) caught up on the kept
    // packets, or, when they cannot be replayed, one that waits for the next key frame. The
    // newest picture not yet shown goes into `picture`, and `produced` tells whether one came.
    // Null when no software decoder could be opened.
    AVCodecContext* HandOver(const AVCodec* codec, AVFrame* picture, bool& produced);

    // In software after a hand-over that could not replay: true for packets to skip, those
    // before the next key frame.
    bool WaitingForKey(const uint8_t* bytes, int32_t length);
    // The decoder flushed (a seek): the kept packets no longer lead to the next one.
    void Flushed();

    // Whether the access unit starts a picture that needs no earlier one (H.264 IDR, H.265
    // IRAP).
    static bool IsKeyUnit(const uint8_t* bytes, size_t size, VideoCodec coding);

private:
    void DropKept();
    bool Replay(AVCodecContext* context, AVFrame* picture);

    HwDeviceProvider* m_provider = nullptr;
    std::shared_ptr<HwDevice> m_device;
    VideoCodec m_coding = VideoCodec::kH264;
    std::vector<AVPacket*> m_kept; // owned; from the last key frame on
    size_t m_keptBytes = 0;
    bool m_keptWhole = false;        // m_kept starts at a key frame and lacks nothing after it
    std::vector<int64_t> m_shown;    // numbers of the pictures shown since that key frame
    int64_t m_sequence = 0;          // the next packet's number
    AVFrame* m_downloaded = nullptr; // owned
    size_t m_replayLimit = kDefaultReplayLimit;
    bool m_waitForKey = false;
};
