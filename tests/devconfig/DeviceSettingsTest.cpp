// The settings the dialog shows and Save writes, on profile texts in memory: what each key
// reads as, the values no control can show, and the bytes Save leaves.
#include "devconfig/DeviceSettings.h"
#include "base/DiagLog.h"
#include "devconfig/CProfileText.h"
#include "devconfig/ClockChoices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const CivilTime kNoon{2024, 3, 5, 12, 30, 15};

// The camera's text with every key, CR LF lines.
const std::string kCamera = "[blackbox]\r\n"
                            "tat_update=0\r\n"
                            "mic_volume=3\r\n"
                            "voice_volume=4\r\n"
                            "acc_level=2\r\n"
                            "motion_level=5\r\n"
                            "mic_in=1\r\n"
                            "voice_out=0\r\n"
                            "power_off_vlt=12000\r\n"
                            "front_led=1\r\n"
                            "local_time=9\r\n"
                            "version=1.02.17\r\n"
                            "model=MV-700\r\n"
                            "[time]\r\n"
                            "set=0\r\n"
                            "year=2020\r\n"
                            "month=1\r\n"
                            "day=2\r\n"
                            "hour=3\r\n"
                            "min=4\r\n"
                            "sec=5\r\n";

DeviceSettings Load(const std::string& text,
                    std::vector<DeviceSettings::Adjusted>* adjusted = nullptr) {
    return DeviceSettings::Load(CProfileText(text), kNoon, adjusted);
}

// text with one key's line replaced.
std::string With(std::string text, const std::string& key, const std::string& value) {
    CProfileText profile(std::move(text));
    EXPECT_TRUE(profile.Set(key == "set" || key == "year" ? "time" : "blackbox", key, value));
    return profile.Bytes();
}

std::string Saved(const DeviceSettings& settings, const std::string& text) {
    CProfileText profile(text);
    EXPECT_TRUE(settings.ApplyTo(profile));
    return profile.Bytes();
}

std::string Value(const std::string& text, const char* section, const char* key) {
    return std::string(CProfileText(text).Find(section, key).value_or("<none>"));
}

} // namespace

TEST(DeviceSettingsTest, LoadsTheCameraTextAndMissingKeysReadAsZero) {
    std::vector<DeviceSettings::Adjusted> adjusted;
    const DeviceSettings s = Load(kCamera, &adjusted);
    EXPECT_EQ((std::vector<int>{s.micVolume, s.voiceVolume, s.accLevel, s.motionLevel}),
              (std::vector<int>{3, 4, 2, 5}));
    EXPECT_TRUE(s.micIn && !s.voiceOut && s.cutOff && s.frontLed && !s.pending);
    EXPECT_EQ(s.cutOffChoice, 1); // "12.0v/24.0v"
    EXPECT_EQ(s.localTime, 9);
    EXPECT_EQ(s.firmware, "1.02.17");
    // The clock lists start from the PC's time, with the synchronisation off.
    EXPECT_FALSE(s.setClock);
    EXPECT_EQ(s.clock, kNoon);
    EXPECT_TRUE(adjusted.empty());
    EXPECT_EQ(s.EnabledControls(), (DeviceSettings::Enabled{true, false, true, false}));

    const DeviceSettings none = Load("");
    EXPECT_FALSE(none.micIn || none.voiceOut || none.cutOff || none.frontLed);
    EXPECT_EQ(none.micVolume, 1); // sliders sit at 1
    EXPECT_EQ(none.localTime, 0); // GMT-00:00
    EXPECT_EQ(none.model, "0");
}

