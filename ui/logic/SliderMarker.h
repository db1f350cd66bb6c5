#pragma once

// A mark on the position slider: where something worth finding happens on the time line.
enum class MarkerKind {
    Event,   // an event recording begins
    Manual,  // a manual recording begins
    Parking, // a parking recording begins
    GForce,  // a G-force peak
    ClipIn,  // the clip's start mark ("i")
    ClipOut, // the clip's end mark ("o")
};

// A mark at a position in the slider's value units (the position slider counts seconds).
struct SliderMarker {
    int position = 0;
    MarkerKind kind = MarkerKind::Event;
    bool operator==(const SliderMarker&) const = default;
};
