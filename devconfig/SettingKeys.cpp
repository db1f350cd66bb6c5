#include "SettingKeys.h"

#include "ClockChoices.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

// A whole text as a decimal number with an optional sign; nothing for anything else.
std::optional<int> Number(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string Range(int first, int last) {
    return std::to_string(first) + " to " + std::to_string(last);
}

struct Level {
    const char* key;
    int DeviceSettings::*member;
};
constexpr Level kLevels[] = {{"mic_volume", &DeviceSettings::micVolume},
                             {"voice_volume", &DeviceSettings::voiceVolume},
                             {"acc_level", &DeviceSettings::accLevel},
                             {"motion_level", &DeviceSettings::motionLevel}};

struct Switch {
    const char* key;
    bool DeviceSettings::*member;
};
constexpr Switch kSwitches[] = {{"mic_in", &DeviceSettings::micIn},
                                {"voice_out", &DeviceSettings::voiceOut},
                                {"front_led", &DeviceSettings::frontLed},
                                {"set", &DeviceSettings::setClock}};

struct Clock {
    const char* key;
    ClockField field;
};
constexpr Clock kClock[] = {{"year", ClockField::Year},  {"month", ClockField::Month},
                            {"day", ClockField::Day},    {"hour", ClockField::Hour},
                            {"min", ClockField::Minute}, {"sec", ClockField::Second}};

// Applies one KEY=VALUE; the complaint, or empty. clockGiven tells that a clock value came.
std::string AssignOne(DeviceSettings& settings, std::string_view assignment, int currentYear,
                      bool& clockGiven) {
    const size_t equals = assignment.find('=');
    if (equals == std::string_view::npos)
        return "\"" + std::string(assignment) + "\" is not KEY=VALUE";
    const std::string key(assignment.substr(0, equals));
    const std::string_view text = assignment.substr(equals + 1);
    const std::optional<int> value = Number(text);
    const auto outside = [&](const std::string& range) {
        return key + "=" + std::string(text) + ": the value must be " + range;
    };
    for (const Switch& item : kSwitches) {
        if (key != item.key)
            continue;
        if (value != 0 && value != 1)
            return outside("0 or 1");
        settings.*item.member = *value == 1;
        return {};
    }
    for (const Level& item : kLevels) {
        if (key != item.key)
            continue;
        if (!value || *value < DeviceSettings::kLevelMin || *value > DeviceSettings::kLevelMax)
            return outside(Range(DeviceSettings::kLevelMin, DeviceSettings::kLevelMax));
        settings.*item.member = *value;
        return {};
    }
    if (key == "power_off_vlt") {
        const auto& choices = DeviceSettings::kCutOffMillivolts;
        const auto found =
            value ? std::find(choices.begin(), choices.end(), *value) : choices.end();
        if (value != 0 && found == choices.end())
            return outside("0, 11800, 12000 or 12200");
        settings.cutOff = value != 0;
        settings.cutOffChoice.reset();
        if (settings.cutOff)
            settings.cutOffChoice = static_cast<int>(found - choices.begin());
        return {};
    }
    if (key == "local_time") {
        if (!value || *value < DeviceSettings::kTimeZoneMin ||
            *value > DeviceSettings::kTimeZoneMax)
            return outside(Range(DeviceSettings::kTimeZoneMin, DeviceSettings::kTimeZoneMax));
        settings.localTime = *value;
        return {};
    }
    for (const Clock& item : kClock) {
        if (key != item.key)
            continue;
        const std::vector<int> values = ClockChoices::Values(item.field, currentYear);
        // Hour 0 has no entry in the hour list, but the PC's clock sends it.
        const int first = item.field == ClockField::Hour ? 0 : values.front();
        if (!value || *value < first || *value > values.back())
            return outside(Range(first, values.back()));
        ClockChoices::Set(settings.clock, item.field, *value);
        clockGiven = true;
        return {};
    }
    if (key == "version" || key == "model" || key == "tat_update")
        return key + " is the camera's and cannot be set";
    return "unknown key " + key;
}

} // namespace

namespace SettingKeys {

std::string Assign(DeviceSettings& settings, const std::vector<std::string>& assignments,
                   int currentYear) {
    bool clockGiven = false;
    for (const std::string& assignment : assignments) {
        std::string complaint = AssignOne(settings, assignment, currentYear, clockGiven);
        if (!complaint.empty())
            return complaint;
    }
    if (clockGiven && !settings.setClock)
        return "the clock values are sent only with set=1";
    return {};
}

std::vector<std::string> Rows(const DeviceSettings& settings,
                              const std::vector<DeviceSettings::Adjusted>& adjusted) {
    const auto number = [](const std::optional<int>& value) {
        return value ? std::to_string(*value) : std::string();
    };
    const std::pair<std::string, std::string> values[] = {
        {"mic_in", settings.micIn ? "1" : "0"},
        {"mic_volume", std::to_string(settings.micVolume)},
        {"voice_out", settings.voiceOut ? "1" : "0"},
        {"voice_volume", std::to_string(settings.voiceVolume)},
        {"acc_level", std::to_string(settings.accLevel)},
        {"motion_level", std::to_string(settings.motionLevel)},
        {"power_off_vlt", number(settings.CutOffMillivolts())},
        {"front_led", settings.frontLed ? "1" : "0"},
        {"local_time", number(settings.localTime)},
        {"version", settings.firmware},
        {"model", settings.model},
        {"tat_update", settings.pending ? "1" : "0"},
    };
    std::vector<std::string> rows;
    for (const auto& [key, value] : values) {
        std::string row = key + "=" + value;
        for (const DeviceSettings::Adjusted& item : adjusted) {
            if (item.key != key)
                continue;
            row += "  # the file holds " + item.fileValue;
            if (value.empty())
                row += ", which no choice stands for; saving leaves it";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace SettingKeys
