// The grid of a recording with more than two cameras: its shape, where the main camera and the
// others go in the normal layout and in full screen, the map's cell, and the cameras' words.
#include "ui/logic/CameraGrid.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

using cameragrid::Layout;
using cameragrid::Places;
using cameragrid::Shape;

bool Inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

bool Overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Every visible pane pair apart, every pane inside `area`.
void ExpectApartAndInside(const Places& places, const Rect& area) {
    std::vector<Rect> rects;
    for (const PanePlace& place : places.cameras) {
        EXPECT_TRUE(place.visible);
        EXPECT_GT(place.rect.w, 0);
        rects.push_back(place.rect);
    }
    if (places.map.rect.w > 0)
        rects.push_back(places.map.rect);
    for (size_t a = 0; a < rects.size(); ++a) {
        EXPECT_TRUE(Inside(rects[a], area)) << a;
        for (size_t b = a + 1; b < rects.size(); ++b)
            EXPECT_FALSE(Overlap(rects[a], rects[b])) << a << " " << b;
    }
}

} // namespace

TEST(CameraGridTest, ShapeByCameraCount) {
    EXPECT_EQ(cameragrid::ShapeFor(2), (Shape{}));
    EXPECT_EQ(cameragrid::ShapeFor(3), (Shape{2, 2}));
    EXPECT_EQ(cameragrid::ShapeFor(4), (Shape{2, 2}));
    EXPECT_EQ(cameragrid::ShapeFor(5), (Shape{3, 2}));
    EXPECT_EQ(cameragrid::ShapeFor(6), (Shape{3, 2}));
    EXPECT_FALSE(cameragrid::UsesGrid(2));
    EXPECT_TRUE(cameragrid::UsesGrid(3));
    EXPECT_TRUE(Layout(LayoutMode::Normal, 2, 0, PaneMode::Hidden, {}).cameras.empty())
        << "two cameras keep the pane layout";
}

TEST(CameraGridTest, NormalLayoutPutsTheMainCameraLargeAndTheOthersInTheSmallSlotsGrid) {
    const Rect fullScreen{0, 29, 1280, 720};
    // Six cameras, the left repeater (2) main: 3 x 2 cells of 106 x 59 centred in 320 x 180.
    const Places six = Layout(LayoutMode::Normal, 6, 2, PaneMode::Hidden, fullScreen);
    ASSERT_EQ(six.cameras.size(), 6u);
    EXPECT_EQ(six.cameras[2].rect, kLargeSlot);
    const int top = kSmallSlot.y + (180 - 2 * 59) / 2;
    const int left = kSmallSlot.x + (320 - 3 * 106) / 2;
    EXPECT_EQ(six.cameras[0].rect, (Rect{left, top, 106, 59}));
    EXPECT_EQ(six.cameras[1].rect, (Rect{left + 106, top, 106, 59}));
    EXPECT_EQ(six.cameras[3].rect, (Rect{left + 212, top, 106, 59})) << "the main one is skipped";
    EXPECT_EQ(six.cameras[4].rect, (Rect{left, top + 59, 106, 59}));
    EXPECT_EQ(six.cameras[5].rect, (Rect{left + 106, top + 59, 106, 59}));
    EXPECT_EQ(six.map.rect.w, 0) << "no map before the first fix";
    ExpectApartAndInside(six, Rect{0, 0, kBackgroundWidth, kBackgroundHeight});

    // Four cameras: 2 x 2 cells of 160 x 90 filling the small slot; the map in the free cell.
    const Places four = Layout(LayoutMode::Normal, 4, 0, PaneMode::Small, fullScreen);
    EXPECT_EQ(four.cameras[0].rect, kLargeSlot);
    EXPECT_EQ(four.cameras[1].rect, (Rect{650, 268, 160, 90}));
    EXPECT_EQ(four.cameras[2].rect, (Rect{810, 268, 160, 90}));
    EXPECT_EQ(four.cameras[3].rect, (Rect{650, 358, 160, 90}));
    EXPECT_EQ(four.map, (PanePlace{Rect{810, 358, 160, 90}, true}));
    ExpectApartAndInside(four, Rect{0, 0, kBackgroundWidth, kBackgroundHeight});

    // Three and five cameras leave a cell free for the map as well.
    for (const int cameras : {3, 5}) {
        const Places places =
            Layout(LayoutMode::Normal, cameras, cameras - 1, PaneMode::Small, fullScreen);
        EXPECT_EQ(places.cameras[static_cast<size_t>(cameras - 1)].rect, kLargeSlot);
        EXPECT_TRUE(Inside(places.map.rect, kSmallSlot)) << cameras;
        ExpectApartAndInside(places, Rect{0, 0, kBackgroundWidth, kBackgroundHeight});
    }

    // A large map takes the large slot and every camera a cell.
    const Places mapLarge = Layout(LayoutMode::Normal, 6, 2, PaneMode::Large, fullScreen);
    EXPECT_EQ(mapLarge.map, (PanePlace{kLargeSlot, true}));
    for (const PanePlace& place : mapLarge.cameras)
        EXPECT_TRUE(Inside(place.rect, kSmallSlot));
    ExpectApartAndInside(mapLarge, Rect{0, 0, kBackgroundWidth, kBackgroundHeight});

    // A main camera the recording lacks counts as the front.
    EXPECT_EQ(Layout(LayoutMode::Normal, 3, 5, PaneMode::Hidden, fullScreen).cameras[0].rect,
              kLargeSlot);
}

