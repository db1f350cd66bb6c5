// Fuzz target for the quick length reading of MP4/MOV and MPEG-TS files: the first byte picks
// the container (even: MP4, odd: TS), the rest is the file. The reader must stay inside the
// bytes and give a length that is a number or unknown.
#include "storage/QuickDuration.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string kind = (data[0] & 1) != 0 ? "ts" : "mp4";
    const auto length = static_cast<int64_t>(size - 1);
    auto file = std::make_unique<uint8_t[]>(size - 1);
    std::memcpy(file.get(), data + 1, size - 1);
    const QuickDuration result = QuickDuration::Read(
        kind, length, [&](int64_t offset, uint8_t* buffer, int64_t n) -> int64_t {
            if (offset < 0 || n < 0 || offset > length)
                std::abort();
            const int64_t count = std::min(n, length - offset);
            if (count > 0)
                std::memcpy(buffer, file.get() + offset, static_cast<size_t>(count));
            return count;
        });
    if (std::isnan(result.seconds))
        std::abort();
    return 0;
}
