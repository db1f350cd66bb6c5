#include "DeviceSettingsFile.h"

#include "CProfileFile.h"
#include "CProfileText.h"
#include "DecimalValue.h"
#include "base/CUniqueFd.h"
#include "storage/CTATLibrary.h"
#include "storage/TatFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

std::string SettingsFileResult::Reason() const {
    switch (failure) {
    case Failure::None:
        return "no failure";
    case Failure::NoCamera:
        return "the camera's configuration cannot be read from the card";
    case Failure::Unwritable:
        return std::string("cannot write the settings file: ") + std::strerror(error);
    case Failure::Unreadable:
        break;
    }
    return std::string("cannot read the settings file: ") + std::strerror(error);
}

DeviceSettingsFile::DeviceSettingsFile(std::string root)
    : DeviceSettingsFile(root, [root] { return ReadCameraText(root); }) {}

DeviceSettingsFile::DeviceSettingsFile(std::string root, CameraText camera)
    : m_root(std::move(root)), m_path(PathOf(m_root)), m_camera(std::move(camera)) {}

std::string DeviceSettingsFile::PathOf(const std::string& root) {
    std::string path = root;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + tat::kSettingFolder + "/blackbox.cfg";
}

std::string DeviceSettingsFile::FileTextOf(std::string_view cameraText) {
    const std::string_view text = cameraText.substr(0, cameraText.find('\0'));
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

std::optional<std::string> DeviceSettingsFile::ReadCameraText(const std::string& root) {
    TatCardSource source;
    source.cardFolder = root;
    source.scanRemovable = false;
    CTATLibrary library(source);
    if (root.empty() || library.PollCardDrive() == 0)
        return std::nullopt;
    library.MountCard();
    std::string text(tat::kMaxConfigText, '\0');
    int32_t size = static_cast<int32_t>(text.size());
    if (!library.ReadConfigText(text.data(), size))
        return std::nullopt;
    text.resize(static_cast<size_t>(size));
    return text;
}

bool DeviceSettingsFile::NeedsCameraText() const {
    const CProfileFile file(m_path);
    return DecimalValue(file.GetString("blackbox", "tat_update", "0",
                                       DeviceSettings::kValueLength + 1)) == 0;
}

std::optional<std::string> DeviceSettingsFile::CurrentText() const {
    if (m_root.empty())
        return std::nullopt;
    if (NeedsCameraText()) {
        const std::optional<std::string> camera = m_camera();
        if (!camera)
            return std::nullopt;
        return FileTextOf(*camera);
    }
    std::string bytes;
    if (!CProfileFile(m_path).ReadText(bytes).Ok())
        return std::nullopt;
    return bytes;
}

SettingsFileResult DeviceSettingsFile::Prepare() const {
    using Failure = SettingsFileResult::Failure;
    if (m_root.empty())
        return {Failure::NoCamera, 0};
    if (NeedsCameraText()) {
        const std::optional<std::string> camera = m_camera();
        if (!camera)
            return {Failure::NoCamera, 0};
        const std::string folder = m_path.substr(0, m_path.rfind('/'));
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return {Failure::Unwritable, errno};
        const fileio::Result written = CProfileFile(m_path).Replace(FileTextOf(*camera));
        if (!written.Ok())
            return {Failure::Unwritable, written.error};
    }
    const CUniqueFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return {Failure::Unreadable, errno};
    return {};
}

std::optional<DeviceSettings>
DeviceSettingsFile::Load(const CivilTime& now,
                         std::vector<DeviceSettings::Adjusted>* adjusted) const {
    std::string bytes;
    if (!CProfileFile(m_path).ReadText(bytes).Ok())
        return std::nullopt;
    return DeviceSettings::Load(CProfileText(std::move(bytes)), now, adjusted);
}

SettingsFileResult DeviceSettingsFile::Save(const DeviceSettings& settings,
                                            const DiagLog* diag) const {
    const fileio::Result result = CProfileFile(m_path).Update(
        [&](CProfileText& text) { return settings.ApplyTo(text, diag); });
    if (result.Ok())
        return {};
    return {SettingsFileResult::Failure::Unwritable, result.error};
}
