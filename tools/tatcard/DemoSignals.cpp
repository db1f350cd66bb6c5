#include "DemoSignals.h"

#include "GpsTrack.h"
#include "base/ByteOrder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h =
        a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

} // namespace

int AudioBlocksDue(int frame, int framesPerSecond) {
    // Block k spans [240 k, 240 (k + 1)) ms; frame f starts at 1000 f / fps ms.
    return static_cast<int>(static_cast<int64_t>(frame) * 1000 /
                            (static_cast<int64_t>(kAudioBlockMs) * framesPerSecond));
}

std::vector<uint8_t> AudioBlock(int block) {
    constexpr int kSamples = kAudioBlockBytes / 2;
    std::vector<uint8_t> bytes(kAudioBlockBytes);
    for (int i = 0; i < kSamples; ++i) {
        const int64_t n = static_cast<int64_t>(block) * kSamples + i;
        const auto inSecond = static_cast<int>(n % kAudioRate);
        double v = 900.0 * std::sin(2.0 * kPi * 440.0 * static_cast<double>(n) / kAudioRate);
        if (inSecond < 80) // 10 ms click, fading
            v += ((inSecond / 4) % 2 == 0 ? 1.0 : -1.0) * 12000.0 * (80 - inSecond) / 80.0;
        const auto sample = static_cast<int16_t>(std::lround(v));
        StoreU16LE(bytes.data() + 2 * i, static_cast<uint16_t>(sample));
    }
    return bytes;
}

CDrive::CDrive(const RecordingPlan& plan) {
    const int seconds = std::max(plan.seconds, 0) + 1;
    double distance = plan.routeStart;
    for (int s = 0; s < seconds; ++s) {
        const double speed = plan.parked ? 0.0 : DriveSpeed(plan.variant, s);
        m_speed.push_back(speed);
        m_distance.push_back(distance);
        distance += speed / 3.6;
    }
}

double CDrive::SpeedKmh(int second) const {
    return m_speed[static_cast<size_t>(
        std::clamp(second, 0, static_cast<int>(m_speed.size()) - 1))];
}

double CDrive::Distance(double seconds) const {
    const int last = static_cast<int>(m_distance.size()) - 1;
    const int s = std::clamp(static_cast<int>(std::floor(seconds)), 0, last);
    const double within = std::clamp(seconds - s, 0.0, 1.0);
    return m_distance[static_cast<size_t>(s)] + m_speed[static_cast<size_t>(s)] / 3.6 * within;
}

std::string GpsLine(const RecordingPlan& plan, const CDrive& drive, int second) {
    const CivilTime utc = plan.start.Plus(second - kLocalHoursFromUtc * 3600);
    std::string line = "G";
    if (second >= plan.noFixFrom && second < plan.noFixTo) {
        line.append(RmcSentence(utc, 0, nullptr));
        return line;
    }
    static const CCityLoop loop;
    GpsFix fix = loop.At(drive.Distance(second));
    fix.speedKmh = drive.SpeedKmh(second);
    line.append(RmcSentence(utc, 0, &fix));
    return line;
}

std::array<uint8_t, 4> SensorLine(const RecordingPlan& plan, int sample) {
    std::array<uint8_t, 4> line{'M', 128, 128, 128};
    const bool shock = plan.shockSecond >= 0 && sample >= plan.shockSecond * kSensorRate &&
                       sample < plan.shockSecond * kSensorRate + 3;
    // A jolt: hard on x (braking) and z, some on y; a little different in each sample.
    constexpr int kShock[3] = {-92, 64, 75};
    for (uint32_t axis = 0; axis < 3; ++axis) {
        const int noise =
            static_cast<int>(Hash(plan.variant, static_cast<uint32_t>(sample), axis) % 7) - 3;
        const int value = shock ? kShock[axis] + noise * 4 : noise; // value = 128 - raw
        line[axis + 1] = static_cast<uint8_t>(std::clamp(128 - value, 0, 255));
    }
    return line;
}
