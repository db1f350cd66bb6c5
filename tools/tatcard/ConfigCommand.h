#pragma once

#include <string>
#include <vector>

// tatcard config: the camera's settings of a card, read and changed through the same code as
// the viewer's settings dialog (devconfig: DeviceSettingsFile, DeviceSettings, SettingKeys).
// Each returns the process exit status; a failure is one line on standard error.

// Prints the settings as KEY=VALUE lines, as the dialog would show them: from
// SETTING/blackbox.cfg while it holds a save the camera has not taken, else from the camera's
// configuration text. Writes nothing. Status 1 when the card has no camera information.
int PrintSettings(const std::string& card);

// Changes settings as the dialog's Save does: the file is prepared first when needed, every
// value written back with tat_update=1 in one replacement of the file, and the settings then
// printed. Assignments that name an unknown key or a value out of its range are refused before
// anything is written (status 2); a card without camera information or a file that cannot be
// written gives status 1, the file as it was.
int SetSettings(const std::string& card, const std::vector<std::string>& assignments);
