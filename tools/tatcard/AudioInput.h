#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The sound of a media file as the camera records it: 16-bit little-endian mono PCM at
// 8 kHz, handed out in blocks of 240 ms (3,840 bytes). Any layout, rate and sample format
// libavcodec decodes is mixed down and resampled with libswresample.
class CAudioInput {
public:
    CAudioInput();
    ~CAudioInput();
    CAudioInput(const CAudioInput&) = delete;
    CAudioInput& operator=(const CAudioInput&) = delete;

    // Opens the file's main sound stream. A file without sound opens too and gives no blocks
    // (HasSound is false); false with error set when the file cannot be read or its sound
    // cannot be decoded. videoStart: the time of the first picture in seconds, so that the
    // sound keeps its place against the pictures (silence before a late start, samples before
    // the first picture left out).
    bool Open(const std::string& path, double videoStart, std::string* error);
    bool HasSound() const { return m_state != nullptr; }

    // The next block. got is false once the sound has ended; the last block is filled up
    // with silence.
    bool NextBlock(std::vector<uint8_t>& block, bool& got, std::string* error);

private:
    struct State;

    bool ReadMore(std::string* error);
    bool TakeDecoded(std::string* error);
    bool Convert(const uint8_t* const* samples, int count, std::string* error);
    void Append(const uint8_t* bytes, size_t size);

    std::unique_ptr<State> m_state;
    std::string m_path;
    std::vector<uint8_t> m_pcm; // converted and not yet handed out, from m_taken on
    size_t m_taken = 0;
    size_t m_skip = 0; // bytes still to leave out at the start
    bool m_ended = false;
};
