#pragma once

#include "DeviceSettings.h"

#include <string>
#include <string_view>
#include <vector>

// The settings by key name, for the command line: "KEY=VALUE" assignments checked against what
// the settings dialog offers, and the settings printed as such lines.
//
// The keys: mic_in, voice_out, front_led and set (0 or 1); mic_volume, voice_volume, acc_level
// and motion_level (1 to 5); power_off_vlt (0, 11800, 12000 or 12200); local_time (-12 to 12);
// and the clock values sent with set=1: year (2013 through the later of 2024 and the PC's
// year), month (1 to 12), day (1 to 31), hour (0 to 24), min and sec (0 to 59). Values are
// decimal numbers without anything around them.
namespace SettingKeys {

// Applies the assignments in order. A clock value needs set=1 among them; set=1 alone sends
// the PC's clock (settings.clock). currentYear ends the year range. Empty when every one is
// fine, else one line about the first that is not; settings may then be changed in part.
std::string Assign(DeviceSettings& settings, const std::vector<std::string>& assignments,
                   int currentYear);

// The settings as "KEY=VALUE" lines in the dialog's order, with tat_update at the end: each
// value as the dialog shows it and Save writes it. A key the dialog shows otherwise than the
// file holds (one of adjusted) carries a note with the file's value; an unselected list shows
// an empty value, as Save leaves that key alone.
std::vector<std::string> Rows(const DeviceSettings& settings,
                              const std::vector<DeviceSettings::Adjusted>& adjusted);

} // namespace SettingKeys
