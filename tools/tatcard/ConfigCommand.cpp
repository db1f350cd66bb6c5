#include "ConfigCommand.h"

#include "CommandLine.h"
#include "devconfig/CProfileText.h"
#include "devconfig/DeviceSettingsFile.h"
#include "devconfig/SettingKeys.h"

#include <cstdio>
#include <ctime>
#include <optional>

namespace {

CivilTime LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
}

void PrintRows(const DeviceSettings& settings,
               const std::vector<DeviceSettings::Adjusted>& adjusted) {
    for (const std::string& row : SettingKeys::Rows(settings, adjusted))
        std::printf("%s\n", row.c_str());
}

} // namespace

int PrintSettings(const std::string& card) {
    const DeviceSettingsFile file(card);
    const std::optional<std::string> text = file.CurrentText();
    if (!text)
        return CommandFailed("no camera information on the card in " + card);
    std::vector<DeviceSettings::Adjusted> adjusted;
    PrintRows(DeviceSettings::Load(CProfileText(*text), LocalTime(), &adjusted), adjusted);
    return 0;
}

int SetSettings(const std::string& card, const std::vector<std::string>& assignments) {
    const CivilTime now = LocalTime();
    DeviceSettings check;
    check.clock = now;
    const std::string complaint = SettingKeys::Assign(check, assignments, now.year);
    if (!complaint.empty())
        return BadArguments(complaint);

    const DeviceSettingsFile file(card);
    const SettingsFileResult prepared = file.Prepare();
    if (prepared.failure == SettingsFileResult::Failure::NoCamera)
        return CommandFailed("no camera information on the card in " + card);
    if (!prepared.Ok())
        return CommandFailed(file.Path() + ": " + prepared.Reason());
    std::optional<DeviceSettings> settings = file.Load(now);
    if (!settings)
        return CommandFailed(file.Path() + ": cannot be read");
    (void)SettingKeys::Assign(*settings, assignments, now.year); // checked above
    const SettingsFileResult saved = file.Save(*settings);
    if (!saved.Ok())
        return CommandFailed(file.Path() + ": " + saved.Reason());

    std::vector<DeviceSettings::Adjusted> adjusted;
    const std::optional<DeviceSettings> written = file.Load(now, &adjusted);
    if (!written)
        return CommandFailed(file.Path() + ": cannot be read");
    PrintRows(*written, adjusted);
    return 0;
}
