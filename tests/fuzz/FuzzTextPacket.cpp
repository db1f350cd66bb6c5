// Fuzz target for the text channel: G-sensor lines and RMC sentences as the player hands
// them over. Input: an optional first line with the playback time in milliseconds (decimal),
// then the payload. The payload goes in whole as one packet, then line by line as packets one
// second apart, and last straight into the sentence parser. Every packet is copied into a
// buffer of exactly its size so that a read past the end is caught.
#include "telemetry/CGPSData.h"
#include "telemetry/CGSensorData.h"
#include "telemetry/CTextData.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kMaxTimeLine = 21;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void FeedExact(CTextData& data, const uint8_t* bytes, size_t size, int64_t timeMs) {
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
    if (size > 0)
        std::memcpy(copy.get(), bytes, size);
    data.OnTextPacket(copy.get(), size, timeMs);
}

void CheckFix(const CGPSData& fix) {
    Check(fix.valid == 0 || fix.valid == 1);
    Check(fix.year >= 0 && fix.year <= 99);
    Check(fix.month >= 0 && fix.month <= 99);
    Check(fix.day >= 0 && fix.day <= 99);
    Check(fix.hour >= 0 && fix.hour <= 99 + 9);
    Check(fix.minute >= 0 && fix.minute <= 99);
    Check(fix.second >= 0 && fix.second <= 99);
    Check(fix.Complete() || fix.time == 0);
    // Reading the position must not trap whatever the values.
    volatile double degrees = fix.LatitudeDegrees() + fix.LongitudeDegrees() + fix.GetSpeed();
    (void)degrees;
}

void CheckSample(const CGSensorData& sample) {
    for (const int32_t axis : {sample.x, sample.y, sample.z})
        Check(axis >= -127 && axis <= 128);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int64_t timeMs = 0;
    size_t start = 0;
    const size_t timeLimit = std::min(size, kMaxTimeLine);
    if (const void* newline = std::memchr(data, '\n', timeLimit)) {
        const auto* end = static_cast<const uint8_t*>(newline);
        const auto* text = reinterpret_cast<const char*>(data);
        std::from_chars(text, reinterpret_cast<const char*>(end), timeMs);
        start = static_cast<size_t>(end - data) + 1;
    }
    const uint8_t* payload = data + start;
    const size_t payloadSize = size - start;

    CTextData text;
    size_t packets = 0;
    FeedExact(text, payload, payloadSize, timeMs);
    ++packets;

    // Lines one second apart; the time wraps instead of overflowing.
    size_t lineStart = 0;
    uint64_t lineTime = static_cast<uint64_t>(timeMs);
    while (lineStart <= payloadSize) {
        const void* newline = std::memchr(payload + lineStart, '\n', payloadSize - lineStart);
        const size_t lineEnd =
            newline != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(newline) - payload)
                               : payloadSize;
        FeedExact(text, payload + lineStart, lineEnd - lineStart, static_cast<int64_t>(lineTime));
        ++packets;
        lineTime += 1000;
        lineStart = lineEnd + 1;
    }

    Check(text.GpsCount() + text.SensorCount() <= packets);
    CGPSData newest;
    if (text.NewestFix(newest))
        CheckFix(newest);
    for (const CGPSData& fix : text.GpsFixes())
        CheckFix(fix);

    std::vector<CGSensorData> samples;
    const size_t count = text.SensorCount();
    const size_t first = count / 2;
    Check(text.CopySensorSamples(first, SIZE_MAX, samples) == count - first);
    Check(samples.size() == count - first);
    for (const CGSensorData& sample : samples)
        CheckSample(sample);

    const std::unique_ptr<char[]> sentence(new char[payloadSize]);
    if (payloadSize > 0)
        std::memcpy(sentence.get(), payload, payloadSize);
    CheckFix(CGPSData(std::string_view(sentence.get(), payloadSize), 0));

    volatile double degrees = CGPSData::ToDegrees(static_cast<double>(timeMs));
    (void)degrees;
    return 0;
}