TEST(CameraGridTest, FullScreenPutsTheMainCameraAboveTheGrid) {
    for (const auto& [picture, cameras] :
         {std::tuple{Rect{320, 155, 1280, 720}, 6}, std::tuple{Rect{320, 155, 1280, 720}, 3},
          std::tuple{Rect{0, 29, 1024, 659}, 5}, std::tuple{Rect{0, 29, 1024, 659}, 4}}) {
        const Places places = Layout(LayoutMode::FullScreen, cameras, 1, PaneMode::Small, picture);
        ASSERT_EQ(places.cameras.size(), static_cast<size_t>(cameras));
        const Rect main = places.cameras[1].rect;
        // 16:9, as high as two thirds of the picture allow, centred.
        EXPECT_EQ(main.h, picture.h * 2 / 3) << cameras;
        EXPECT_NEAR(main.w, main.h * 16 / 9, 1) << cameras;
        EXPECT_EQ(main.y, picture.y);
        EXPECT_NEAR(main.x + main.w / 2, picture.x + picture.w / 2, 1);
        const Shape shape = cameragrid::ShapeFor(cameras);
        std::set<int> rows;
        for (int c = 0; c < cameras; ++c) {
            if (c == 1)
                continue;
            const Rect cell = places.cameras[static_cast<size_t>(c)].rect;
            EXPECT_GE(cell.y, main.y + main.h) << "below the main camera";
            EXPECT_LT(cell.w, main.w);
            rows.insert(cell.y);
        }
        EXPECT_LE(static_cast<int>(rows.size()), shape.rows);
        EXPECT_EQ(places.map.rect.w, 0) << "the map stays collapsed in full screen";
        ExpectApartAndInside(places, picture);
    }
    // A picture area of nothing gives empty panes, never negative ones.
    const Places none = Layout(LayoutMode::FullScreen, 6, 0, PaneMode::Hidden, Rect{0, 29, 0, 0});
    for (const PanePlace& place : none.cameras) {
        EXPECT_GE(place.rect.w, 0);
        EXPECT_GE(place.rect.h, 0);
    }
}

TEST(CameraGridTest, CameraWordsFillInWhatTheSourceDidNotList) {
    EXPECT_EQ(cameragrid::CameraWords({}, 2), (std::vector<std::string>{"front", "rear"}));
    EXPECT_EQ(cameragrid::CameraWords({}, 3),
              (std::vector<std::string>{"front", "rear", "camera3"}));
    const std::vector<std::string> car = {"front", "back", "left_repeater", "right_repeater"};
    EXPECT_EQ(cameragrid::CameraWords(car, 4), car);
    EXPECT_EQ(cameragrid::CameraWords(car, 5).back(), "camera5");
    EXPECT_EQ(cameragrid::CameraWords(car, 2), (std::vector<std::string>{"front", "back"}));
    EXPECT_EQ(cameragrid::ChannelOfWord(car, "right_repeater"), 3);
    EXPECT_EQ(cameragrid::ChannelOfWord(car, "left_pillar"), -1);
}
