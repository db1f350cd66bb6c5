// Recording names read three ways: split leniently for the list, parsed strictly for names a
// program writes, and by single letters for the storage and the player.
#include "storage/RecordingName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tat::ParseRecordingName;
using tat::RecordingName;

TEST(RecordingNameTest, SplitsIntoFieldsAndPartsWhateverTheNameHolds) {
    const tat::NameFields whole = tat::SplitName("EVENT_20120606_143740_D");
    EXPECT_EQ(whole.word, "EVENT");
    EXPECT_EQ(whole.year, "2012");
    EXPECT_EQ(whole.month, "06");
    EXPECT_EQ(whole.day, "06");
    EXPECT_EQ(whole.hour, "14");
    EXPECT_EQ(whole.minute, "37");
    EXPECT_EQ(whole.second, "40");
    EXPECT_EQ(whole.channels, "D");
    EXPECT_TRUE(whole.twoChannel);
    // Only the channel field's first letter counts, in either case; more fields are not read.
    EXPECT_TRUE(tat::SplitName("rec_20120101_000001_dual_x").twoChannel);
    EXPECT_EQ(tat::SplitName("rec_20120101_000001_dual_x").channels, "dual");
    EXPECT_FALSE(tat::SplitName("REC_20120101_000001_S").twoChannel);
    EXPECT_FALSE(tat::SplitName("REC_20120101_000001_").twoChannel);
    // Short fields give what they have, missing ones nothing; digits are not checked.
    const tat::NameFields cut = tat::SplitName("EVENT_2012_1x");
    EXPECT_EQ(cut.year, "2012");
    EXPECT_EQ(cut.month, "");
    EXPECT_EQ(cut.hour, "1x");
    EXPECT_EQ(cut.minute, "");
    EXPECT_EQ(cut.channels, "");
    EXPECT_FALSE(cut.twoChannel);
    const tat::NameFields empty = tat::SplitName("");
    EXPECT_EQ(empty.word, "");
    EXPECT_EQ(empty.year, "");
    EXPECT_EQ(tat::SplitName("__").word, "");
}

TEST(RecordingNameTest, CategoriesFromWordsAndFirstLetters) {
    EXPECT_EQ(tat::CategoryOfWord("EVENT", tat::WordCase::kCapitals), 0);
    EXPECT_EQ(tat::CategoryOfWord("MANUAL", tat::WordCase::kCapitals), 3);
    EXPECT_EQ(tat::CategoryOfWord("Parking", tat::WordCase::kCapitals), -1);
    EXPECT_EQ(tat::CategoryOfWord("Parking", tat::WordCase::kAny), 2);
    EXPECT_EQ(tat::CategoryOfWord("rec", tat::WordCase::kAny), 1);
    EXPECT_EQ(tat::CategoryOfWord("RECORD", tat::WordCase::kAny), -1);
    EXPECT_EQ(tat::CategoryOfWord("", tat::WordCase::kAny), -1);

    EXPECT_EQ(tat::CategoryFromName("EVENT_20240305_090702_D"), 0);
    EXPECT_EQ(tat::CategoryFromName("rec"), 1);
    EXPECT_EQ(tat::CategoryFromName("Parking"), 2);
    EXPECT_EQ(tat::CategoryFromName("m"), 3);
    EXPECT_EQ(tat::CategoryFromName("DEMO_20240305_090702_D"), -1);
    EXPECT_EQ(tat::CategoryFromName(""), -1);

    EXPECT_TRUE(tat::IsStorableName("E"));
    EXPECT_TRUE(tat::IsStorableName(std::string(39, 'R')));
    EXPECT_FALSE(tat::IsStorableName(std::string(40, 'R'))) << "no room for the terminator";
    EXPECT_FALSE(tat::IsStorableName(""));
    EXPECT_FALSE(tat::IsStorableName("NOTHING"));
    EXPECT_FALSE(tat::IsStorableName("E/../../x")) << "a name never reaches another folder";
    EXPECT_FALSE(tat::IsStorableName("EVENT 1"));
    EXPECT_FALSE(tat::IsStorableName("EVENT.TRD"));
}

TEST(RecordingNameTest, ChannelCountFollowsTheLastLetterOfAPathOrName) {
    EXPECT_EQ(tat::ChannelsOfPath("EVENT_20240305_093000_D"), 2);
    EXPECT_EQ(tat::ChannelsOfPath("EVENT_20240305_093000_S"), 1);
    EXPECT_EQ(tat::ChannelsOfPath("/media/card/REC_20240305_093000_D.avi"), 2);
    EXPECT_EQ(tat::ChannelsOfPath("/media/card/REC_20240305_093000_S.avi"), 1);
    EXPECT_EQ(tat::ChannelsOfPath(""), 1);
    // Only a capital D counts, and only an extension of four characters is looked past.
    EXPECT_EQ(tat::ChannelsOfPath("REC_20240305_093000_d"), 1);
    EXPECT_EQ(tat::ChannelsOfPath("REC_20240305_093000_D.TRD"), 2);
    EXPECT_EQ(tat::ChannelsOfPath("REC_20240305_093000_D.mp"), 1);
    EXPECT_EQ(tat::ChannelsOfPath("D.avi"), 2);
    EXPECT_EQ(tat::ChannelsOfPath(".avi"), 1);
}

TEST(RecordingNameTest, ReadsCategoryClockAndChannels) {
    RecordingName name;
    std::string error;
    ASSERT_TRUE(ParseRecordingName("REC_20240305_090702_D", name, &error)) << error;
    EXPECT_EQ(name.category, 1);
    EXPECT_TRUE(name.twoChannel);
    // The camera's local clock read as UTC: 2024-03-05 09:07:02.
    EXPECT_EQ(name.start.ToSeconds(), 1709629622);

    ASSERT_TRUE(ParseRecordingName("PARKING_20240229_235959_S", name, &error)) << error;
    EXPECT_EQ(name.category, 2);
    EXPECT_FALSE(name.twoChannel);
    EXPECT_EQ(name.start.day, 29);
    ASSERT_TRUE(ParseRecordingName("EVENT_20000101_000000_S", name, &error)) << error;
    EXPECT_EQ(name.category, 0);
    ASSERT_TRUE(ParseRecordingName("MANUAL_19991231_120000_D", name, &error)) << error;
    EXPECT_EQ(name.category, 3);
}

TEST(RecordingNameTest, RefusesWhatIsNotANameOrNotADate) {
    const char* bad[] = {
        "",
        "REC",
        "rec_20240305_090702_D",     // the category word is in capitals
        "RECORD_20240305_090702_D",  // no such category
        "REC_20240305_090702_X",     // D or S
        "REC_20240305_090702_DD",    //
        "REC_2024035_090702_D",      // seven digits of date
        "REC_20240305_0907020_D",    //
        "REC_2024030A_090702_D",     //
        "REC-20240305-090702-D",     //
        "REC_20240305_090702",       //
        "REC_20230229_090702_D",     // not a leap year
        "REC_20240230_090702_D",     //
        "REC_20241301_090702_D",     //
        "REC_20240300_090702_D",     //
        "REC_20240305_240000_D",     //
        "REC_20240305_096000_D",     //
        "REC_20240305_090760_D",     //
        "REC_20240305_090702_D.TRD", //
    };
    for (const char* name : bad) {
        RecordingName parsed;
        std::string error;
        EXPECT_FALSE(ParseRecordingName(name, parsed, &error)) << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
}

} // namespace
