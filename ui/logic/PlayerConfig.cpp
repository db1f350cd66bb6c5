#include "PlayerConfig.h"

#include "base/DiagLog.h"
#include "devconfig/CProfileFile.h"
#include "devconfig/DecimalValue.h"

#include <algorithm>

namespace {

constexpr const char* kSection = "config";
constexpr const char* kBrightnessKey = "brightness";
constexpr const char* kVolumeKey = "volume";
constexpr const char* kMissing = "-200"; // read back when a key is absent
constexpr int kMissingValue = -200;
constexpr size_t kValueBuffer = 10; // at most 9 characters of a value are read

} // namespace

PlayerSettings PlayerConfig::InitConfig() const {
    const CProfileFile file(m_path);
    file.CreateIfMissing();
    TATV_DIAG(m_log, "InitConfig\n");

    PlayerSettings settings;
    const int brightness =
        DecimalValue(file.GetString(kSection, kBrightnessKey, kMissing, kValueBuffer));
    TATV_DIAG(m_log, "Brightness => %d\n", brightness);
    if (brightness != kMissingValue)
        settings.brightness = std::clamp(brightness, kMinBrightness, kMaxBrightness);

    const int volume = DecimalValue(file.GetString(kSection, kVolumeKey, kMissing, kValueBuffer));
    TATV_DIAG(m_log, "Volume => %d\n", volume);
    if (volume != kMissingValue)
        settings.volume = std::clamp(volume, kMinVolume, kMaxVolume);
    return settings;
}

bool PlayerConfig::SaveConfig(const PlayerSettings& settings) const {
    const CProfileFile file(m_path);
    TATV_DIAG(m_log, "SaveConfig\n");
    TATV_DIAG(m_log, "Brightness => %d\n", settings.brightness);
    const bool brightnessSaved =
        file.WriteString(kSection, kBrightnessKey, std::to_string(settings.brightness));
    TATV_DIAG(m_log, "Volume => %d\n", settings.volume);
    const bool volumeSaved =
        file.WriteString(kSection, kVolumeKey, std::to_string(settings.volume));
    return brightnessSaved && volumeSaved;
}
