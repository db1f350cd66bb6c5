#pragma once

#include "MainLayout.h"
#include "PaneLayout.h"

#include <string>
#include <vector>

// Where the pictures of a recording with more than two cameras go (a car's built-in cameras:
// front, back, repeaters, pillars): the main camera large, the others small in a grid of
// columns × rows (2 × 2 for three or four cameras, 3 × 2 for five or six), and the map in the
// grid's next free cell once it shows. One- and two-camera recordings keep the panes of
// PaneLayout.h.
//
// Normal layout: the main camera takes the large slot (kLargeSlot), the grid the small slot
// (kSmallSlot), its cells 16:9 and the grid centred in the slot; a large map takes the large
// slot and every camera a cell. Full screen: the main camera takes the upper two thirds of the
// full-screen picture (FullScreenPicture), 16:9 and centred, the grid the lower third below
// it, its cells 16:9; the map stays collapsed as in the two-camera layout.
//
// Rectangles in pixels of the window's client area. Plain functions of their arguments; any
// thread.
namespace cameragrid {

inline constexpr int kMaxCameras = 6;

// More than two cameras: the grid's layout applies.
constexpr bool UsesGrid(int cameras) {
    return cameras > 2;
}

struct Shape {
    int columns = 0;
    int rows = 0;
    bool operator==(const Shape&) const = default;
};

// 2 × 2 for three or four cameras, 3 × 2 for five or six (more count as six); 0 × 0 below
// three.
Shape ShapeFor(int cameras);

struct Places {
    std::vector<PanePlace> cameras; // one per camera, in channel order
    PanePlace map;                  // a hidden map is collapsed at the small slot's corner
    bool operator==(const Places&) const = default;
};

// The places of `cameras` pictures (3 … kMaxCameras; fewer give no places, more count as
// kMaxCameras) with `main` (0-based; out of range counts as 0) large. map: Hidden until the
// first fix, Small in the grid's free cell, Large in the large slot (normal layout only).
Places Layout(LayoutMode layout, int cameras, int main, PaneMode map,
              const Rect& fullScreenPicture);

// The cell (c, r) of a grid of `shape` laid over `area`: 16:9 cells as wide as the columns
// allow, or as high as the rows allow when that is smaller, the grid centred in the area.
Rect Cell(const Rect& area, Shape shape, int column, int row);

// The words naming the cameras, in channel order, `cameras` of them: those the source listed,
// then, where it listed none or too few, "front" and "rear" for channels 0 and 1 and
// "camera<N>" (N = channel + 1) for the others.
std::vector<std::string> CameraWords(const std::vector<std::string>& listed, int cameras);

// The channel of a word among the words; -1 when it is not there.
int ChannelOfWord(const std::vector<std::string>& words, const std::string& word);

} // namespace cameragrid
