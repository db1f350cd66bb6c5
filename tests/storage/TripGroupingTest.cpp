#include "storage/TripGrouping.h"
#include "storage/CivilTime.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using trips::Item;
using trips::Trip;

constexpr int64_t kMinute = 60000;

Item Rec(int64_t startMs, int64_t lengthMs, int category = 1) {
    return Item{startMs, lengthMs, category};
}

std::vector<std::vector<size_t>> MembersOf(const std::vector<Trip>& trips) {
    std::vector<std::vector<size_t>> members;
    for (const Trip& trip : trips)
        members.push_back(trip.members);
    return members;
}

TEST(TripGroupingTest, GapAtTheLimitJoinsAndOneMillisecondMoreSplits) {
    // Ends at 60 s; 70 s is exactly the 10 s gap; the next ends at 130 s and 140.001 s is over.
    const std::vector<Item> items = {Rec(0, kMinute), Rec(70000, kMinute), Rec(140001, kMinute)};
    const auto trips = trips::Group(items);
    EXPECT_EQ(MembersOf(trips), (std::vector<std::vector<size_t>>{{0, 1}, {2}}));
    EXPECT_EQ(trips[0].startMs, 0);
    EXPECT_EQ(trips[0].endMs, 130000);
    EXPECT_EQ(trips[1].LengthMs(), kMinute);
    EXPECT_FALSE(trips[0].holdsEvents);

    // A gap setting of 0 joins only recordings that start where the trip ends (or before);
    // a negative one counts as 0.
    const std::vector<Item> tight = {Rec(0, kMinute), Rec(kMinute, kMinute),
                                     Rec(2 * kMinute + 1, kMinute)};
    EXPECT_EQ(MembersOf(trips::Group(tight, 0)), (std::vector<std::vector<size_t>>{{0, 1}, {2}}));
    EXPECT_EQ(MembersOf(trips::Group(tight, -5000)), MembersOf(trips::Group(tight, 0)));
    EXPECT_EQ(trips::Group(tight, 1).size(), 1u);
    EXPECT_TRUE(trips::Group({}).empty());
}

TEST(TripGroupingTest, OverlapsAndCategoriesStayInStartOrderInOneTrip) {
    // A ten-minute normal recording, a parking recording of the same moment, an event inside
    // it and a short manual one; the trip reaches from the long recording's end (not the last
    // member's), so a recording 8 s after it joins.
    const std::vector<Item> items = {
        Rec(0, 10 * kMinute),              // 0 normal
        Rec(2 * kMinute, 20000, 0),        // 1 event
        Rec(0, 30000, 2),                  // 2 parking, same start as 0
        Rec(3 * kMinute, 10000, 3),        // 3 manual
        Rec(10 * kMinute + 8000, kMinute), // 4 normal
        Rec(30 * kMinute, kMinute, 2),     // 5 parking, much later
    };
    const auto trips = trips::Group(items);
    ASSERT_EQ(trips.size(), 2u);
    EXPECT_EQ(trips[0].members, (std::vector<size_t>{0, 2, 1, 3, 4}));
    EXPECT_EQ(trips[0].endMs, 11 * kMinute + 8000);
    EXPECT_TRUE(trips[0].holdsEvents);
    EXPECT_EQ(trips[1].members, (std::vector<size_t>{5}));
    EXPECT_FALSE(trips[1].holdsEvents);

    // A clock set back: a recording that starts before the one listed before it still joins.
    const std::vector<Item> setBack = {Rec(5 * kMinute, kMinute),
                                       Rec(5 * kMinute - 30000, kMinute)};
    const auto joined = trips::Group(setBack);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].members, (std::vector<size_t>{1, 0}));
    EXPECT_EQ(joined[0].startMs, 5 * kMinute - 30000);
    EXPECT_EQ(joined[0].endMs, 6 * kMinute);
}

TEST(TripGroupingTest, UnknownLengthsLastUntilTheNextStartWithinTheSpan) {
    // A damaged one-minute recording in the middle of a run keeps the run together.
    const std::vector<Item> run = {Rec(0, kMinute), Rec(kMinute, -1), Rec(2 * kMinute, kMinute)};
    const auto joined = trips::Group(run);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].members.size(), 3u);
    EXPECT_EQ(joined[0].endMs, 3 * kMinute);

    // The next start more than kUnknownSpanMs later: the unknown one lasts 0 ms and the gap
    // splits; a last unknown one ends the trip at its start.
    const int64_t late = trips::kUnknownSpanMs + 1;
    const std::vector<Item> apart = {Rec(0, -1), Rec(late, kMinute), Rec(late + kMinute, -1)};
    const auto split = trips::Group(apart);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[0].endMs, 0);
    EXPECT_EQ(split[1].members, (std::vector<size_t>{1, 2}));
    EXPECT_EQ(split[1].endMs, late + kMinute);
    // Exactly kUnknownSpanMs later still counts.
    EXPECT_EQ(trips::Group({Rec(0, -1), Rec(trips::kUnknownSpanMs, 1)}).size(), 1u);

    // A recording of the same start, listed after it, is not "the next": the unknown one
    // lasts to the next later start, so the short parking one's end does not split the trip.
    const std::vector<Item> sameStart = {Rec(0, -1), Rec(0, 1000, 2), Rec(4 * kMinute, kMinute)};
    const auto kept = trips::Group(sameStart);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].members, (std::vector<size_t>{0, 1, 2}));
}

TEST(TripGroupingTest, UnsortedInputAcrossMidnightKeepsInputOrderForTies) {
    const auto at = [](int day, int hour, int minute, int second) {
        return CivilTime{2024, 3, day, hour, minute, second}.ToSeconds() * 1000;
    };
    const std::vector<Item> items = {
        Rec(at(6, 0, 1, 0), kMinute),   // 0
        Rec(at(5, 23, 58, 0), kMinute), // 1
        Rec(at(6, 0, 0, 0), kMinute),   // 2
        Rec(at(5, 23, 59, 0), kMinute), // 3
        Rec(at(6, 0, 0, 0), 30000, 0),  // 4: event, same start as 2
        Rec(at(6, 8, 0, 0), kMinute),   // 5: the morning drive
        Rec(at(5, 23, 59, 5), -1, 3),   // 6: manual, unknown length
    };
    const auto trips = trips::Group(items);
    ASSERT_EQ(trips.size(), 2u);
    EXPECT_EQ(trips[0].members, (std::vector<size_t>{1, 3, 6, 2, 4, 0}));
    EXPECT_EQ(trips[0].startMs, at(5, 23, 58, 0));
    EXPECT_EQ(trips[0].endMs, at(6, 0, 2, 0));
    EXPECT_EQ(trips[0].LengthMs(), 4 * kMinute);
    EXPECT_TRUE(trips[0].holdsEvents);
    EXPECT_EQ(trips[1].members, (std::vector<size_t>{5}));
}

} // namespace
