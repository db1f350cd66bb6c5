#pragma once
#include <cstdint>
#include <vector>

// Changes the speed of mono PCM sound without changing its pitch: sound fed at tempo t comes
// out lasting 1 / t as long. Output sample n stands for input sample n × t of the stretch
// (give or take the length of the analysis window, a few tens of milliseconds), so the place
// of the output in the recording follows from the sample counts alone.
//
// The stretch holds back some of the input (up to one fed block) until more arrives; Begin
// drops what it held.
//
// Threads: one caller thread (the media clock's feed thread). Owned by the engine's owner.
class VAudioTempo {
public:
    static constexpr double kMinTempo = 0.5;
    static constexpr double kMaxTempo = 2.0;

    virtual ~VAudioTempo() = default;
    // Begins a new stretch of 8-bit (unsigned) or 16-bit (signed little-endian) mono sound at
    // the rate and tempo (kMinTempo … kMaxTempo). False when the format or tempo is refused or
    // the stretch cannot be set up; Process then yields nothing until the next Begin succeeds.
    virtual bool Begin(int32_t bitsPerSample, int32_t samplesPerSecond, double tempo) = 0;
    // Feeds whole samples and appends the output ready so far to `out`. False when the
    // stretch failed (nothing is appended).
    virtual bool Process(const uint8_t* bytes, int32_t length, std::vector<uint8_t>& out) = 0;
};
