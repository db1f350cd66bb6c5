#pragma once

#include "player/api/VMediaParser.h"
#include "player/source/CTripParser.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

// Opening the segments of a drive for the trip parser: an inner parser from the factory,
// started and opened, and its first packets read into memory, so that the segment's time
// shift onto the drive's time line is known before any of its packets goes out.
//
// Plain data and functions: whoever holds an OpenedSegment is its only user (the read-ahead
// thread while it prepares one, the trip parser's caller once it has been handed over).

// A packet read before its turn, its payload copied.
struct HeldPacket {
    StreamKind kind = NoPacket;
    int32_t channel = 0;
    bool keyFrame = false;
    int64_t timeUs = 0; // the inner parser's time (µs), not yet shifted; kNoTimeUs stays so
    std::vector<uint8_t> bytes;
};

// What an inner parser told about its recording right after Open.
struct SegmentFormat {
    // The video streams told: front, rear and a car's further cameras.
    static constexpr int kStreams = 6;
    VideoSize size[kStreams]{};
    int32_t frameRate[kStreams] = {}; // GetFrameRate by stream
    int32_t openFrontRate = 0;        // OpenInfo::frontFrameRate
    int32_t openRearRate = 0;         // OpenInfo::rearFrameRate
    VideoCodec codec[kStreams] = {VideoCodec::kH264, VideoCodec::kH264, VideoCodec::kH264,
                                  VideoCodec::kH264, VideoCodec::kH264, VideoCodec::kH264};
    int32_t audioBits = 16;
    int32_t audioRate = 8000;
    int channels = 0;
};

// One segment open in an inner parser, which stands right after the held packets.
struct OpenedSegment {
    int index = -1; // in the drive's segments; -1: none of those tried opened
    std::unique_ptr<VMediaParser> parser;
    int64_t firstFrontUs = 0; // inner time of its first front picture (0 when none came)
    int64_t shiftUs = 0;      // added to inner times: offsetUs - firstFrontUs
    std::deque<HeldPacket> held;
    int64_t heldBytes = 0;
    bool fresh = true;   // nothing handed out or sought yet: `held` begins at its start
    bool ended = false;  // the inner Read returned false
    bool failed = false; // ... and said kFailed
    int skipped = 0;     // segments tried before it that did not open
    SegmentFormat format;
};

// How much of a segment's start is read before it plays: up to aheadUs of front pictures
// after the first one (0: up to the first front picture only), at most aheadBytes of
// payload.
struct TripReadLimits {
    int64_t aheadUs = 1000000;
    int64_t aheadBytes = 8 * 1024 * 1024;
};

// Tries segments[from], segments[from + 1], … in turn until one opens, and reads its first
// packets within `limits` into memory (through `buffer`, kPacketBufferSize bytes). A set
// `hurry` cuts the reading short once the first front picture is held. Returns the segment
// (its `skipped` counting the segments before it that did not open), one with index -1 when
// none from `from` on opens, or null when `cancelled` said so first (what was opened is closed
// again). Runs the factory and the inner parser on the calling thread.
std::unique_ptr<OpenedSegment>
OpenFirstSegment(const CTripParser::Factory& factory, const std::vector<TripSegment>& segments,
                 size_t from, const TripReadLimits& limits, const std::atomic<bool>* hurry,
                 const std::function<bool()>& cancelled, std::vector<uint8_t>& buffer);

// Closes, stops and destroys an inner parser (nothing for null).
void CloseInnerParser(std::unique_ptr<VMediaParser>& parser);
