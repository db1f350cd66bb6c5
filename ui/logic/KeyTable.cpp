#include "KeyTable.h"

#include <algorithm>

namespace {

// The channel of a digit key, 0-based; -1 for other keys.
int CameraOfKey(Key key) {
    switch (key) {
    case Key::Digit1:
        return 0;
    case Key::Digit2:
        return 1;
    case Key::Digit3:
        return 2;
    case Key::Digit4:
        return 3;
    case Key::Digit5:
        return 4;
    case Key::Digit6:
        return 5;
    default:
        return -1;
    }
}

constexpr int kVolumeMin = 0;
constexpr int kVolumeMax = 99;

KeyAction ActionFor(Key key, const KeyContext& context) {
    switch (key) {
    case Key::Enter:
        return context.layout == LayoutMode::FullScreen ? KeyAction::RestoreSize
                                                        : KeyAction::FullScreen;
    case Key::Space:
        return context.playButtonVisible && context.listRowCount > 0 ? KeyAction::Play
                                                                     : KeyAction::Pause;
    case Key::PageUp:
        return KeyAction::Next;
    case Key::PageDown:
        return KeyAction::Pre;
    case Key::Left:
        return KeyAction::SecBack;
    case Key::Right:
        return KeyAction::SecForward;
    case Key::Up:
        return context.pointerInsideList ? KeyAction::PassToList : KeyAction::VolumeUp;
    case Key::Down:
        return context.pointerInsideList ? KeyAction::PassToList : KeyAction::VolumeDown;
    case Key::F2:
        return KeyAction::Open;
    case Key::F3:
        return KeyAction::Settings;
    case Key::Period:
        return KeyAction::FrameNext;
    case Key::Comma:
        return KeyAction::FramePrevious;
    case Key::BracketLeft:
        return KeyAction::Slower;
    case Key::BracketRight:
        return KeyAction::Faster;
    case Key::CtrlRight:
        return KeyAction::MarkerNext;
    case Key::CtrlLeft:
        return KeyAction::MarkerPrevious;
    case Key::U:
        return KeyAction::ToggleUnits;
    case Key::I:
        return KeyAction::MarkClipStart;
    case Key::O:
        return KeyAction::MarkClipEnd;
    case Key::CtrlE:
        return KeyAction::ExportClip;
    case Key::Digit1:
    case Key::Digit2:
    case Key::Digit3:
    case Key::Digit4:
    case Key::Digit5:
    case Key::Digit6:
        return context.cameras > 2 && CameraOfKey(key) < context.cameras ? KeyAction::MainCamera
                                                                         : KeyAction::Swallow;
    case Key::Escape:
    case Key::Tab:
    case Key::Other:
        break;
    }
    return KeyAction::Swallow;
}

} // namespace

KeyDecision DecideKey(Key key, const KeyContext& context) {
    const int volume = std::clamp(context.volume, kVolumeMin, kVolumeMax);
    const KeyAction action = context.downloadBusy ? KeyAction::Swallow : ActionFor(key, context);
    if (action == KeyAction::VolumeUp)
        return {action, std::min(volume + kVolumeKeyStep, kVolumeMax)};
    if (action == KeyAction::VolumeDown)
        return {action, std::max(volume - kVolumeKeyStep, kVolumeMin)};
    if (action == KeyAction::MainCamera)
        return {action, volume, CameraOfKey(key)};
    return {action, volume};
}

int VirtualKeyCode(Key key) {
    switch (key) {
    case Key::Enter:
        return 13;
    case Key::Space:
        return 32;
    case Key::PageUp:
        return 33;
    case Key::PageDown:
        return 34;
    case Key::Left:
    case Key::CtrlLeft:
        return 37;
    case Key::Up:
        return 38;
    case Key::Right:
    case Key::CtrlRight:
        return 39;
    case Key::Down:
        return 40;
    case Key::F2:
        return 113;
    case Key::F3:
        return 114;
    case Key::Escape:
        return 27;
    case Key::Tab:
        return 9;
    case Key::Period:
        return 190;
    case Key::Comma:
        return 188;
    case Key::BracketLeft:
        return 219;
    case Key::BracketRight:
        return 221;
    case Key::U:
        return 85;
    case Key::I:
        return 73;
    case Key::O:
        return 79;
    case Key::CtrlE:
        return 69;
    case Key::Digit1:
    case Key::Digit2:
    case Key::Digit3:
    case Key::Digit4:
    case Key::Digit5:
    case Key::Digit6:
        return 49 + CameraOfKey(key);
    case Key::Other:
        break;
    }
    return 0;
}