TEST(DeviceSettingsTest, CutOffVoltageChoices) {
    EXPECT_EQ(Load(With(kCamera, "power_off_vlt", "12200")).cutOffChoice, 2);
    const DeviceSettings off = Load(With(kCamera, "power_off_vlt", "0"));
    EXPECT_FALSE(off.cutOff);
    EXPECT_FALSE(off.EnabledControls().cutOffList);
    EXPECT_FALSE(Load(With(kCamera, "power_off_vlt", "-12000")).cutOff);

    DeviceSettings s = Load(kCamera);
    EXPECT_EQ(Value(Saved(s, kCamera), "blackbox", "power_off_vlt"), "12000");
    s.SetCutOff(false); // clearing the check box writes 0
    EXPECT_EQ(Value(Saved(s, kCamera), "blackbox", "power_off_vlt"), "0");
    // Turned on from off, the first choice is selected, so Save writes what is shown.
    DeviceSettings fromOff = off;
    fromOff.SetCutOff(true);
    EXPECT_EQ(Value(Saved(fromOff, kCamera), "blackbox", "power_off_vlt"), "11800");
}

TEST(DeviceSettingsTest, ModelAndFirmwareTextsAreShownNotWritten) {
    EXPECT_EQ(Load(With(kCamera, "model", "mt-700")).model, "MV-700");
    EXPECT_EQ(Load(With(kCamera, "model", "MT-7000")).model, "MT-7000");
    EXPECT_EQ(Load(With(kCamera, "version", "1.02.17-beta")).firmware, "1.02.17-b");
    DeviceSettings s = Load(With(kCamera, "model", "mt-700"));
    s.firmware = "9.99";
    const std::string saved = Saved(s, kCamera);
    EXPECT_EQ(Value(saved, "blackbox", "version"), "1.02.17");
    EXPECT_EQ(Value(saved, "blackbox", "model"), "MV-700");
}

// Values no control can show are held at the range's end or left unselected, and an
// unselected list's key keeps the file's value on Save.
TEST(DeviceSettingsTest, ValuesOutsideTheirRange) {
    std::string text = With(kCamera, "mic_volume", "9");
    text = With(text, "acc_level", "-3");
    text = With(text, "voice_volume", "99999999999");
    text = With(text, "power_off_vlt", "5000");
    text = With(text, "local_time", "40");
    std::vector<DeviceSettings::Adjusted> adjusted;
    const DeviceSettings s = Load(text, &adjusted);
    EXPECT_EQ((std::vector<int>{s.micVolume, s.voiceVolume, s.accLevel}),
              (std::vector<int>{5, 5, 1}));
    EXPECT_TRUE(s.cutOff);
    EXPECT_EQ(s.cutOffChoice, std::nullopt);
    EXPECT_EQ(s.localTime, std::nullopt);
    EXPECT_EQ(adjusted, (std::vector<DeviceSettings::Adjusted>{{"power_off_vlt", "5000"},
                                                               {"voice_volume", "999999999"},
                                                               {"mic_volume", "9"},
                                                               {"acc_level", "-3"},
                                                               {"local_time", "40"}}));
    const std::string saved = Saved(s, text);
    EXPECT_EQ(Value(saved, "blackbox", "mic_volume"), "5");
    EXPECT_EQ(Value(saved, "blackbox", "power_off_vlt"), "5000");
    EXPECT_EQ(Value(saved, "blackbox", "local_time"), "40");

    EXPECT_EQ(Load(With(kCamera, "power_off_vlt", "12100")).cutOffChoice, 1);
    EXPECT_EQ(Load(With(kCamera, "power_off_vlt", "12400")).cutOffChoice, std::nullopt);
    EXPECT_EQ(Load(With(kCamera, "power_off_vlt", "2147483647")).cutOffChoice, std::nullopt);
    EXPECT_EQ(Load(With(kCamera, "local_time", "-13")).localTime, std::nullopt);
    EXPECT_EQ(Load(With(kCamera, "local_time", "-12")).localTime, -12);
}

