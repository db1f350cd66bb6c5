#include "storage/TripGrouping.h"
#include "storage/CivilTime.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using trips::Item;
using Members = std::vector<std::vector<size_t>>;

constexpr int64_t kMinute = 60000;

Members MembersOf(const std::vector<Item>& items, int64_t gapMs = trips::kDefaultGapMs) {
    Members members;
    for (const trips::Trip& trip : trips::Group(items, gapMs))
        members.push_back(trip.members);
    return members;
}

TEST(TripGroupingTest, GapsOverlapsAndCategories) {
    // Ends at 60 s; 70 s is exactly the 10 s gap; the next ends at 130 s and 140.001 s is over.
    const std::vector<Item> gaps = {{0, kMinute}, {70000, kMinute}, {140001, kMinute}};
    EXPECT_EQ(MembersOf(gaps), (Members{{0, 1}, {2}}));
    // Gap 0 joins only what starts where the trip ends; a negative gap counts as 0.
    const std::vector<Item> tight = {{0, kMinute}, {kMinute, kMinute}, {2 * kMinute + 1, 1}};
    EXPECT_EQ(MembersOf(tight, 0), (Members{{0, 1}, {2}}));
    EXPECT_EQ(MembersOf(tight, -5000), (Members{{0, 1}, {2}}));
    EXPECT_TRUE(trips::Group({}).empty());

    // Unsorted: a ten-minute recording, a parking one of the same start (listed after it), an
    // event and a manual one inside; the trip reaches from the long one's end, not the last
    // member's, so one 8 s after it joins. Much later a parking recording alone.
    const std::vector<Item> mixed = {
        {30 * kMinute, kMinute, 2},
        {2 * kMinute, 20000, 0},
        {0, 10 * kMinute, 1},
        {0, 30000, 2},
        {10 * kMinute + 8000, kMinute, 1},
        {3 * kMinute, 10000, 3},
    };
    const auto drives = trips::Group(mixed);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].members, (std::vector<size_t>{2, 3, 1, 5, 4}));
    EXPECT_EQ(drives[0].startMs, 0);
    EXPECT_EQ(drives[0].endMs, 11 * kMinute + 8000);
    EXPECT_TRUE(drives[0].holdsEvents);
    EXPECT_EQ(drives[1].members, (std::vector<size_t>{0}));
    EXPECT_FALSE(drives[1].holdsEvents);
}

TEST(TripGroupingTest, UnknownLengthsAndADriveAcrossMidnight) {
    // A damaged recording keeps its run together; one whose next start is over kUnknownSpanMs
    // away lasts 0 ms; a last one ends the trip at its start.
    const int64_t late = trips::kUnknownSpanMs + 1;
    EXPECT_EQ(MembersOf({{0, kMinute}, {kMinute, -1}, {2 * kMinute, kMinute}}),
              (Members{{0, 1, 2}}));
    EXPECT_EQ(MembersOf({{0, -1}, {late, kMinute}}), (Members{{0}, {1}}));
    EXPECT_EQ(MembersOf({{0, -1}, {trips::kUnknownSpanMs, 1}}), (Members{{0, 1}}));
    EXPECT_EQ(trips::Group({{0, kMinute}, {kMinute, -1}}).back().endMs, kMinute);
    // The next start is the next later one: a recording of the same start does not end it.
    EXPECT_EQ(MembersOf({{0, -1}, {0, 1000, 2}, {4 * kMinute, kMinute}}), (Members{{0, 1, 2}}));

    const auto at = [](int day, int hour, int minute, int second) {
        return CivilTime{2024, 3, day, hour, minute, second}.ToSeconds() * 1000;
    };
    const std::vector<Item> night = {
        {at(6, 0, 1, 0), kMinute},   {at(5, 23, 58, 0), kMinute}, {at(6, 0, 0, 0), kMinute},
        {at(5, 23, 59, 0), kMinute}, {at(5, 23, 59, 5), -1, 3},   {at(6, 8, 0, 0), kMinute},
    };
    const auto drives = trips::Group(night);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].members, (std::vector<size_t>{1, 3, 4, 2, 0}));
    EXPECT_EQ(drives[0].LengthMs(), 4 * kMinute);
}

} // namespace
