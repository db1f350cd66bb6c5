// Which recordings the list shows, in which order, with which texts; and the status texts.
#include "ui/logic/RecordingList.h"
#include "storage/FolderScanner.h"
#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"
#include "ui/logic/StatusText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using RecordingList::Row;
using RecordingList::RowOfName;

TEST(RecordingList, RowsCarryLabelDateAndRearColumn) {
    const Row event = RowOfName("EVENT_20120606_143740_D");
    EXPECT_EQ(event.label, "EVT");
    EXPECT_EQ(event.name, "EVENT_20120606_143740_D");
    EXPECT_EQ(event.dateText, "2012.06.06 14:37:40");
    EXPECT_EQ(event.rear, "0");
    const Row lower = RowOfName("rec_20120101_000001_s");
    EXPECT_EQ(lower.label, "REC");
    EXPECT_EQ(lower.rear, "");
    EXPECT_EQ(RowOfName("DEMO_20120101_000001_D").label, "DEMO");
    EXPECT_EQ(RowOfName("PARKING_20240305_120514_d").label, "PAK");
    EXPECT_EQ(RowOfName("MANUAL_20240305_120514_S").label, "MAN");
    // Short names give empty parts, never a read past the name.
    const Row shortName = RowOfName("EVENT_2012");
    EXPECT_EQ(shortName.dateText, "2012.. ::");
    EXPECT_EQ(shortName.rear, "");
    EXPECT_EQ(RowOfName("").label, "");
}

TEST(RecordingList, RowsOfDashcamRecordings) {
    DashcamRecording recording;
    recording.name = "20240305_090702_P";
    recording.category = 2;
    recording.start = CivilTime{2024, 3, 5, 9, 7, 2};
    recording.channels[0] = "/f.mp4";
    recording.channels[2] = "/i.mp4";
    Row row = RecordingList::RowOfRecording(recording, false);
    EXPECT_EQ(row.label, "PAK");
    EXPECT_EQ(row.name, "20240305_090702_P");
    EXPECT_EQ(row.dateText, "2024.03.05 09:07:02");
    EXPECT_EQ(row.rear, "0");
    recording.channels[2].clear();
    recording.category = 0;
    row = RecordingList::RowOfRecording(recording, true);
    EXPECT_EQ(row.label, "EVT");
    EXPECT_EQ(row.dateText, "2024.03.05 09:07:02 (damaged)");
    EXPECT_EQ(row.rear, "");
    // This program's two-camera export in one file.
    recording.family = "tatview";
    recording.name = "EVENT_20240305_090702_D";
    EXPECT_EQ(RecordingList::RowOfRecording(recording, false).rear, "0");
}

class RecordingListCard : public ::testing::Test {
protected:
    void SetUp() override {
        // The test recordings' frames are small: 100 s make a listable recording of about
        // 0.7 MB, 2 s one far below the smallest playable size.
        std::vector<TestRecording> recordings;
        const auto add = [&](const char* name, int seconds, bool finish = true) {
            TestRecording r;
            r.name = name;
            r.seconds = seconds;
            r.twoChannel = name[std::strlen(name) - 1] == 'D';
            r.finish = finish;
            recordings.push_back(r);
        };
        add("REC_20240305_090000_D", 100);
        add("REC_20240306_081500_S", 100);
        add("EVENT_20240305_090702_D", 100);
        add("PARKING_20240305_120514_S", 100);
        add("MANUAL_20240305_091512_D", 100);
        add("EVENT_20240301_000000_S", 2);
        add("EVENT_20240302_000000_D", 100, false); // cut off: size 0, described as damaged
        MakeTestCard(m_dir.File("card"), recordings);
        m_library = OpenTestCard(m_dir.File("card"));
    }
    TempDir m_dir;
    std::unique_ptr<CTATLibrary> m_library;
};

TEST_F(RecordingListCard, FiltersListNewestFirstAndLeaveOutSmallEntries) {
    const uint8_t drive = m_library->PollCardDrive();
    ASSERT_GT(drive, 0);
    EXPECT_EQ(RecordingList::ListNames(*m_library, drive, 1),
              (std::vector<std::string>{"REC_20240306_081500_S", "REC_20240305_090000_D"}));
    EXPECT_EQ(RecordingList::ListNames(*m_library, drive, 0),
              (std::vector<std::string>{"EVENT_20240305_090702_D"}));
    EXPECT_EQ(RecordingList::ListNames(*m_library, drive, 4),
              (std::vector<std::string>{"REC_20240306_081500_S", "REC_20240305_090000_D",
                                        "PARKING_20240305_120514_S", "MANUAL_20240305_091512_D",
                                        "EVENT_20240305_090702_D"}));
    EXPECT_TRUE(RecordingList::ListNames(*m_library, 0, 4).empty()) << "no card, no names";
    EXPECT_TRUE(RecordingList::ListNames(*m_library, drive, 7).empty());
}

TEST(StatusText, TimesDurationsVolumeSpeedAndGraphCount) {
    using namespace StatusText;
    EXPECT_EQ(TimeText(0), "00:00:00");
    EXPECT_EQ(TimeText(59), "00:00:59");
    EXPECT_EQ(TimeText(3725), "01:02:05");
    EXPECT_EQ(TimeText(-4), "00:00:00");
    EXPECT_EQ(DurationSeconds(59500), 59);
    EXPECT_EQ(DurationSeconds(0), 60);
    EXPECT_EQ(DurationSeconds(-1), 60);
    EXPECT_EQ(DeviceVolume(50), 0x7FFF7FFFu);
    EXPECT_EQ(DeviceVolume(99), 64879u + 64879u * 65536u);
    EXPECT_EQ(DeviceVolume(0), 0u);
    EXPECT_EQ(SpeedText(47.9), "47Km/h");
    EXPECT_EQ(SpeedText(0), "0Km/h");
    EXPECT_EQ(GraphCount(12, 7), 7);
    EXPECT_EQ(GraphCount(3, 7), 3);
    EXPECT_EQ(GraphCount(3, 0), 0);
}

} // namespace
