#pragma once

#include "MainLayout.h"

// Where the three panes of the main window go (front picture, rear picture, map). Two slots
// serve them: the large slot (kLargeSlot) and the small slot (kSmallSlot).

enum class PaneMode { Hidden = 0, Large = 1, Small = 2 };

struct PaneModes {
    PaneMode front = PaneMode::Hidden;
    PaneMode rear = PaneMode::Hidden;
    PaneMode map = PaneMode::Hidden;
    bool operator==(const PaneModes&) const = default;
};

struct PanePlace {
    Rect rect;            // pixels, client coordinates
    bool visible = false; // the map is always visible; a hidden map has a 0 x 0 rect
    bool operator==(const PanePlace&) const = default;
};

struct PanePlaces {
    PanePlace front;
    PanePlace rear;
    PanePlace map;
    bool operator==(const PanePlaces&) const = default;
};

// Places for the given modes. channelCount is the open recording's number of video channels:
// below 2 the rear picture is hidden in every layout. In full screen both pictures take
// fullScreenPicture (FullScreenPicture), only a Large one is visible, and the map is collapsed.
// A hidden picture is collapsed at its slot's corner (front at the large, rear at the small);
// a picture in the map's slot keeps its place but is not visible (the map lies over it).
PanePlaces LayoutPanes(LayoutMode layout, const PaneModes& modes, int channelCount,
                       const Rect& fullScreenPicture);

// The modes of a recording that has just been opened: front large, rear small with two
// channels, map hidden until the first valid GPS fix.
PaneModes PanesForNewRecording(int channelCount);

// The map-size button: the map and one video swap the two slots; with two channels the other
// video is hidden. Unchanged when no recording is open (channelCount below 1).
PaneModes ToggleMapSize(const PaneModes& modes, int channelCount);

// The string-table id of the map-size button's caption: "smaller map" while the map is large,
// "larger map" otherwise.
int MapSizeCaptionId(PaneMode mapMode);
