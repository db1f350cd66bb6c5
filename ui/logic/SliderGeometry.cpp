#include "SliderGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

// Truncates toward zero and saturates to the int range.
int TruncToInt(double value) {
    const double t = std::trunc(value);
    if (t >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (t <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(t);
}

int SaturateToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

} // namespace

void SliderGeometry::SetPos(int value) {
    if (value > rangeMax_) {
        value = rangeMax_;
    }
    if (value < rangeMin_) {
        value = rangeMin_;
    }
    pos_ = value;
}

int SliderGeometry::SetPageSize(int value) {
    const int previous = pageSize_;
    pageSize_ = value;
    return previous;
}

void SliderGeometry::SetWidths(int width, int thumbWidth) {
    width_ = width;
    thumbWidth_ = thumbWidth;
}

int SliderGeometry::PixelOf(int p) const {
    if (!HasTravel()) {
        return thumbWidth_ / 2;
    }
    const double span = static_cast<double>(rangeMax_) - static_cast<double>(rangeMin_);
    const double offset = static_cast<double>(p) - static_cast<double>(rangeMin_);
    return SaturateToInt(static_cast<int64_t>(TruncToInt(offset / span * (width_ - thumbWidth_))) +
                         thumbWidth_ / 2);
}

int SliderGeometry::PositionOf(int x) const {
    if (!HasTravel()) {
        return rangeMin_;
    }
    const double span = static_cast<double>(rangeMax_) - static_cast<double>(rangeMin_);
    const double travel = static_cast<double>(x) - thumbWidth_ / 2;
    return TruncToInt(travel / (width_ - thumbWidth_) * span + rangeMin_);
}

int SliderGeometry::ClampCentre(int x) const {
    const int low = thumbWidth_ / 2;
    const int high = std::max(low, width_ - thumbWidth_ / 2);
    return std::clamp(x, low, high);
}

bool SliderGeometry::OnThumb(int pointerX) const {
    return std::llabs(static_cast<int64_t>(pointerX) - PixelOf(pos_)) <= thumbWidth_ / 2;
}

int SliderGeometry::PressOffset(int pointerX) const {
    return OnThumb(pointerX) ? static_cast<int>(static_cast<int64_t>(pointerX) - PixelOf(pos_)) : 0;
}

int SliderGeometry::MarkerAt(std::span<const SliderMarker> markers, int pointerX, int slack) const {
    int found = -1;
    int64_t nearest = static_cast<int64_t>(slack) + 1;
    for (size_t i = 0; i < markers.size(); ++i) {
        const int position = markers[i].position;
        if (position < rangeMin_ || position > rangeMax_)
            continue;
        const int64_t d = std::llabs(static_cast<int64_t>(pointerX) - PixelOf(position));
        if (d < nearest) {
            nearest = d;
            found = static_cast<int>(i);
        }
    }
    return found;
}

bool SliderGeometry::DragTo(int pointerX, int dragOffset) {
    const int x = ClampCentre(SaturateToInt(static_cast<int64_t>(pointerX) - dragOffset));
    if (x == PixelOf(pos_)) {
        return false;
    }
    SetPos(PositionOf(x));
    return true;
}

void SliderGeometry::ApplyKey(Key key) {
    int64_t target = pos_;
    switch (key) {
    case Key::PageUp:
        target -= pageSize_;
        break;
    case Key::PageDown:
        target += pageSize_;
        break;
    case Key::Home:
        target = rangeMin_;
        break;
    case Key::End:
        target = rangeMax_;
        break;
    case Key::Left:
    case Key::Up:
        target -= 1;
        break;
    case Key::Right:
    case Key::Down:
        target += 1;
        break;
    }
    SetPos(SaturateToInt(target));
}
