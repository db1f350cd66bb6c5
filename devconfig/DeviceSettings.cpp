#include "DeviceSettings.h"

#include "CProfileText.h"
#include "DecimalValue.h"
#include "base/DiagLog.h"

#include <algorithm>
#include <string>

namespace {

constexpr char kBlackbox[] = "blackbox";
constexpr char kTime[] = "time";

bool SameAscii(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        return lower(x) == lower(y);
    });
}

// A key's value as the camera's profile read gives it: default "0", cut to 9 characters.
class Reader {
public:
    Reader(const CProfileText& text, std::vector<DeviceSettings::Adjusted>* adjusted)
        : m_text(text), m_adjusted(adjusted) {}

    std::string Text(std::string_view key) const {
        const std::string_view value = m_text.Find(kBlackbox, key).value_or("0");
        return std::string(value.substr(0, DeviceSettings::kValueLength));
    }
    int Number(std::string_view key) const { return DecimalValue(Text(key)); }

    // A level held to 1..5.
    int Level(std::string_view key) const {
        const int value = Number(key);
        const int shown = std::clamp(value, DeviceSettings::kLevelMin, DeviceSettings::kLevelMax);
        if (shown != value)
            Note(key);
        return shown;
    }
    // Records that key is shown otherwise than the file says (a missing key says nothing).
    void Note(std::string_view key) const {
        if (m_adjusted != nullptr && m_text.Find(kBlackbox, key))
            m_adjusted->push_back({std::string(key), Text(key)});
    }

private:
    const CProfileText& m_text;
    std::vector<DeviceSettings::Adjusted>* m_adjusted;
};

} // namespace

DeviceSettings DeviceSettings::Load(const CProfileText& text, const CivilTime& now,
                                    std::vector<Adjusted>* adjusted) {
    const Reader read(text, adjusted);
    DeviceSettings settings;
    const int millivolts = read.Number("power_off_vlt");
    settings.cutOff = millivolts >= 1;
    if (settings.cutOff) {
        const long long choice = (static_cast<long long>(millivolts) - kCutOffMillivolts[0]) / 200;
        if (choice >= 0 && choice < static_cast<long long>(kCutOffMillivolts.size()))
            settings.cutOffChoice = static_cast<int>(choice);
        if (settings.CutOffMillivolts() != millivolts)
            read.Note("power_off_vlt");
    }
    settings.frontLed = read.Number("front_led") >= 1;
    settings.micIn = read.Number("mic_in") != 0;
    settings.voiceOut = read.Number("voice_out") != 0;
    settings.voiceVolume = read.Level("voice_volume");
    settings.micVolume = read.Level("mic_volume");
    settings.motionLevel = read.Level("motion_level");
    settings.accLevel = read.Level("acc_level");
    const int zone = read.Number("local_time");
    if (zone >= kTimeZoneMin && zone <= kTimeZoneMax)
        settings.localTime = zone;
    else
        read.Note("local_time");
    settings.clock = now;
    settings.firmware = read.Text("version");
    settings.model = read.Text("model");
    if (SameAscii(settings.model, "MT-700"))
        settings.model = "MV-700";
    settings.pending = read.Number("tat_update") != 0;
    return settings;
}

std::optional<int> DeviceSettings::CutOffMillivolts() const {
    if (!cutOff)
        return 0;
    if (!cutOffChoice || *cutOffChoice < 0 ||
        *cutOffChoice >= static_cast<int>(kCutOffMillivolts.size()))
        return std::nullopt;
    return kCutOffMillivolts[static_cast<size_t>(*cutOffChoice)];
}

bool DeviceSettings::ApplyTo(CProfileText& text, const DiagLog* diag) const {
    bool stored = true;
    const auto put = [&](const char* section, const char* key, int value) {
        stored = text.Set(section, key, std::to_string(value)) && stored;
    };
    const auto putSwitch = [&](const char* key, bool on) {
        stored = text.Set(kBlackbox, key, on ? "1" : "0") && stored;
    };
    putSwitch("tat_update", true);
    put(kBlackbox, "mic_volume", micVolume);
    put(kBlackbox, "voice_volume", voiceVolume);
    put(kBlackbox, "acc_level", accLevel);
    put(kBlackbox, "motion_level", motionLevel);
    putSwitch("mic_in", micIn);
    putSwitch("voice_out", voiceOut);
    if (const std::optional<int> millivolts = CutOffMillivolts()) {
        if (cutOff) {
            const double volts = *millivolts / 1000.0;
            TATV_DIAG(diag, "voltage_Value => %f\n", volts);
            TATV_DIAG(diag, "Test => %f", volts * 1000);
            TATV_DIAG(diag, "Voltage => %s", std::to_string(*millivolts).c_str());
        }
        put(kBlackbox, "power_off_vlt", *millivolts);
    }
    putSwitch("front_led", frontLed);
    if (localTime)
        put(kBlackbox, "local_time", *localTime);
    if (!setClock) {
        put(kTime, "set", 0);
        return stored;
    }
    put(kTime, "set", 1);
    put(kTime, "year", clock.year);
    put(kTime, "month", clock.month);
    put(kTime, "day", clock.day);
    put(kTime, "hour", clock.hour);
    put(kTime, "min", clock.minute);
    put(kTime, "sec", clock.second);
    return stored;
}

void DeviceSettings::SetCutOff(bool on) {
    cutOff = on;
    if (on && !cutOffChoice)
        cutOffChoice = 0;
}

DeviceSettings::Enabled DeviceSettings::EnabledControls() const {
    return {micIn, voiceOut, cutOff, setClock};
}
