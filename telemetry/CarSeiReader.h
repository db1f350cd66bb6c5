#pragma once

#include "ByteSource.h"
#include "CarState.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reads the driving data that cars with built-in cameras write into their MP4 video files:
// before the picture of each frame, an H.264 SEI NAL unit whose message of user data
// (payload type 5) starts with a run of 0x42 bytes and one 0x69 byte, followed by the car's
// protobuf message (telemetry/CarSei.proto; decoded by libprotobuf). The walk to those bytes is
// written here because no library reads single NAL units out of an MP4 without decoding
// the video: the sample table comes from Mp4File, each sample is a row of NAL units behind
// big-endian lengths of the size avcC gives.
//
// Only the head of each sample is read (the SEI units come before the slices; the walk of a
// sample ends at its first slice, or after 64 units), so a minute of video costs a few small
// reads per frame.
// Every length is checked against the sample and the file; a message that is cut off, has
// no car prefix, or does not decode is skipped. Each state carries its sample's presentation
// time, counted from the first picture; states come in ascending time.
//
// Threads: any thread; no state is shared between calls.
class CarSeiReader {
public:
    // At most this many bytes of one SEI NAL unit are looked at (the car's are ~100 bytes).
    static constexpr size_t kMaxSeiBytes = 64 * 1024;

    // The car states of the first H.264 video track of an MP4 file; empty when the file
    // is no MP4, has no such track or no car messages.
    static std::vector<TimedCarState> Read(const std::string& path);
    static std::vector<TimedCarState> Read(ByteSource& source);

    // The car's message of one SEI NAL unit (from its header byte, emulation prevention
    // bytes still in), stamped timeMs; nullopt when the unit holds none that decodes.
    static std::optional<TimedCarState> DecodeSeiNal(const uint8_t* nal, size_t size,
                                                     int64_t timeMs);

    // The bytes with every 00 00 03 turned back into 00 00 (H.264's emulation prevention).
    static std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t size);
    // The reverse, as an encoder writes a NAL unit: 00 00 before a byte of 00 to 03 gets an
    // 03 between (for the writers of test and bench files).
    static std::vector<uint8_t> AddEmulationPrevention(const uint8_t* data, size_t size);
};
