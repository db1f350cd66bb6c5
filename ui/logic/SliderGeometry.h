#pragma once

#include "SliderMarker.h"

#include <span>

// Position and pixel arithmetic of a horizontal bitmap slider, without any toolkit.
//
// The slider's channel is `width` pixels wide and its thumb `thumbWidth` pixels wide; the
// thumb centre runs from thumbWidth / 2 to width - thumbWidth / 2. Positions are integers in
// [rangeMin, rangeMax]. All x values are pixels from the channel's left edge.
//
// Conversions go through floating point and truncate toward zero, so that a position and the
// pixel of its thumb centre match what the slider has always drawn: on a 200-pixel channel
// with a 10-pixel thumb and range 0..100, PixelOf(0) = 5, PixelOf(50) = 100, PixelOf(100) =
// 195, PositionOf(100) = 50 and PositionOf(6) = 0.
//
// An empty range (rangeMax <= rangeMin) or a channel no wider than the thumb has no room to
// move in: the thumb then sits at the left end and every pixel maps to rangeMin.
//
// Plain value type; not thread-safe (the slider uses it on the GUI thread only).
class SliderGeometry {
public:
    // Keys that move the position (see ApplyKey).
    enum class Key { PageUp, PageDown, Home, End, Left, Right, Up, Down };

    // Bounds are stored as given; neither moves the position (the next SetPos clamps it).
    void SetRangeMin(int value) { rangeMin_ = value; }
    void SetRangeMax(int value) { rangeMax_ = value; }
    int RangeMin() const { return rangeMin_; }
    int RangeMax() const { return rangeMax_; }

    // Stores value lowered to rangeMax, then raised to rangeMin.
    void SetPos(int value);
    int Pos() const { return pos_; }

    // Step of Page Up / Page Down; returns the previous step.
    int SetPageSize(int value);
    int PageSize() const { return pageSize_; }

    // Drawing width of the channel and width of the thumb, in pixels.
    void SetWidths(int width, int thumbWidth);
    int Width() const { return width_; }
    int ThumbWidth() const { return thumbWidth_; }

    // Thumb centre of position p (p need not lie in the range).
    int PixelOf(int p) const;
    // Position whose thumb centre is x, not clamped to the range.
    int PositionOf(int x) const;
    // Left edge of the thumb at the current position.
    int ThumbLeft() const { return PixelOf(pos_) - thumbWidth_ / 2; }

    // x limited to the thumb centre's travel [thumbWidth / 2, width - thumbWidth / 2].
    int ClampCentre(int x) const;

    // Whether pointer x lies on the thumb (within thumbWidth / 2 of its centre).
    bool OnThumb(int pointerX) const;

    // Drag offset for a press at pointer x: the distance to the thumb centre when the press
    // hit the thumb, else 0 (the thumb will jump under the pointer).
    int PressOffset(int pointerX) const;

    // The index of the mark whose pixel (PixelOf its position) lies nearest pointer x, at most
    // slack pixels away; marks outside the range do not count; the first of equally near
    // ones; -1 for none.
    int MarkerAt(std::span<const SliderMarker> markers, int pointerX, int slack) const;

    // Moves the thumb centre to pointerX - dragOffset, limited to the travel. Returns true
    // when that centre differs from the current thumb centre; the position then becomes
    // PositionOf(centre), clamped to the range.
    bool DragTo(int pointerX, int dragOffset);

    // Sets the position a key leads to (clamped to the range).
    void ApplyKey(Key key);

private:
    bool HasTravel() const { return rangeMax_ > rangeMin_ && width_ > thumbWidth_; }

    int rangeMin_ = 0;
    int rangeMax_ = 100;
    int pos_ = 0;
    int pageSize_ = 20;
    int width_ = 0;
    int thumbWidth_ = 0;
};
