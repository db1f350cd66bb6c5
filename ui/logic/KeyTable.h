#pragma once

#include "MainLayout.h"

// What a key press in the main window does.

enum class Key {
    Enter,
    Space,
    PageUp,
    PageDown,
    Left,
    Right,
    Up,
    Down,
    F2,
    F3,
    Escape,
    Tab,
    Period,       // "." the next frame
    Comma,        // "," the previous frame
    BracketLeft,  // "[" slower
    BracketRight, // "]" faster
    CtrlLeft,     // Ctrl+Left: the previous marker
    CtrlRight,    // Ctrl+Right: the next marker
    U,            // "u" the other speed unit
    I,            // "i" the clip's start here
    O,            // "o" the clip's end here
    CtrlE,        // Ctrl+E: the clip export
    Digit1,       // "1" … "6": that camera becomes the main one (a grid of cameras)
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Other
};

enum class KeyAction {
    FullScreen,  // the full-screen command
    RestoreSize, // back to the normal layout
    Play,
    Pause,
    Next, // the list row above the current one
    Pre,  // the list row below
    SecBack,
    SecForward,
    VolumeUp,   // move the volume slider's thumb to KeyDecision::volume
    VolumeDown, // the same, downwards
    Open,
    Settings,
    FrameNext,      // pause and show the next frame
    FramePrevious,  // pause and show the previous frame
    Slower,         // the next slower playing speed
    Faster,         // the next faster playing speed
    MarkerNext,     // to the next marker of the position slider
    MarkerPrevious, // to the previous marker
    ToggleUnits,    // speeds and distances in the other unit (km/h, mph)
    MarkClipStart,  // the clip's start mark at the time played
    MarkClipEnd,    // the clip's end mark at the time played
    ExportClip,     // the clip export (its dialog)
    MainCamera,     // KeyDecision::camera becomes the main (large) camera
    PassToList,     // the recording list handles the key itself
    Swallow,        // nothing happens and no control sees the key
};

// The window's state that keys depend on.
struct KeyContext {
    LayoutMode layout = LayoutMode::Normal;
    bool playButtonVisible = true; // PLAY shown (not Pause)
    int listRowCount = 0;
    bool pointerInsideList = false; // the mouse pointer is over the recording list
    bool downloadBusy = false;
    int volume = 0;  // the volume slider's position, 0..99
    int cameras = 0; // cameras of the recording that plays (0: none loaded)
};

struct KeyDecision {
    KeyAction action = KeyAction::Swallow;
    int volume = 0; // the volume slider's position after the key, 0..99
    int camera = 0; // MainCamera: the channel, 0-based
    bool operator==(const KeyDecision&) const = default;
};

constexpr int kVolumeKeyStep = 5;

// The Windows virtual-key code of a key of the table (13 Enter, 32 Space, 37 Left, 190 ".",
// 188 ",", 219 "[", 221 "]", 85 "u", ...), as the diagnostic line "Press Button => %d" shows
// it; 0 for Other. Ctrl+Left and Ctrl+Right give the arrows' own codes (37, 39).
int VirtualKeyCode(Key key);

// Every key is swallowed while a download runs. Up and Down go to the list while the pointer
// is over it and move the volume by kVolumeKeyStep otherwise; Space plays when PLAY is shown
// and the list has rows, else pauses; "." and "," step a frame, "[" and "]" change the speed;
// Ctrl+Right and Ctrl+Left go to the next and previous marker (Left and Right alone still
// step 10 s), "u" toggles the speed unit; "1" … "6" make that camera the main one while a
// recording of more than two cameras plays and it has that camera (swallowed otherwise: one-
// and two-camera recordings keep their panes); keys without a command are swallowed.
KeyDecision DecideKey(Key key, const KeyContext& context);
