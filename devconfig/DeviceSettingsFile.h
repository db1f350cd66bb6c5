#pragma once

#include "DeviceSettings.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class DiagLog;

// The outcome of preparing, reading or saving the settings file.
struct [[nodiscard]] SettingsFileResult {
    enum class Failure {
        None,
        NoCamera,   // the camera's configuration cannot be read from its storage
        Unwritable, // the file cannot be written (error: the errno)
        Unreadable, // the file cannot be read (error: the errno)
    };
    Failure failure = Failure::None;
    int error = 0;

    bool Ok() const { return failure == Failure::None; }
    // One line for people: what failed and the system's reason.
    std::string Reason() const;
};

// The camera's settings file on a card, ROOT/SETTING/blackbox.cfg, and the camera's own
// configuration text in its storage, from which the file is made.
//
// The file hands the settings over: while its "tat_update" reads 0 (or it is missing) the camera
// has taken the last save, and the file is made afresh from the camera's configuration text
// before the user edits it; while it reads 1 it holds the user's last save, not yet taken over,
// and stays as it is. Every write replaces the whole file atomically (CProfileFile), so a failure
// leaves the old file.
//
// Threads: the object holds the root and the camera reader; use it from one thread at a time.
class DeviceSettingsFile {
public:
    // The camera's configuration text, or nothing when its storage cannot be read.
    using CameraText = std::function<std::optional<std::string>()>;

    // The card at root; the camera's text comes from the card's storage (CTATLibrary).
    explicit DeviceSettingsFile(std::string root);
    DeviceSettingsFile(std::string root, CameraText camera);

    const std::string& Root() const { return m_root; }
    const std::string& Path() const { return m_path; }
    static std::string PathOf(const std::string& root);

    // The file's bytes as the camera's text gives them: the text up to its first NUL, every
    // carriage return removed and every line feed written as CR LF; nothing is added after the
    // last line.
    static std::string FileTextOf(std::string_view cameraText);

    // The text the file holds after Prepare, without writing anything: the file's own text when
    // its "tat_update" is not 0, else the camera's text made into file bytes. Nothing when that
    // text cannot be had.
    std::optional<std::string> CurrentText() const;

    // Makes the file from the camera's text when "tat_update" reads 0 or the file is missing
    // (creating SETTING/ when the card has none), then checks that the file can be read. A
    // camera text that cannot be read leaves any old file as it is. An empty root has no camera.
    SettingsFileResult Prepare() const;

    // The settings the file holds, for the dialog opened at the PC's local time now; nothing
    // when the file cannot be read.
    std::optional<DeviceSettings>
    Load(const CivilTime& now, std::vector<DeviceSettings::Adjusted>* adjusted = nullptr) const;

    // Save: writes every setting into the file's current text and replaces the file once. On
    // failure the file is as it was.
    SettingsFileResult Save(const DeviceSettings& settings, const DiagLog* diag = nullptr) const;

    // The camera's configuration text of the card at root, read through the card library;
    // nothing without a card there or with a damaged volume record.
    static std::optional<std::string> ReadCameraText(const std::string& root);

private:
    bool NeedsCameraText() const;

    std::string m_root;
    std::string m_path;
    CameraText m_camera;
};
