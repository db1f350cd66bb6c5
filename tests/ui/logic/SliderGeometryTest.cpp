#include "ui/logic/SliderGeometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Range 0..100 on a 200-pixel channel with a 10-pixel thumb.
SliderGeometry Channel200() {
    SliderGeometry g;
    g.SetWidths(200, 10);
    return g;
}

} // namespace

TEST(SliderGeometry, PixelsAndPositionsOf200PixelChannel) {
    const SliderGeometry g = Channel200();
    EXPECT_EQ(g.PixelOf(0), 5);
    EXPECT_EQ(g.PixelOf(50), 100);
    EXPECT_EQ(g.PixelOf(100), 195);
    EXPECT_EQ(g.PositionOf(100), 50);
    EXPECT_EQ(g.PositionOf(6), 0); // truncated, not rounded
    EXPECT_EQ(g.PositionOf(195), 100);
}

TEST(SliderGeometry, SetPosClampsButRangeChangesDoNot) {
    SliderGeometry g = Channel200();
    g.SetPos(80);
    g.SetRangeMax(50);
    EXPECT_EQ(g.Pos(), 80);
    g.SetPos(g.Pos());
    EXPECT_EQ(g.Pos(), 50);
    g.SetPos(-7);
    EXPECT_EQ(g.Pos(), 0);
    EXPECT_EQ(g.SetPageSize(25), 20);
}

TEST(SliderGeometry, Keys) {
    using K = SliderGeometry::Key;
    struct Case {
        const char* name;
        int from;
        K key;
        int to;
    };
    // Volume slider: range 0..99, page 25.
    const Case cases[] = {
        {"page down past the end", 90, K::PageDown, 99},
        {"page down", 10, K::PageDown, 35},
        {"page up past the start", 10, K::PageUp, 0},
        {"home", 50, K::Home, 0},
        {"end", 50, K::End, 99},
        {"right", 50, K::Right, 51},
        {"down", 50, K::Down, 51},
        {"left", 50, K::Left, 49},
        {"up", 50, K::Up, 49},
        {"right at the end", 99, K::Right, 99},
        {"left at the start", 0, K::Left, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SliderGeometry g = Channel200();
        g.SetRangeMax(99);
        g.SetPageSize(25);
        g.SetPos(c.from);
        g.ApplyKey(c.key);
        EXPECT_EQ(g.Pos(), c.to);
    }
}

TEST(SliderGeometry, PressOnThumbKeepsItDragPastEndsClamps) {
    SliderGeometry g = Channel200();
    g.SetPos(50); // thumb centre 100, thumb 95..104
    const int offset = g.PressOffset(103);
    EXPECT_EQ(offset, 3);
    EXPECT_TRUE(!g.DragTo(103, offset));
    EXPECT_EQ(g.Pos(), 50);

    EXPECT_EQ(g.PressOffset(150), 0); // on the channel: the thumb jumps
    EXPECT_TRUE(g.DragTo(150, 0));
    EXPECT_EQ(g.Pos(), 76); // trunc(145 / 190 * 100)

    EXPECT_TRUE(g.DragTo(-500, offset));
    EXPECT_EQ(g.Pos(), 0);
    EXPECT_TRUE(!g.DragTo(-900, offset)); // already at the first pixel
    EXPECT_TRUE(g.DragTo(5000, offset));
    EXPECT_EQ(g.Pos(), 100);
}

TEST(SliderGeometry, NegativeRangeTruncatesTowardZero) {
    SliderGeometry g;
    g.SetWidths(110, 10); // one pixel per step
    g.SetRangeMin(-5);
    g.SetRangeMax(5);
    EXPECT_EQ(g.PixelOf(-5), 5);
    EXPECT_EQ(g.PixelOf(5), 105);
    EXPECT_EQ(g.PositionOf(5), -5);
    EXPECT_EQ(g.PositionOf(10), -4);
    EXPECT_EQ(g.PositionOf(55), 0);
    EXPECT_EQ(g.PositionOf(105), 5);
}

// No room to move in: nothing divides by zero and the thumb stays at the left end.
TEST(SliderGeometry, EmptyRangeOrNarrowChannelStaysAtStart) {
    SliderGeometry g = Channel200();
    g.SetRangeMax(0);
    g.SetPos(0);
    EXPECT_EQ(g.PixelOf(0), 5);
    EXPECT_EQ(g.PositionOf(150), 0);
    g.DragTo(150, 0);
    EXPECT_EQ(g.Pos(), 0);

    SliderGeometry narrow;
    narrow.SetWidths(8, 10);
    EXPECT_EQ(narrow.PixelOf(100), 5);
    EXPECT_EQ(narrow.PositionOf(7), 0);
    EXPECT_EQ(narrow.ClampCentre(100), 5);
}

TEST(SliderGeometry, ExtremeValuesDoNotOverflow) {
    SliderGeometry g = Channel200();
    g.SetRangeMin(std::numeric_limits<int>::min());
    g.SetRangeMax(std::numeric_limits<int>::max());
    g.SetPageSize(std::numeric_limits<int>::max());
    g.SetPos(std::numeric_limits<int>::min() + 1);
    g.ApplyKey(SliderGeometry::Key::PageUp);
    EXPECT_EQ(g.Pos(), std::numeric_limits<int>::min());
    g.ApplyKey(SliderGeometry::Key::PageDown);
    g.ApplyKey(SliderGeometry::Key::PageDown);
    g.ApplyKey(SliderGeometry::Key::PageDown);
    EXPECT_EQ(g.Pos(), std::numeric_limits<int>::max());
    EXPECT_EQ(g.PixelOf(g.Pos()), 195);
    EXPECT_EQ(g.PositionOf(5), std::numeric_limits<int>::min());
}
