#include "clips/ClipRequest.h"

namespace clips {

const char* LayoutWord(Layout layout) {
    switch (layout) {
    case Layout::kFront:
        return "front";
    case Layout::kPip:
        return "pip";
    case Layout::kSide:
        return "side";
    case Layout::kGrid:
        return "grid";
    }
    return "front";
}

std::optional<Layout> LayoutFromWord(std::string_view word) {
    for (Layout layout : {Layout::kFront, Layout::kPip, Layout::kSide, Layout::kGrid})
        if (word == LayoutWord(layout))
            return layout;
    return std::nullopt;
}

const std::vector<std::string>& Presets() {
    static const std::vector<std::string> presets = {"ultrafast", "superfast", "veryfast",
                                                     "faster",    "fast",      "medium",
                                                     "slow",      "slower",    "veryslow"};
    return presets;
}

std::string CameraName(int channel) {
    if (channel <= 0)
        return "front";
    if (channel == 1)
        return "rear";
    return "camera" + std::to_string(channel + 1);
}

} // namespace clips
