#pragma once

#include "CGPSData.h"
#include "CGSensorData.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// The telemetry of the recording that plays: the GPS fixes and G-sensor samples of its text
// channel, in arrival order.
//
// Owned by the main window. Threads: one thread appends (the player's worker, through
// OnTextPacket) while another reads (the window's timer) and clears (on opening a
// recording). Every access takes one internal mutex for the length of a copy, so readers
// get snapshots and never see a list while it grows. No call blocks for longer than a copy.
class CTextData {
public:
    CTextData() = default;
    virtual ~CTextData() = default;
    CTextData(const CTextData&) = delete;
    CTextData& operator=(const CTextData&) = delete;

    // Handles one text packet of size bytes, timeMs into playback:
    // - 'G' with "GPRMC" at bytes 2 to 6: a GPS fix is appended;
    // - 'M' with three sample bytes after it: a G-sensor sample is appended when the list
    //   does not yet reach second timeMs / 1000 (at most one sample per second of
    //   playback; sample i stands for second i); a shorter line is ignored;
    // - anything else is ignored.
    void OnTextPacket(const uint8_t* payload, size_t size, int64_t timeMs);

    // Empties both lists.
    void Clear();

    size_t GpsCount() const;
    size_t SensorCount() const;

    // The newest fix; false when there is none.
    bool NewestFix(CGPSData& out) const;
    // Copies of the lists.
    std::vector<CGPSData> GpsFixes() const;
    std::vector<CGSensorData> SensorSamples() const;
    // Copies samples [first, first + count) that exist into out (replacing its contents);
    // returns how many were copied.
    size_t CopySensorSamples(size_t first, size_t count, std::vector<CGSensorData>& out) const;

private:
    mutable std::mutex m_mutex;
    std::vector<CGSensorData> m_sensorSamples; // guarded by m_mutex
    std::vector<CGPSData> m_gpsFixes;          // guarded by m_mutex
};
