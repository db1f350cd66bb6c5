// The span of an incident clip: the marks as the keys set them, and the defaults without them.
#include "ui/logic/ClipMarks.h"

#include <gtest/gtest.h>

TEST(ClipMarksTest, MarksReadAsASpanInEitherOrderAndStayOnTheLine) {
    ClipMarks marks;
    marks.MarkStart(50000);
    // One mark: the other end of the line.
    EXPECT_EQ(marks.Span(0, 120000, std::nullopt), (ClipSpan{50000, 120000}));
    marks.MarkEnd(20000); // before the start: the two swap
    EXPECT_EQ(*marks.Start(), 20000);
    EXPECT_EQ(*marks.End(), 50000);
    EXPECT_EQ(marks.Span(0, 120000, 60000), (ClipSpan{20000, 50000})) << "marks beat defaults";
    marks.MarkStart(90000); // after the end
    EXPECT_EQ(marks.Span(0, 120000, std::nullopt), (ClipSpan{50000, 90000}));
    // A line shorter than a mark (another recording opened): kept within it.
    EXPECT_EQ(marks.Span(0, 60000, std::nullopt), (ClipSpan{50000, 60000}));
    marks.Clear();
    EXPECT_FALSE(marks.Start());
    EXPECT_FALSE(marks.End());
}

TEST(ClipMarksTest, WithoutMarksTheClipLiesAroundTheEventOrTheTimePlayed) {
    const ClipMarks none;
    // An event recording starting 40 s into a drive: 30 s before to 10 s after it.
    EXPECT_EQ(none.Span(70000, 180000, 40000), (ClipSpan{10000, 50000}));
    // Near the start of the line the clip is cut there.
    EXPECT_EQ(none.Span(5000, 180000, 12000), (ClipSpan{0, 22000}));
    // Other recordings: 20 s either side of the time played, within the line.
    EXPECT_EQ(none.Span(70000, 180000, std::nullopt), (ClipSpan{50000, 90000}));
    EXPECT_EQ(none.Span(175000, 180000, std::nullopt), (ClipSpan{155000, 180000}));
    // The lengths are settings.
    EXPECT_EQ(none.Span(70000, 180000, 40000, ClipDefaults{5000, 5000, 1000}),
              (ClipSpan{35000, 45000}));
    EXPECT_EQ(none.Span(0, 0, std::nullopt), (ClipSpan{0, 0}));
}
