#pragma once

#include "storage/CivilTime.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CProfileText;
class DiagLog;

// The camera's settings as the settings dialog shows them, and what its Save writes back to
// blackbox.cfg (sections "blackbox" and "time").
//
// Load reads each key of section "blackbox" as the camera's profile reads do (default "0", the
// value cut to its first 9 characters, read as a decimal number) and brings it into what the
// dialog can show: a level outside 1 to 5 is held at the range's end, a time zone or cut-off
// voltage that no list entry stands for is left unselected. Nothing is written by loading.
//
// ApplyTo writes every value into a profile text the way Save does: levels and the time zone
// as "%d", switches as "1"/"0", "tat_update" = 1. A list left unselected writes nothing: the
// file's "local_time", or its "power_off_vlt" while the cut-off is on, stays as it was. With
// the clock setting off only "set" = 0 is written in section "time"; with it on, "set" = 1
// and the six clock values.
//
// Threads: a value; not shared.
struct DeviceSettings {
    static constexpr int kLevelMin = 1;
    static constexpr int kLevelMax = 5;
    static constexpr int kTimeZoneMin = -12; // hours from GMT
    static constexpr int kTimeZoneMax = 12;
    static constexpr int kTimeZoneCount = kTimeZoneMax - kTimeZoneMin + 1;
    // The cut-off choices: their texts and the millivolts stored for them.
    static constexpr std::array<const char*, 3> kCutOffTexts = {"11.8v/23.8v", "12.0v/24.0v",
                                                                "12.2v/24.2v"};
    static constexpr std::array<int, 3> kCutOffMillivolts = {11800, 12000, 12200};
    // Characters of a value the profile reads keep (a 10-byte buffer).
    static constexpr size_t kValueLength = 9;

    bool micIn = false; // "mic_in": voice recording
    int micVolume = kLevelMin;
    bool voiceOut = false; // "voice_out": voice guidance
    int voiceVolume = kLevelMin;
    int accLevel = kLevelMin;        // G-sensor sensitivity, 1 insensitive to 5 sensitive
    int motionLevel = kLevelMin;     // motion sensitivity
    bool cutOff = false;             // low-voltage cut-off on
    std::optional<int> cutOffChoice; // index into kCutOffTexts; nothing: none selected
    bool frontLed = false;           // "front_led"
    std::optional<int> localTime;    // hours from GMT, -12 to 12; nothing: none selected
    bool setClock = false;           // PC time synchronisation: "set" in section "time"
    CivilTime clock;                 // the clock values sent with it
    std::string firmware;            // "version" as shown
    std::string model;               // "model" as shown ("MT-700" in any case shows as "MV-700")
    bool pending = false;            // "tat_update" is not 0: saved, not yet taken by the camera

    // A key of the file whose shown value differs from the file's: the file's text (cut to 9
    // characters).
    struct Adjusted {
        std::string key;
        std::string fileValue;
        bool operator==(const Adjusted&) const = default;
    };

    // The settings of a profile text; now is the PC's local time the clock lists start from.
    // adjusted, when given, receives the keys that are shown otherwise than the file says.
    static DeviceSettings Load(const CProfileText& text, const CivilTime& now,
                               std::vector<Adjusted>* adjusted = nullptr);

    // Writes the settings into text as described above; false when a key could not be stored
    // (never for values of the ranges above). The three lines about the cut-off voltage go to
    // diag when it is given and on.
    bool ApplyTo(CProfileText& text, const DiagLog* diag = nullptr) const;

    // The cut-off check box: turning it on with no voltage selected selects the first choice, so
    // that what the dialog shows is what Save writes.
    void SetCutOff(bool on);

    // The dialog's enabling rules: each slider or list follows its check box.
    struct Enabled {
        bool micSlider = false;
        bool voiceSlider = false;
        bool cutOffList = false;
        bool clockLists = false;
        bool operator==(const Enabled&) const = default;
    };
    Enabled EnabledControls() const;

    // Millivolts written for the cut-off: 0 when off, the choice's value, or nothing when it
    // is on with no choice (the file's value stays).
    std::optional<int> CutOffMillivolts() const;

    bool operator==(const DeviceSettings&) const = default;
};
