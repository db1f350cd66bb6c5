#include "CameraGrid.h"

#include <algorithm>

namespace cameragrid {

namespace {

constexpr Rect Collapsed(const Rect& slot) {
    return {slot.x, slot.y, 0, 0};
}

// The largest 16:9 rectangle inside `area`, centred in it.
Rect Fit169(const Rect& area) {
    int w = std::max(area.w, 0);
    int h = w * 9 / 16;
    if (h > area.h) {
        h = std::max(area.h, 0);
        w = h * 16 / 9;
    }
    return {area.x + (area.w - w) / 2, area.y + (area.h - h) / 2, w, h};
}

} // namespace

Shape ShapeFor(int cameras) {
    if (cameras < 3)
        return {};
    return cameras <= 4 ? Shape{2, 2} : Shape{3, 2};
}

Rect Cell(const Rect& area, Shape shape, int column, int row) {
    if (shape.columns <= 0 || shape.rows <= 0)
        return Collapsed(area);
    int w = std::max(area.w, 0) / shape.columns;
    int h = w * 9 / 16;
    if (h * shape.rows > std::max(area.h, 0)) {
        h = std::max(area.h, 0) / shape.rows;
        w = h * 16 / 9;
    }
    const int left = area.x + (area.w - w * shape.columns) / 2;
    const int top = area.y + (area.h - h * shape.rows) / 2;
    return {left + column * w, top + row * h, w, h};
}

Places Layout(LayoutMode layout, int cameras, int main, PaneMode map,
              const Rect& fullScreenPicture) {
    Places places;
    if (cameras < 3)
        return places;
    cameras = std::min(cameras, kMaxCameras);
    if (main < 0 || main >= cameras)
        main = 0;
    const Shape shape = ShapeFor(cameras);
    places.cameras.resize(static_cast<size_t>(cameras));
    places.map = {Collapsed(kSmallSlot), true};

    Rect large = kLargeSlot;
    Rect gridArea = kSmallSlot;
    const bool mapLarge = layout == LayoutMode::Normal && map == PaneMode::Large;
    if (layout == LayoutMode::FullScreen) {
        const Rect& p = fullScreenPicture;
        const int upper = p.h * 2 / 3;
        large = Fit169({p.x, p.y, p.w, upper});
        gridArea = {p.x, p.y + upper, p.w, p.h - upper};
    }
    // The cells in reading order: the cameras that are not large, in channel order, then the
    // map where it shows small.
    int cell = 0;
    const auto nextCell = [&] {
        const Rect r = Cell(gridArea, shape, cell % shape.columns, cell / shape.columns);
        ++cell;
        return r;
    };
    for (int c = 0; c < cameras; ++c) {
        if (c == main && !mapLarge)
            places.cameras[static_cast<size_t>(c)] = {large, true};
        else
            places.cameras[static_cast<size_t>(c)] = {nextCell(), true};
    }
    if (layout == LayoutMode::Normal) {
        if (mapLarge)
            places.map = {kLargeSlot, true};
        else if (map == PaneMode::Small && cell < shape.columns * shape.rows)
            places.map = {nextCell(), true};
    }
    return places;
}

std::vector<std::string> CameraWords(const std::vector<std::string>& listed, int cameras) {
    std::vector<std::string> words;
    for (int c = 0; c < cameras; ++c) {
        const auto k = static_cast<size_t>(c);
        if (k < listed.size() && !listed[k].empty())
            words.push_back(listed[k]);
        else if (c == 0)
            words.emplace_back("front");
        else if (c == 1)
            words.emplace_back("rear");
        else
            words.push_back("camera" + std::to_string(c + 1));
    }
    return words;
}

int ChannelOfWord(const std::vector<std::string>& words, const std::string& word) {
    const auto found = std::find(words.begin(), words.end(), word);
    return found == words.end() ? -1 : static_cast<int>(found - words.begin());
}

} // namespace cameragrid
