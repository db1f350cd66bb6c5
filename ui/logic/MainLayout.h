#pragma once

#include <optional>
#include <vector>

// Geometry of the main window's controls in its two layouts. All rectangles are in pixels of
// the window's client area: x, y of the top-left corner, then width and height. The functions
// here, in PaneLayout.h and in KeyTable.h only compute from their arguments and may be called
// from any thread.

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const Rect&) const = default;
};

enum class LayoutMode { Normal = 1, FullScreen = 2 };

// Control ids of the main window.
namespace ControlId {
constexpr int Minimise = 1000;
constexpr int Quit = 1001;
constexpr int Position = 1002;
constexpr int Volume = 1004;
constexpr int Pre = 1005;
constexpr int Play = 1006;
constexpr int Stop = 1007;
constexpr int Next = 1008;
constexpr int SecBack = 1009;
constexpr int SecForward = 1010;
constexpr int Open = 1012;
constexpr int List = 1013;
constexpr int CurrentTime = 1014;
constexpr int Length = 1015;
constexpr int Settings = 1016;
constexpr int Snapshot = 1017;
constexpr int FullScreen = 1018;
constexpr int Mute = 1023;
constexpr int RestoreSize = 1025;
constexpr int MapSize = 1101;
constexpr int Map = 1106;
constexpr int Brightness = 1112;
constexpr int Pause = 1120;
constexpr int Zoom = 1121;
constexpr int SelectAll = 1136;
constexpr int Download = 1143;
constexpr int FilterEvent = 1150;
constexpr int FilterMotion = 1151;
constexpr int FilterContinuous = 1152;
constexpr int FilterManual = 1153;
constexpr int FilterAll = 1154;
constexpr int Graph = 1156;
constexpr int TripView = 1157; // the list's trip view on or off, under the list
constexpr int BrightnessIcon = 1237;
constexpr int FrontPicture = 1238;
constexpr int RearPicture = 1239;
constexpr int Speed = 1240;
constexpr int PlaySpeed = 1241;  // the playing speed's control
constexpr int Clip = 1242;       // the incident clip's export, beside the capture button
constexpr int CarReadout = 1243; // a car's own driving data, beside the graph
} // namespace ControlId

// Fixed places of the normal layout.
constexpr int kBackgroundWidth = 975; // the window's size in the normal layout
constexpr int kBackgroundHeight = 635;
constexpr Rect kListRect{650, 65, 320, 150};
constexpr Rect kLargeSlot{4, 64, 640, 360};
constexpr Rect kSmallSlot{650, 268, 320, 180};
constexpr Rect kPauseRect{261, 473, 15, 17}; // where the Pause button sits at start-up

// What a layout does to a control's visibility. Keep: the window decides (PLAY and Pause show
// one of the two by the play state; the pictures follow the pane modes; sliders, times and
// the other transport buttons stay as they are).
enum class Visibility { Keep, Show, Hide };

struct ControlPlacement {
    int id = 0;
    std::optional<Rect> rect; // nothing: the control keeps its place
    Visibility visibility = Visibility::Keep;
    bool operator==(const ControlPlacement&) const = default;
};

// Every control that the layout moves, shows or hides, in the order the window applies them.
// clientWidth and clientHeight matter only in full screen (negative values count as 0).
std::vector<ControlPlacement> LayoutControls(LayoutMode mode, int clientWidth, int clientHeight);

// The entry of one control, or nothing when the layout leaves it alone.
std::optional<ControlPlacement> FindPlacement(LayoutMode mode, int id, int clientWidth,
                                              int clientHeight);

// Where both pictures go in full screen: 1280 x 720 centred below a 29-pixel top bar when
// the client area holds 1280 x 829, otherwise the whole width between the top bar and the
// 80-pixel control bar. Sizes never go below 0.
Rect FullScreenPicture(int clientWidth, int clientHeight);
