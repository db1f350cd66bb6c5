#pragma once

#include "storage/CivilTime.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What one made-up recording holds and how it is laid out in time.
struct RecordingPlan {
    std::string name; // CATEGORY_YYYYMMDD_HHMMSS_CHANNELS
    CivilTime start;  // the camera's local clock at the first frame
    int seconds = 20; // length
    bool twoChannel = true;
    bool parked = false;   // the car stands still (speed 0, no road movement)
    double routeStart = 0; // metres along the city loop at the first frame
    int noFixFrom = -1;    // seconds [noFixFrom, noFixTo) have no GPS fix
    int noFixTo = -1;
    int shockSecond = -1; // a jolt on the G-sensor from this second on (-1: none)
    bool cutOff = false;  // power lost after the last frame, in the middle of a packet
    uint32_t variant = 0; // picks the texture and the speed pattern
};

// Picture and sound formats of the camera.
struct DemoFormat {
    int frontWidth = 1280;
    int frontHeight = 720;
    int rearWidth = 640;
    int rearHeight = 360;
    int framesPerSecond = 30;
};

inline constexpr int kLocalHoursFromUtc = 9; // the camera's clock runs on Korean time
inline constexpr int kAudioRate = 8000;
inline constexpr int kAudioBlockBytes = 3840; // 240 ms of 16-bit mono
inline constexpr int kAudioBlockMs = 240;
inline constexpr int kSensorRate = 10; // G-sensor lines per second

// Audio blocks whose whole span lies before front frame `frame` (the blocks that may be
// written once that frame is written).
int AudioBlocksDue(int frame, int framesPerSecond);

// Block number `block` of the sound: a quiet 440 Hz tone with a click at each whole second,
// 16-bit little-endian samples.
std::vector<uint8_t> AudioBlock(int block);

// The motion of the car second by second.
class CDrive {
public:
    explicit CDrive(const RecordingPlan& plan);
    double SpeedKmh(int second) const;
    // Metres along the city loop at a time into the recording.
    double Distance(double seconds) const;

private:
    std::vector<double> m_speed;    // km/h per second
    std::vector<double> m_distance; // metres at the start of each second
};

// The text line of the GPS fix for a second of the recording ('G' and the RMC sentence).
std::string GpsLine(const RecordingPlan& plan, const CDrive& drive, int second);

// The text line of G-sensor sample `sample` (10 per second): 'M' and the raw x, y and z
// bytes, 128 meaning no acceleration.
std::array<uint8_t, 4> SensorLine(const RecordingPlan& plan, int sample);
