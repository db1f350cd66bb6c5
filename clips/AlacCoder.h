#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Codes 16-bit mono PCM as ALAC (libavcodec's encoder), which MP4 holds and which decodes to
// the very samples it was given: the lossless copy's sound of a card recording.
//
// Not copyable; one thread. Owns the encoder.
class AlacCoder {
public:
    // Called with each coded packet, its times in 1 / rate seconds; returns false to stop.
    using PacketSink = std::function<bool(AVPacket* packet)>;

    AlacCoder() = default;
    ~AlacCoder();
    AlacCoder(const AlacCoder&) = delete;
    AlacCoder& operator=(const AlacCoder&) = delete;

    // Opens the encoder for samplesPerSecond; false with Error set.
    bool Open(int samplesPerSecond);
    // The stream's parameters for the muxer (after Open).
    const AVCodecContext* Context() const { return m_context; }
    // Adds samples; whole frames are coded and handed to sink. False with Error set, or when the
    // sink refused a packet.
    bool Add(const int16_t* samples, size_t count, const PacketSink& sink);
    // Codes what is left and drains the encoder.
    bool Finish(const PacketSink& sink);
    int64_t SamplesAdded() const { return m_added; }
    const std::string& Error() const { return m_error; }

private:
    bool Code(size_t count, const PacketSink& sink);
    bool Drain(const PacketSink& sink);

    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    std::vector<int16_t> m_pending;
    int64_t m_added = 0;
    int64_t m_coded = 0;
    std::string m_error;
};
