#pragma once

#include "DemoSignals.h"
#include "storage/TatFormat.h"

#include <cstdint>
#include <string>

class CH264Encoder;

// Where a recording's packets go: the card writer, or a list in tests.
class VRecordingSink {
public:
    virtual ~VRecordingSink() = default;
    virtual bool Begin(const std::string& name, const tat::InfoBlock& info) = 0;
    // type tat::PacketType; channel 0 front or 1 rear for video, 0 otherwise.
    virtual bool Add(uint8_t type, uint8_t channel, const uint8_t* payload, uint32_t size) = 0;
    virtual bool Finish() = 0;
    virtual void Abandon(bool cutMidPacket) = 0;
    // Gives the recording up as if it had never begun.
    virtual void Discard() = 0;
    virtual std::string Error() const = 0;
};

// Records one made-up drive the way the camera does: pictures coded as H.264, sound, GPS and
// G-sensor lines, in the camera's packet order. For each front frame, in this order:
//   1. the front picture (type 0 for a key frame, 2 otherwise; channel 0),
//   2. the rear picture of the same moment (channel 1) in two-channel recordings,
//   3. every 240 ms sound block (type 1) whose span has now passed,
//   4. the GPS line on the first frame of each second, then a G-sensor line on every
//      third frame (10 per second) (type 3).
// Every picture shows the recording's name, the running time and its frame number; the first
// picture of each second is white.
class CDemoRecorder {
public:
    // encoderThreads: threads of each H.264 encoder, 0 for as many as the machine has.
    explicit CDemoRecorder(DemoFormat format = DemoFormat(), int encoderThreads = 0)
        : m_format(format), m_encoderThreads(encoderThreads) {}

    // Records the plan into the sink; false with error set when coding or writing fails (a
    // begun recording is then abandoned).
    bool Record(const RecordingPlan& plan, VRecordingSink& sink, std::string* error) const;

    // The information block the recording starts with.
    tat::InfoBlock InfoFor(const RecordingPlan& plan) const;

private:
    bool RecordBegun(const RecordingPlan& plan, VRecordingSink& sink, CH264Encoder& front,
                     CH264Encoder& rear, std::string* error) const;

    DemoFormat m_format;
    int m_encoderThreads;
};
