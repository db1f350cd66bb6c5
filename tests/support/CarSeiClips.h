#pragma once

#include "telemetry/CarState.h"
#include "tests/support/DashcamClips.h"

#include <cstdint>
#include <string>
#include <vector>

// Video files of a car with built-in cameras for the tests: an H.264 clip that ffmpeg
// encodes (MakeClip), copied packet by packet through libavformat into a new MP4 with SEI
// NAL units of our own put in front of chosen frames, as the car's firmware does.
namespace carsei {

using Bytes = std::vector<uint8_t>;

// The car's protobuf message holding the fields the state has (its time is not written).
Bytes Message(const TimedCarState& values);

// An SEI NAL unit (header byte on, emulation prevention bytes in) of one user-data message:
// fifteen 0x42 bytes, 0x69, then `message`; the payload size written as SEI sizes are
// (runs of 0xFF). sizeDelta changes the size field, to make units that lie about it.
Bytes SeiNal(const Bytes& message, int sizeDelta = 0);

// The NAL unit of the car's message for the values.
Bytes CarNal(const TimedCarState& values);

struct Insert {
    int frame = 0; // the video packet, counted in file (decoding) order from 0
    Bytes nal;     // put in front of the packet's NAL units
};

// Copies the MP4 at `from` to `to` with the units inserted. packetTimesMs (optional) gets the
// presentation time of every video packet in file order, in ms from the first picture.
// False when either file cannot be handled.
bool InsertUnits(const std::string& from, const std::string& to, const std::vector<Insert>& inserts,
                 std::vector<int64_t>* packetTimesMs = nullptr);

// A car's clip in one go: a `seconds` long 30 fps H.264 clip (B-frames, so presentation and
// file order differ) with the car's message for states[k] in front of packet k (as many
// packets as there are states). False when ffmpeg or the copy failed.
bool MakeCarClip(const std::string& path, const std::vector<TimedCarState>& states, double seconds,
                 std::vector<int64_t>* packetTimesMs = nullptr);
// The same from a clip made as `clip` describes it: its size, rate, length and picture (its
// sound is left out).
bool MakeCarClip(const std::string& path, const std::vector<TimedCarState>& states,
                 const ClipSpec& clip, std::vector<int64_t>* packetTimesMs = nullptr);

} // namespace carsei
