#pragma once

#include <string>

class DiagLog;

// The player's own settings between runs: the positions of the volume and brightness sliders
// in a profile file (section "config", keys "volume" and "brightness", decimal text).
struct PlayerSettings {
    int brightness = 0; // -5..5
    int volume = 50;    // 0..99
    bool operator==(const PlayerSettings&) const = default;
};

// Reads and writes the settings file at a path given by the caller ("./config.cfg" for the
// window). Diagnostic lines ("InitConfig\n", "Brightness => %d\n", ...) go to the log given
// by the caller, which must outlive the object; null keeps it quiet.
//
// Threads: calls are independent; the window calls it from its own thread only.
class PlayerConfig {
public:
    static constexpr int kMinBrightness = -5;
    static constexpr int kMaxBrightness = 5;
    static constexpr int kMinVolume = 0;
    static constexpr int kMaxVolume = 99;

    explicit PlayerConfig(std::string path, const DiagLog* log = nullptr)
        : m_path(std::move(path)), m_log(log) {}

    // Creates the file empty when missing, then reads both keys. A missing key (or the stored
    // text "-200", which stands for one) gives brightness 0 and volume 50; text that is not a
    // number reads as 0; values are clamped to the sliders' ranges.
    PlayerSettings InitConfig() const;

    // Writes both values. False when the file could not be written; the window ignores that.
    bool SaveConfig(const PlayerSettings& settings) const;

private:
    std::string m_path;
    const DiagLog* m_log;
};
