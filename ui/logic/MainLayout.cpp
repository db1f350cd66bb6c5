#include "MainLayout.h"

#include <algorithm>

namespace {

using enum Visibility;

std::vector<ControlPlacement> NormalLayout() {
    using namespace ControlId;
    return {
        {Graph, Rect{30, 520, 760, 104}, Show},
        // Shown by the status while a car's driving data plays: inside the frame of the
        // G-force legend beside the graph, over the legend.
        {CarReadout, Rect{807, 522, 161, 100}, Keep},
        {Zoom, Rect{431, 471, 21, 21}, Show},
        {Settings, Rect{546, 471, 21, 21}, Show},
        {PlaySpeed, Rect{584, 471, 56, 21}, Show},
        {Snapshot, Rect{484, 472, 30, 20}, Show},
        // Between the capture and the settings buttons.
        {Clip, Rect{516, 471, 28, 21}, Show},
        {FullScreen, Rect{922, 5, 25, 25}, Show},
        {Minimise, Rect{898, 5, 25, 25}, Keep},
        {Quit, Rect{946, 5, 25, 25}, Keep},
        {MapSize, Rect{485, 38, 161, 24}, Show},
        {FilterContinuous, Rect{650, 38, 65, 24}, Show},
        {FilterEvent, Rect{714, 38, 65, 24}, Show},
        {FilterMotion, Rect{778, 38, 65, 24}, Show},
        {FilterManual, Rect{842, 38, 65, 24}, Show},
        {FilterAll, Rect{906, 38, 65, 24}, Show},
        {Download, Rect{825, 218, 117, 20}, Show},
        {SelectAll, Rect{650, 218, 117, 20}, Show},
        // The filter row above the list is full: the trip view's toggle sits in the gap
        // between Select All and the download button.
        {TripView, Rect{771, 218, 50, 20}, Show},
        {Open, Rect{28, 473, 19, 17}, Show},
        {Stop, Rect{87, 474, 15, 17}, Keep},
        {Pre, Rect{137, 473, 31, 17}, Keep},
        {SecBack, Rect{198, 473, 25, 16}, Keep},
        {Play, Rect{261, 473, 15, 17}, Keep},
        {Pause, Rect{261, 473, 15, 17}, Keep},
        {SecForward, Rect{313, 473, 25, 16}, Keep},
        {Next, Rect{368, 473, 31, 17}, Keep},
        {Position, Rect{92, 432, 410, 14}, Keep},
        {Volume, Rect{715, 474, 81, 14}, Keep},
        {Brightness, Rect{864, 474, 81, 14}, Keep},
        {BrightnessIcon, Rect{832, 472, 24, 25}, Keep},
        {Mute, Rect{684, 472, 27, 22}, Keep},
        {CurrentTime, Rect{25, 433, 56, 14}, Keep},
        {Length, Rect{495, 433, 56, 14}, Keep},
        {Speed, Rect{580, 433, 56, 14}, Keep},
        {RestoreSize, std::nullopt, Hide},
        {List, kListRect, Show},
    };
}

std::vector<ControlPlacement> FullScreenLayout(int w, int h) {
    using namespace ControlId;
    const Rect picture = FullScreenPicture(w, h);
    return {
        {Graph, std::nullopt, Hide},
        {FrontPicture, picture, Keep},
        {RearPicture, picture, Keep},
        {Quit, Rect{w - 45, 5, 25, 25}, Keep},
        {Minimise, Rect{w - 69, 5, 25, 25}, Keep},
        {RestoreSize, Rect{w - 93, 5, 25, 25}, Show},
        {Open, Rect{w - 51, h - 43, 19, 17}, Hide},
        {Next, Rect{w - 112, h - 43, 31, 17}, Keep},
        {SecForward, Rect{w - 163, h - 43, 25, 16}, Keep},
        {Play, Rect{w - 204, h - 43, 15, 17}, Keep},
        {Pause, Rect{w - 204, h - 43, 15, 17}, Keep},
        {SecBack, Rect{w - 265, h - 43, 25, 16}, Keep},
        {Pre, Rect{w - 316, h - 43, 31, 17}, Keep},
        {Stop, Rect{w - 367, h - 43, 15, 17}, Keep},
        {Position, Rect{55, h - 50, 390, 14}, Keep},
        {Brightness, Rect{w - 165, h - 80, 81, 14}, Keep},
        {BrightnessIcon, Rect{w - 199, h - 85, 24, 25}, Keep},
        {Volume, Rect{w - 298, h - 80, 81, 14}, Keep},
        {Mute, Rect{w - 337, h - 85, 27, 22}, Keep},
        {CurrentTime, Rect{55, h - 25, 60, 12}, Keep},
        {Length, Rect{370, h - 25, 60, 12}, Keep},
        {Speed, Rect{470, h - 25, 60, 12}, Keep},
        // In the control bar, after the speed text.
        {CarReadout, Rect{540, h - 82, 128, 78}, Keep},
        {PlaySpeed, Rect{w - 440, h - 45, 56, 21}, Show},
        {List, std::nullopt, Hide},
        {Settings, std::nullopt, Hide},
        {Snapshot, std::nullopt, Hide},
        {Clip, std::nullopt, Hide},
        {Zoom, std::nullopt, Hide},
        {MapSize, std::nullopt, Hide},
        {FullScreen, std::nullopt, Hide},
        {FilterContinuous, std::nullopt, Hide},
        {FilterEvent, std::nullopt, Hide},
        {FilterMotion, std::nullopt, Hide},
        {FilterManual, std::nullopt, Hide},
        {FilterAll, std::nullopt, Hide},
        {Download, std::nullopt, Hide},
        {SelectAll, std::nullopt, Hide},
        {TripView, std::nullopt, Hide},
    };
}

} // namespace

std::vector<ControlPlacement> LayoutControls(LayoutMode mode, int clientWidth, int clientHeight) {
    if (mode == LayoutMode::FullScreen)
        return FullScreenLayout(std::max(clientWidth, 0), std::max(clientHeight, 0));
    return NormalLayout();
}

std::optional<ControlPlacement> FindPlacement(LayoutMode mode, int id, int clientWidth,
                                              int clientHeight) {
    for (const ControlPlacement& placement : LayoutControls(mode, clientWidth, clientHeight))
        if (placement.id == id)
            return placement;
    return std::nullopt;
}

Rect FullScreenPicture(int clientWidth, int clientHeight) {
    constexpr int kTopBar = 29;
    constexpr int kBars = 109; // top bar and control bar together
    const int w = std::max(clientWidth, 0);
    const int h = std::max(clientHeight, 0);
    if (w >= 1280 && h >= 720 + kBars)
        return {(w - 1280) / 2, (h - 720 - kBars) / 2 + kTopBar, 1280, 720};
    return {0, kTopBar, w, std::max(h - kBars, 0)};
}
