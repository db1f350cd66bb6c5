#include "ProcessClock.h"

#include <sys/resource.h>

namespace {

std::chrono::microseconds ToMicros(const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
}

} // namespace

ProcessClock::Reading ProcessClock::Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {std::chrono::steady_clock::now(), ToMicros(usage.ru_utime) + ToMicros(usage.ru_stime)};
}

long long ProcessClock::WallMs(const Reading& from, const Reading& to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to.wall - from.wall).count();
}

long long ProcessClock::CpuMs(const Reading& from, const Reading& to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to.cpu - from.cpu).count();
}
