#include "ScalerGathers.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/cpu.h>
}

namespace {
constexpr bool kX86 =
#if defined(__x86_64__) || defined(__i386__)
    true;
#else
    false;
#endif
} // namespace

void MarkGathersSlow() {
    if (!kX86)
        return;
    const char* keep = std::getenv("TATV_SCALER_GATHERS");
    if (keep != nullptr && std::strcmp(keep, "1") == 0)
        return;
    const int flags = av_get_cpu_flags();
    if ((flags & AV_CPU_FLAG_SLOW_GATHER) == 0)
        av_force_cpu_flags(flags | AV_CPU_FLAG_SLOW_GATHER);
}

bool GathersMarkedSlow() {
    return kX86 && (av_get_cpu_flags() & AV_CPU_FLAG_SLOW_GATHER) != 0;
}
