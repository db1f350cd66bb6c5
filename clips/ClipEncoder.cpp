#include "clips/ClipEncoder.h"

namespace clips {

EncodeOutcome EncodeClip(const EncodeInput&, const EncodeSettings&, const std::string&,
                         const ProgressFn&, const std::atomic<bool>&) {
    EncodeOutcome outcome;
    outcome.error = "re-encoding is not built yet";
    return outcome;
}

} // namespace clips
