// Fuzz target for the car's driving data in H.264 SEI units. The first byte picks what the
// rest is: even, a whole MP4 file read as a car's front video (from a buffer of exactly its
// size, so that a read past the end is caught); odd, one SEI NAL unit.
#include "telemetry/CarSeiReader.h"
#include "telemetry/MemoryByteSource.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckState(const TimedCarState& state) {
    Check(state.latitude.has_value() == state.longitude.has_value());
    if (state.latitude) {
        Check(std::fabs(*state.latitude) <= 90 && std::fabs(*state.longitude) <= 180);
    } else {
        Check(!state.heading.has_value());
    }
    for (const std::optional<double>& value :
         {state.speedMps, state.acceleratorPercent, state.steeringDegrees, state.heading,
          state.accelX, state.accelY, state.accelZ})
        Check(!value || std::isfinite(*value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size - 1]);
    if (size > 1)
        std::memcpy(copy.get(), data + 1, size - 1);
    if (data[0] % 2 == 0) {
        MemoryByteSource source(copy.get(), size - 1);
        const std::vector<TimedCarState> states = CarSeiReader::Read(source);
        for (size_t i = 0; i < states.size(); ++i) {
            CheckState(states[i]);
            Check(states[i].timeMs >= 0);
            Check(i == 0 || states[i - 1].timeMs <= states[i].timeMs);
        }
    } else if (const std::optional<TimedCarState> state =
                   CarSeiReader::DecodeSeiNal(copy.get(), size - 1, 5)) {
        CheckState(*state);
        Check(state->timeMs == 5);
    }
    return 0;
}
