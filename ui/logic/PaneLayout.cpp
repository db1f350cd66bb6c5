#include "PaneLayout.h"

namespace {

constexpr Rect Collapsed(const Rect& slot) {
    return {slot.x, slot.y, 0, 0};
}

PanePlace PlaceInSlot(PaneMode mode, const Rect& hiddenSlot) {
    switch (mode) {
    case PaneMode::Large:
        return {kLargeSlot, true};
    case PaneMode::Small:
        return {kSmallSlot, true};
    case PaneMode::Hidden:
        break;
    }
    return {Collapsed(hiddenSlot), false};
}

} // namespace

PanePlaces LayoutPanes(LayoutMode layout, const PaneModes& modes, int channelCount,
                       const Rect& fullScreenPicture) {
    const bool hasRear = channelCount >= 2;
    PanePlaces places;
    places.map = {Collapsed(kSmallSlot), true};
    if (layout == LayoutMode::FullScreen) {
        places.front = {fullScreenPicture, modes.front == PaneMode::Large};
        places.rear = {fullScreenPicture, hasRear && modes.rear == PaneMode::Large};
        return places;
    }
    places.front = PlaceInSlot(modes.front, kLargeSlot);
    places.rear = PlaceInSlot(hasRear ? modes.rear : PaneMode::Hidden, kSmallSlot);
    if (modes.map != PaneMode::Hidden)
        places.map = PlaceInSlot(modes.map, kSmallSlot);
    // The map lies over a picture in its slot: nothing of that picture would be seen.
    for (PanePlace* picture : {&places.front, &places.rear}) {
        if (places.map.rect.w > 0 && picture->rect == places.map.rect)
            picture->visible = false;
    }
    return places;
}

PaneModes PanesForNewRecording(int channelCount) {
    return {PaneMode::Large, channelCount >= 2 ? PaneMode::Small : PaneMode::Hidden,
            PaneMode::Hidden};
}

PaneModes ToggleMapSize(const PaneModes& modes, int channelCount) {
    PaneModes next = modes;
    if (channelCount >= 2) {
        // The map moves to the other slot; the video in that slot takes the one it leaves.
        const bool mapWasLarge = modes.map == PaneMode::Large;
        next.map = mapWasLarge ? PaneMode::Small : PaneMode::Large;
        const PaneMode freed = mapWasLarge ? PaneMode::Large : PaneMode::Small;
        if (modes.front == next.map) {
            next.front = freed;
            next.rear = PaneMode::Hidden;
        } else if (modes.rear == next.map) {
            next.rear = freed;
            next.front = PaneMode::Hidden;
        }
    } else if (channelCount == 1) {
        if (modes.map == PaneMode::Large) {
            next.front = PaneMode::Large;
            next.map = PaneMode::Small;
        } else {
            next.front = PaneMode::Small;
            next.map = PaneMode::Large;
            next.rear = PaneMode::Hidden;
        }
    }
    return next;
}

int MapSizeCaptionId(PaneMode mapMode) {
    return mapMode == PaneMode::Large ? 614 : 616;
}
