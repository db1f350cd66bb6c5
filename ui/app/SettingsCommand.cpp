#include "SettingsCommand.h"

#include "PlaybackController.h"
#include "base/ProgramVersion.h"
#include "devconfig/DeviceSettingsFile.h"
#include "ui/logic/DriveList.h"
#include "ui/widgets/CSelectDriveDlg.h"
#include "ui/widgets/CSettingDlg.h"
#include "ui/widgets/WindowText.h"

#include <QDateTime>

#include <optional>

namespace {

constexpr int kNoCameraText = 421; // "Blackbox info not found.\nPlease check location of drive"

CivilTime LocalTime() {
    const QDateTime now = QDateTime::currentDateTime();
    return CivilTime{now.date().year(), now.date().month(),  now.date().day(),
                     now.time().hour(), now.time().minute(), now.time().second()};
}

} // namespace

SettingsCommand::SettingsCommand(PlaybackController& controller, uint16_t languageId,
                                 QWidget* window, Tell tell, const DiagLog* diag)
    : m_controller(controller), m_language(languageId), m_window(window), m_tell(std::move(tell)),
      m_diag(diag), m_clock(LocalTime) {}

QString SettingsCommand::ViewerVersion() {
    return QString::fromUtf8(ProgramVersion());
}

void SettingsCommand::Run() {
    if (m_controller.Loaded())
        m_controller.Pause();
    const std::vector<std::string> entries =
        DriveList::Entries(DriveList::CardRoots(m_controller.Library().Source()));
    CSelectDriveDlg drive(entries, m_language, m_window);
    if (drive.exec() != QDialog::Accepted)
        return;
    const DeviceSettingsFile file(DriveList::RootOf(drive.SelectedDrive().toStdString()));
    std::optional<DeviceSettings> settings;
    if (file.Prepare().Ok())
        settings = file.Load(m_clock());
    if (!settings) {
        m_tell(WindowText::Text(kNoCameraText, m_language));
        return;
    }
    CSettingDlg dialog(file, *settings, ViewerVersion(), m_language, m_diag, m_window);
    dialog.SetTell(m_tell);
    dialog.exec();
}