// Values change in place, missing keys come after the section's last line with CR LF, and
// an unchanged load saves the same values again (local_time 9 writes 9).
TEST(DeviceSettingsTest, SaveKeepsEveryOtherByteAndMarksTheFile) {
    const std::string camera = "; camera \xC7\xD1\r\n"
                               "[BlackBox]\r\n"
                               "Mic_Volume = 3\r\n"
                               "extra=\"kept\"\r\n"
                               "\r\n"
                               "[time]\r\n"
                               "year=2020\r\n";
    DeviceSettings s = Load(camera);
    s.micVolume = 4;
    s.localTime = -5;
    EXPECT_EQ(Saved(s, camera), "; camera \xC7\xD1\r\n"
                                "[BlackBox]\r\n"
                                "Mic_Volume = 4\r\n"
                                "extra=\"kept\"\r\n"
                                "tat_update=1\r\n"
                                "voice_volume=1\r\n"
                                "acc_level=1\r\n"
                                "motion_level=1\r\n"
                                "mic_in=0\r\n"
                                "voice_out=0\r\n"
                                "power_off_vlt=0\r\n"
                                "front_led=0\r\n"
                                "local_time=-5\r\n"
                                "\r\n"
                                "[time]\r\n"
                                "year=2020\r\n"
                                "set=0\r\n");
    DeviceSettings marked = Load(kCamera);
    marked.pending = true;
    EXPECT_EQ(Load(Saved(Load(kCamera), kCamera)), marked);
}

TEST(DeviceSettingsTest, ClockSynchronisation) {
    // Off: only "set" = 0; the old clock values stay.
    const std::string off = Saved(Load(kCamera), kCamera);
    EXPECT_EQ(Value(off, "time", "set"), "0");
    EXPECT_EQ(Value(off, "time", "year"), "2020");

    // On at 14:05:09 on 6 June 2013: the lists show it and Save sends it.
    DeviceSettings s = DeviceSettings::Load(CProfileText(kCamera), {2013, 6, 6, 14, 5, 9});
    EXPECT_EQ(ClockChoices::IndexOf(ClockField::Year, 2013, 2013), 0);
    EXPECT_EQ(ClockChoices::IndexOf(ClockField::Hour, 14, 2013), 13);
    s.setClock = true;
    const std::string on = Saved(s, kCamera);
    const char* keys[] = {"set", "year", "month", "day", "hour", "min", "sec"};
    const char* values[] = {"1", "2013", "6", "6", "14", "5", "9"};
    for (size_t i = 0; i < std::size(keys); ++i)
        EXPECT_EQ(Value(on, "time", keys[i]), values[i]) << keys[i];

    // Midnight: the hour list (1 to 24) shows nothing, and hour 0 is sent.
    DeviceSettings midnight = DeviceSettings::Load(CProfileText(kCamera), {2024, 1, 1, 0, 0, 0});
    EXPECT_EQ(ClockChoices::IndexOf(ClockField::Hour, 0, 2024), std::nullopt);
    midnight.setClock = true;
    EXPECT_EQ(Value(Saved(midnight, kCamera), "time", "hour"), "0");
}

// The year list runs through the PC's year: a PC clock in 2026 is shown and sent as 2026, not
// as year 0 for want of an entry.
TEST(DeviceSettingsTest, YearListReachesThePcYear) {
    const std::vector<int> early = ClockChoices::Values(ClockField::Year, 2020);
    EXPECT_EQ(early.front(), 2013);
    EXPECT_EQ(early.back(), 2024);
    EXPECT_EQ(ClockChoices::Values(ClockField::Year, 2026).back(), 2026);
    EXPECT_EQ(ClockChoices::IndexOf(ClockField::Year, 2026, 2026), 13);

    DeviceSettings s = DeviceSettings::Load(CProfileText(kCamera), {2026, 2, 1, 8, 0, 0});
    s.setClock = true;
    EXPECT_EQ(Value(Saved(s, kCamera), "time", "year"), "2026");
}

TEST(DeviceSettingsTest, VoltageLinesGoToTheDiagnostics) {
    std::string lines;
    const DiagLog diag([&](std::string_view line) { lines += line; });
    DeviceSettings s = Load(kCamera);
    s.cutOffChoice = 2;
    CProfileText text(kCamera);
    ASSERT_TRUE(s.ApplyTo(text, &diag));
    EXPECT_EQ(lines, "voltage_Value => 12.200000\nTest => 12200.000000Voltage => 12200");
}
