#include "ui/logic/MainLayout.h"

#include <gtest/gtest.h>
#include <set>

namespace {

Rect RectOf(LayoutMode mode, int id, int w = 1920, int h = 1040) {
    const auto placement = FindPlacement(mode, id, w, h);
    return placement && placement->rect ? *placement->rect : Rect{-1, -1, -1, -1};
}

Visibility VisibilityOf(LayoutMode mode, int id) {
    const auto placement = FindPlacement(mode, id, 1920, 1040);
    return placement ? placement->visibility : Visibility::Keep;
}

} // namespace

TEST(MainLayoutTest, NormalLayoutPlacesTheControls) {
    using namespace ControlId;
    const LayoutMode normal = LayoutMode::Normal;
    EXPECT_EQ(RectOf(normal, Graph), (Rect{30, 520, 760, 104}));
    EXPECT_EQ(RectOf(normal, Quit), (Rect{946, 5, 25, 25}));
    EXPECT_EQ(RectOf(normal, FilterContinuous), (Rect{650, 38, 65, 24}));
    EXPECT_EQ(RectOf(normal, FilterEvent), (Rect{714, 38, 65, 24}));
    EXPECT_EQ(RectOf(normal, FilterMotion), (Rect{778, 38, 65, 24}));
    EXPECT_EQ(RectOf(normal, FilterManual), (Rect{842, 38, 65, 24}));
    EXPECT_EQ(RectOf(normal, FilterAll), (Rect{906, 38, 65, 24}));
    EXPECT_EQ(RectOf(normal, Play), (Rect{261, 473, 15, 17}));
    EXPECT_EQ(RectOf(normal, Pause), RectOf(normal, Play));
    EXPECT_EQ(RectOf(normal, Volume), (Rect{715, 474, 81, 14}));
    EXPECT_EQ(RectOf(normal, List), kListRect);
    // The client size does not matter in the normal layout.
    EXPECT_EQ(LayoutControls(normal, 100, 100), LayoutControls(normal, 3000, 2000));
}

TEST(MainLayoutTest, FullScreenLayoutFollowsTheClientSize) {
    using namespace ControlId;
    const LayoutMode full = LayoutMode::FullScreen;
    EXPECT_EQ(RectOf(full, Quit), (Rect{1875, 5, 25, 25}));
    EXPECT_EQ(RectOf(full, RestoreSize), (Rect{1827, 5, 25, 25}));
    EXPECT_EQ(RectOf(full, Open), (Rect{1869, 997, 19, 17}));
    EXPECT_EQ(RectOf(full, Play), (Rect{1716, 997, 15, 17}));
    EXPECT_EQ(RectOf(full, Pause), RectOf(full, Play));
    EXPECT_EQ(RectOf(full, Position), (Rect{55, 990, 390, 14}));
    EXPECT_EQ(RectOf(full, Brightness), (Rect{1755, 960, 81, 14}));
    EXPECT_EQ(RectOf(full, Volume), (Rect{1622, 960, 81, 14}));
    EXPECT_EQ(RectOf(full, Speed), (Rect{470, 1015, 60, 12}));
    EXPECT_EQ(RectOf(full, FrontPicture), (Rect{320, 134, 1280, 720}));
    EXPECT_EQ(RectOf(full, RearPicture), (Rect{320, 134, 1280, 720}));
    EXPECT_EQ(RectOf(full, Quit, 1280, 800), (Rect{1235, 5, 25, 25}));
    EXPECT_EQ(RectOf(full, FrontPicture, 1280, 800), (Rect{0, 29, 1280, 691}));
}

TEST(MainLayoutTest, EachLayoutShowsItsOwnButtons) {
    using namespace ControlId;
    const std::set<int> normalOnly = {Settings,     Snapshot,    Zoom,         MapSize,
                                      FullScreen,   FilterEvent, FilterMotion, FilterContinuous,
                                      FilterManual, FilterAll,   Download,     List,
                                      Graph,        TripView,    Clip};
    for (const int id : normalOnly) {
        EXPECT_EQ(VisibilityOf(LayoutMode::Normal, id), Visibility::Show) << id;
        EXPECT_EQ(VisibilityOf(LayoutMode::FullScreen, id), Visibility::Hide) << id;
        EXPECT_FALSE(FindPlacement(LayoutMode::FullScreen, id, 1920, 1040)->rect) << id;
    }
    EXPECT_EQ(VisibilityOf(LayoutMode::Normal, RestoreSize), Visibility::Hide);
    EXPECT_EQ(VisibilityOf(LayoutMode::FullScreen, RestoreSize), Visibility::Show);
    EXPECT_EQ(VisibilityOf(LayoutMode::Normal, Open), Visibility::Show);
    EXPECT_EQ(VisibilityOf(LayoutMode::FullScreen, Open), Visibility::Hide);
    EXPECT_EQ(VisibilityOf(LayoutMode::Normal, SelectAll), Visibility::Show);
    EXPECT_EQ(VisibilityOf(LayoutMode::FullScreen, SelectAll), Visibility::Hide);
    // PLAY and Pause keep their own state across layouts.
    for (const LayoutMode mode : {LayoutMode::Normal, LayoutMode::FullScreen}) {
        EXPECT_EQ(VisibilityOf(mode, Play), Visibility::Keep);
        EXPECT_EQ(VisibilityOf(mode, Pause), Visibility::Keep);
    }
}

