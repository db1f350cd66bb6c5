// Fuzz target for the camera's configuration text on its way into the settings dialog and back.
// Input: the camera's text, optionally led by a line "#KEY=VALUE KEY=VALUE ..." (up to 64
// bytes) of command-line assignments. The text becomes file bytes (CR LF lines only), is
// loaded into settings (every value within what the dialog can show), the assignments are
// applied, and the settings saved into the text must read back as saved and save the same
// bytes again.
#include "devconfig/CProfileText.h"
#include "devconfig/DeviceSettings.h"
#include "devconfig/DeviceSettingsFile.h"
#include "devconfig/SettingKeys.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kMaxAssignmentLine = 64;
const CivilTime kNow{2026, 2, 3, 0, 4, 5};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            words.emplace_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

void CheckFileText(std::string_view camera, const std::string& file) {
    const std::string_view text = camera.substr(0, camera.find('\0'));
    size_t kept = 0;
    size_t lineFeeds = 0;
    for (const char c : text) {
        kept += c != '\r';
        lineFeeds += c == '\n';
    }
    Check(file.size() == kept + lineFeeds);
    for (size_t i = 0; i < file.size(); ++i) {
        Check(file[i] != '\0');
        if (file[i] == '\r')
            Check(i + 1 < file.size() && file[i + 1] == '\n');
        if (file[i] == '\n')
            Check(i > 0 && file[i - 1] == '\r');
    }
}

void CheckShowable(const DeviceSettings& s) {
    for (const int level : {s.micVolume, s.voiceVolume, s.accLevel, s.motionLevel})
        Check(level >= DeviceSettings::kLevelMin && level <= DeviceSettings::kLevelMax);
    if (s.cutOffChoice)
        Check(*s.cutOffChoice >= 0 && *s.cutOffChoice < 3);
    if (s.localTime)
        Check(*s.localTime >= DeviceSettings::kTimeZoneMin &&
              *s.localTime <= DeviceSettings::kTimeZoneMax);
    Check(s.firmware.size() <= DeviceSettings::kValueLength);
    Check(s.model.size() <= DeviceSettings::kValueLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::vector<std::string> assignments;
    size_t start = 0;
    if (size > 0 && bytes[0] == '#') {
        const size_t limit = size < kMaxAssignmentLine ? size : kMaxAssignmentLine;
        const void* newline = std::memchr(bytes, '\n', limit);
        const size_t end = newline != nullptr
                               ? static_cast<size_t>(static_cast<const char*>(newline) - bytes)
                               : limit;
        assignments = Words(std::string_view(bytes + 1, end - 1));
        start = end < size ? end + 1 : end;
    }
    // The camera's text in a buffer of exactly its size, so that a read past it is caught.
    const size_t textSize = size - start;
    const std::unique_ptr<char[]> exact(new char[textSize]);
    if (textSize > 0)
        std::memcpy(exact.get(), bytes + start, textSize);
    const std::string_view camera(exact.get(), textSize);

    const std::string file = DeviceSettingsFile::FileTextOf(camera);
    CheckFileText(camera, file);

    std::vector<DeviceSettings::Adjusted> adjusted;
    DeviceSettings settings = DeviceSettings::Load(CProfileText(file), kNow, &adjusted);
    CheckShowable(settings);
    Check(SettingKeys::Rows(settings, adjusted).size() == 12);
    SettingKeys::Assign(settings, assignments, kNow.year);
    CheckShowable(settings);

    CProfileText saved(file);
    Check(settings.ApplyTo(saved));
    DeviceSettings expected = settings;
    expected.pending = true;
    expected.setClock = false; // the dialog opens with the synchronisation off
    expected.clock = kNow;
    Check(DeviceSettings::Load(saved, kNow) == expected);
    const std::string once = saved.Bytes();
    Check(settings.ApplyTo(saved));
    Check(saved.Bytes() == once);
    return 0;
}
