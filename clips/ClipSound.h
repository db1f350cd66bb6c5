#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVAudioFifo;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace clips {

// The sound of a re-encoded clip: the recording's PCM blocks (mono, 8, 16 or 32 bits, each at
// the time of its first sample) placed by their own times on the clip's span, cut to it, and
// coded as AAC (FFmpeg's native encoder, 128 kb/s, less where the rate allows no more) after
// libswresample has made them float planar.
//
// Placing: the span's first sample is the one at startUs; a block that starts later than the
// sound so far (by more than 20 ms) is preceded by silence, one that starts earlier loses what
// overlaps; within 20 ms blocks join up. Nothing is kept past endUs. Output times count
// samples from the span's start.
//
// Owns the encoder, the resampler and its buffer. One thread; not copyable.
class ClipSound {
public:
    // Takes each packet coded (times in the encoder's time base); returns false to stop.
    using PacketFn = std::function<bool(AVPacket*)>;

    ClipSound() = default;
    ~ClipSound();
    ClipSound(const ClipSound&) = delete;
    ClipSound& operator=(const ClipSound&) = delete;

    // Readies the encoder for blocks of `bits` per sample at `rate` samples a second, over the
    // span [startUs, endUs) of the recording's time line. globalHeader: the container keeps the
    // codec's set-up in its header (MP4 does). False with `error` set.
    bool Open(int bits, int rate, int64_t startUs, int64_t endUs, bool globalHeader,
              std::string& error);
    // The opened encoder, for the container's stream.
    const AVCodecContext* Encoder() const { return m_encoder; }

    // Places one block of `size` bytes whose first sample is at timeUs; codes what is ready.
    // False with `error` set when coding failed or `out` refused a packet.
    bool Add(const uint8_t* bytes, int32_t size, int64_t timeUs, const PacketFn& out,
             std::string& error);
    // Codes the rest and empties the encoder. False as Add.
    bool Finish(const PacketFn& out, std::string& error);

    // Whether the blocks have reached the span's end.
    bool Full() const { return m_placed >= m_spanSamples; }
    // Samples of the span placed so far (at the blocks' rate).
    int64_t Placed() const { return m_placed; }

private:
    // Resamples `count` input samples (null: the resampler's rest) into the buffer.
    bool Convert(const uint8_t* samples, int64_t count, std::string& error);
    bool Silence(int64_t count, std::string& error);
    bool Code(bool all, const PacketFn& out, std::string& error);
    bool Drain(const PacketFn& out, std::string& error);

    AVCodecContext* m_encoder = nullptr; // owned
    SwrContext* m_resampler = nullptr;   // owned
    AVAudioFifo* m_buffer = nullptr;     // owned: resampled samples waiting for a whole frame
    AVFrame* m_frame = nullptr;          // owned
    AVPacket* m_packet = nullptr;        // owned
    std::vector<uint8_t> m_silence;      // a tenth of a second of silence, the input's format
    std::vector<float> m_converted;      // one block resampled
    int m_bytesPerSample = 2;
    int m_rate = 0;
    int64_t m_startUs = 0;
    int64_t m_spanSamples = 0; // the span's length in input samples
    int64_t m_placed = 0;      // input samples placed from the span's start
    bool m_started = false;    // a block was placed
    int64_t m_coded = 0;       // output samples handed to the encoder
};

} // namespace clips
