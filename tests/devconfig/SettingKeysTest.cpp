// The settings by key name: assignments checked against what the dialog offers, and the rows
// printed with the file's values that the dialog shows otherwise.
#include "devconfig/SettingKeys.h"
#include "devconfig/CProfileText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const CivilTime kNow{2026, 1, 2, 3, 4, 5};

DeviceSettings Defaults() {
    return DeviceSettings::Load(CProfileText("[blackbox]\nmic_volume=3\n"), kNow);
}

std::string Assign(DeviceSettings& settings, std::vector<std::string> assignments) {
    return SettingKeys::Assign(settings, assignments, kNow.year);
}

} // namespace

TEST(SettingKeysTest, AssignsEveryKeyWithinItsRange) {
    DeviceSettings s = Defaults();
    ASSERT_EQ(Assign(s, {"mic_in=1", "mic_volume=5", "voice_out=1", "voice_volume=2", "acc_level=4",
                         "motion_level=1", "power_off_vlt=12200", "front_led=1", "local_time=-12"}),
              "");
    EXPECT_TRUE(s.micIn && s.voiceOut && s.frontLed && s.cutOff);
    EXPECT_EQ(s.micVolume, 5);
    EXPECT_EQ(s.voiceVolume, 2);
    EXPECT_EQ(s.accLevel, 4);
    EXPECT_EQ(s.motionLevel, 1);
    EXPECT_EQ(s.cutOffChoice, 2);
    EXPECT_EQ(s.localTime, -12);
    ASSERT_EQ(Assign(s, {"power_off_vlt=0", "local_time=+12"}), "");
    EXPECT_FALSE(s.cutOff);
    EXPECT_EQ(s.CutOffMillivolts(), 0);
    EXPECT_EQ(s.localTime, 12);
}

TEST(SettingKeysTest, RefusesUnknownKeysAndValuesOutsideTheLists) {
    const std::pair<const char*, const char*> wrong[] = {
        {"acc_level=0", "acc_level=0: the value must be 1 to 5"},
        {"mic_in=2", "mic_in=2: the value must be 0 or 1"},
        {"power_off_vlt=5000", "power_off_vlt=5000: the value must be 0, 11800, 12000 or 12200"},
        {"local_time=13", "local_time=13: the value must be -12 to 12"},
        {"local_time=9h", "local_time=9h: the value must be -12 to 12"},
        {"mic_volume= 3", "mic_volume= 3: the value must be 1 to 5"},
        {"mic_volume=99999999999999", "mic_volume=99999999999999: the value must be 1 to 5"},
        {"MIC_VOLUME=3", "unknown key MIC_VOLUME"},
        {"mic_volume", "\"mic_volume\" is not KEY=VALUE"},
        {"model=MV-700", "model is the camera's and cannot be set"},
    };
    for (const auto& [assignment, complaint] : wrong) {
        DeviceSettings s = Defaults();
        EXPECT_EQ(Assign(s, {assignment}), complaint) << assignment;
    }
}

TEST(SettingKeysTest, ClockValuesNeedSetAndStayInTheLists) {
    DeviceSettings s = Defaults();
    EXPECT_EQ(Assign(s, {"year=2025"}), "the clock values are sent only with set=1");
    s = Defaults();
    ASSERT_EQ(Assign(s, {"year=2026", "set=1", "hour=0", "min=59"}), "");
    EXPECT_TRUE(s.setClock);
    EXPECT_EQ(s.clock, (CivilTime{2026, 1, 2, 0, 59, 5}));
    s = Defaults();
    EXPECT_EQ(Assign(s, {"set=1", "year=2027"}), "year=2027: the value must be 2013 to 2026");
    EXPECT_EQ(Assign(s, {"set=1", "year=2012"}), "year=2012: the value must be 2013 to 2026");
    EXPECT_EQ(Assign(s, {"set=1", "month=13"}), "month=13: the value must be 1 to 12");
    EXPECT_EQ(Assign(s, {"set=1", "hour=25"}), "hour=25: the value must be 0 to 24");
    EXPECT_EQ(Assign(s, {"set=1", "sec=60"}), "sec=60: the value must be 0 to 59");
}

TEST(SettingKeysTest, RowsShowWhatTheDialogShowsAndNoteTheFile) {
    const CProfileText text("[blackbox]\ntat_update=1\nmic_volume=9\npower_off_vlt=5000\n"
                            "local_time=40\nversion=1.02.17\nmodel=mt-700\n");
    std::vector<DeviceSettings::Adjusted> adjusted;
    const DeviceSettings s = DeviceSettings::Load(text, kNow, &adjusted);
    EXPECT_EQ(SettingKeys::Rows(s, adjusted),
              (std::vector<std::string>{
                  "mic_in=0",
                  "mic_volume=5  # the file holds 9",
                  "voice_out=0",
                  "voice_volume=1",
                  "acc_level=1",
                  "motion_level=1",
                  "power_off_vlt=  # the file holds 5000, which no choice stands for; saving "
                  "leaves it",
                  "front_led=0",
                  "local_time=  # the file holds 40, which no choice stands for; saving leaves it",
                  "version=1.02.17",
                  "model=MV-700",
                  "tat_update=1",
              }));
}
