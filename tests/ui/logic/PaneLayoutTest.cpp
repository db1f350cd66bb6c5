#include "ui/logic/PaneLayout.h"

#include "ui/logic/Language.h"

#include <gtest/gtest.h>

namespace {

using enum PaneMode;

constexpr Rect kPicture{320, 134, 1280, 720};
constexpr PanePlace kCollapsedMap{{650, 268, 0, 0}, true};

PanePlaces Normal(PaneModes modes, int channels = 2) {
    return LayoutPanes(LayoutMode::Normal, modes, channels, kPicture);
}

PanePlaces Full(PaneModes modes, int channels = 2) {
    return LayoutPanes(LayoutMode::FullScreen, modes, channels, kPicture);
}

} // namespace

TEST(PaneLayoutTest, NormalLayoutPutsPanesInTheirSlots) {
    const PanePlaces places = Normal({Large, Small, Hidden});
    EXPECT_EQ(places.front, (PanePlace{kLargeSlot, true}));
    EXPECT_EQ(places.rear, (PanePlace{kSmallSlot, true}));
    EXPECT_EQ(places.map, kCollapsedMap);

    const PanePlaces swapped = Normal({Small, Hidden, Large});
    EXPECT_EQ(swapped.front, (PanePlace{kSmallSlot, true}));
    EXPECT_FALSE(swapped.rear.visible);
    EXPECT_EQ(swapped.map, (PanePlace{kLargeSlot, true}));

    // The map over the rear picture: the picture keeps its place, unseen.
    const PanePlaces covered = Normal({Large, Small, Small});
    EXPECT_EQ(covered.map, (PanePlace{kSmallSlot, true}));
    EXPECT_EQ(covered.rear, (PanePlace{kSmallSlot, false}));
    EXPECT_EQ(covered.front, (PanePlace{kLargeSlot, true}));
    const PanePlaces idle = Normal({Hidden, Hidden, Hidden});
    EXPECT_FALSE(idle.front.visible);
    EXPECT_FALSE(idle.rear.visible);
    EXPECT_EQ(idle.map, kCollapsedMap);
}

TEST(PaneLayoutTest, OneChannelHidesTheRearInEveryLayout) {
    for (const PaneMode rear : {Hidden, Large, Small}) {
        EXPECT_FALSE(Normal({Large, rear, Small}, 1).rear.visible);
        EXPECT_FALSE(Full({Large, rear, Small}, 1).rear.visible);
        EXPECT_FALSE(Full({Hidden, rear, Hidden}, 0).rear.visible);
    }
    EXPECT_TRUE(Normal({Large, Hidden, Hidden}, 1).front.visible);
}

TEST(PaneLayoutTest, FullScreenShowsOnlyLargeVideosAndCollapsesTheMap) {
    const PanePlaces front = Full({Large, Small, Large});
    EXPECT_EQ(front.front, (PanePlace{kPicture, true}));
    EXPECT_EQ(front.rear, (PanePlace{kPicture, false}));
    EXPECT_EQ(front.map, kCollapsedMap);

    const PanePlaces rear = Full({Hidden, Large, Small});
    EXPECT_FALSE(rear.front.visible);
    EXPECT_EQ(rear.rear, (PanePlace{kPicture, true}));
    EXPECT_EQ(rear.map, kCollapsedMap);

    EXPECT_FALSE(Full({Small, Hidden, Large}).front.visible);
}

TEST(PaneLayoutTest, MapSizeButtonSwapsTheMapWithAVideo) {
    // Two channels: the first press hides the other video.
    PaneModes modes = PanesForNewRecording(2);
    EXPECT_EQ(modes, (PaneModes{Large, Small, Hidden}));
    modes = ToggleMapSize(modes, 2);
    EXPECT_EQ(modes, (PaneModes{Small, Hidden, Large}));
    modes = ToggleMapSize(modes, 2);
    EXPECT_EQ(modes, (PaneModes{Large, Hidden, Small}));
    EXPECT_EQ(ToggleMapSize({Hidden, Large, Small}, 2), (PaneModes{Hidden, Small, Large}));
    EXPECT_EQ(ToggleMapSize({Hidden, Small, Large}, 2), (PaneModes{Hidden, Large, Small}));

    // One channel.
    modes = PanesForNewRecording(1);
    EXPECT_EQ(modes, (PaneModes{Large, Hidden, Hidden}));
    modes = ToggleMapSize(modes, 1);
    EXPECT_EQ(modes, (PaneModes{Small, Hidden, Large}));
    EXPECT_EQ(ToggleMapSize(modes, 1), (PaneModes{Large, Hidden, Small}));

    // Nothing open.
    EXPECT_EQ(ToggleMapSize({Hidden, Hidden, Hidden}, 0), (PaneModes{Hidden, Hidden, Hidden}));
}

TEST(PaneLayoutTest, MapSizeCaptionSaysWhatThePressDoes) {
    EXPECT_EQ(PickText(MapSizeCaptionId(Large), kLanguageKorean), "지도 작게보기");
    EXPECT_EQ(PickText(MapSizeCaptionId(Small), kLanguageKorean), "지도 크게보기");
    EXPECT_EQ(PickText(MapSizeCaptionId(Hidden), kLanguageKorean), "지도 크게보기");
    EXPECT_EQ(PickText(MapSizeCaptionId(Large), kLanguageEnglish), "Smaller map");
    EXPECT_EQ(PickText(MapSizeCaptionId(Small), kLanguageEnglish), "Larger map");
}
