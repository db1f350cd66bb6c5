#include "clips/ClipExport.h"

namespace clips {

ClipResult Export(const ClipRequest&, const ProgressFn&, const std::atomic<bool>&) {
    ClipResult result;
    result.error = "clip export is not built yet";
    return result;
}

} // namespace clips