TEST(MainLayoutTest, EveryControlAppearsOnceAndFitsTheWindow) {
    for (const LayoutMode mode : {LayoutMode::Normal, LayoutMode::FullScreen}) {
        const int w = mode == LayoutMode::Normal ? kBackgroundWidth : 1280;
        const int h = mode == LayoutMode::Normal ? kBackgroundHeight : 800;
        std::set<int> seen;
        for (const ControlPlacement& placement : LayoutControls(mode, w, h)) {
            EXPECT_TRUE(seen.insert(placement.id).second) << placement.id;
            if (!placement.rect)
                continue;
            const Rect r = *placement.rect;
            EXPECT_GE(r.x, 0) << placement.id;
            EXPECT_GE(r.y, 0) << placement.id;
            EXPECT_LE(r.x + r.w, w) << placement.id;
            EXPECT_LE(r.y + r.h, h) << placement.id;
        }
    }
}

TEST(MainLayoutTest, ThePlayingSpeedSitsInTheTransportBarOfBothLayouts) {
    using namespace ControlId;
    for (const LayoutMode mode : {LayoutMode::Normal, LayoutMode::FullScreen}) {
        EXPECT_EQ(VisibilityOf(mode, PlaySpeed), Visibility::Show);
        const Rect speed = RectOf(mode, PlaySpeed);
        const Rect play = RectOf(mode, Play);
        EXPECT_LT(speed.y, play.y + play.h);
        EXPECT_GT(speed.y + speed.h, play.y);
        // Clear of the controls beside it.
        const int before = mode == LayoutMode::Normal ? Settings : Speed;
        const Rect left = RectOf(mode, before);
        EXPECT_GE(speed.x, left.x + left.w) << static_cast<int>(mode);
        if (mode == LayoutMode::FullScreen)
            EXPECT_LE(speed.x + speed.w, RectOf(mode, Stop).x);
        else
            EXPECT_LE(speed.x + speed.w, RectOf(mode, Mute).x);
    }
}

TEST(MainLayoutTest, TheTripViewToggleSitsBetweenSelectAllAndTheDownloadButton) {
    using namespace ControlId;
    const Rect trips = RectOf(LayoutMode::Normal, TripView);
    const Rect selectAll = RectOf(LayoutMode::Normal, SelectAll);
    const Rect download = RectOf(LayoutMode::Normal, Download);
    EXPECT_EQ(trips.y, selectAll.y);
    EXPECT_EQ(trips.h, selectAll.h);
    EXPECT_GT(trips.x, selectAll.x + selectAll.w);
    EXPECT_LT(trips.x + trips.w, download.x);
    EXPECT_GE(trips.y, kListRect.y + kListRect.h); // under the list, clear of it
}

TEST(MainLayoutTest, TheClipButtonSitsInTheTransportBarBetweenCaptureAndSettings) {
    using namespace ControlId;
    const Rect clip = RectOf(LayoutMode::Normal, Clip);
    const Rect capture = RectOf(LayoutMode::Normal, Snapshot);
    const Rect settings = RectOf(LayoutMode::Normal, Settings);
    EXPECT_GE(clip.x, capture.x + capture.w);
    EXPECT_LE(clip.x + clip.w, settings.x);
    EXPECT_LT(clip.y, capture.y + capture.h);
    EXPECT_GT(clip.y + clip.h, capture.y);
    EXPECT_GE(clip.w, 24); // room for its caption
}

TEST(MainLayoutTest, FullScreenPictureCentresOrFills) {
    EXPECT_EQ(FullScreenPicture(1920, 1040), (Rect{320, 134, 1280, 720}));
    EXPECT_EQ(FullScreenPicture(1280, 800), (Rect{0, 29, 1280, 691}));
    EXPECT_EQ(FullScreenPicture(1280, 829), (Rect{0, 29, 1280, 720}));
    EXPECT_EQ(FullScreenPicture(1279, 1040), (Rect{0, 29, 1279, 931}));
    EXPECT_EQ(FullScreenPicture(2560, 1400), (Rect{640, 314, 1280, 720}));
    // A window smaller than the bars never gets a negative size.
    EXPECT_EQ(FullScreenPicture(200, 100), (Rect{0, 29, 200, 0}));
    EXPECT_EQ(FullScreenPicture(-5, -5), (Rect{0, 29, 0, 0}));
}
