#pragma once
#include "devconfig/DeviceSettingsFile.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <map>

class DiagLog;

// The settings dialog "BlackBox Configuration": the camera's settings of one card's
// blackbox.cfg in three groups, as the camera's template lays them out.
//   Audio/Sensor: voice recording and voice guidance (check box and level slider each), G-sensor
//     and motion sensitivity (sliders 1 to 5, with min/max and insensitive/sensitive scales);
//   RTC/GPS: PC time synchronisation (check box, year, month, day, hour, minute and second
//     lists from the PC's clock), time zone (25 entries, GMT-12 to GMT+12), low-voltage cut-off
//     (check box and the three voltages), front LED (On/Off);
//   Version: this viewer's version, the camera's model and firmware.
// Each slider or list follows its check box (DeviceSettings::EnabledControls). The dialog keeps
// a DeviceSettings that every control changes; Save writes it (DeviceSettingsFile::Save) and
// closes with Accepted. A failed Save is told (the file's path and why) and the dialog stays
// open; Escape and the close box write nothing. Enter does not save.
//
// Threads: GUI thread.
class CSettingDlg final : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog's template.
    enum Id {
        MicCheck = 1154,
        VoiceCheck = 1156,
        CutOffCheck = 1158,
        TimeZoneList = 1161,
        ClockCheck = 1162,
        SaveButton = 1163,
        ViewerText = 1168,
        FirmwareText = 1169,
        MicSlider = 1170,
        MotionSlider = 1171,
        VoiceSlider = 1172,
        CutOffList = 1177,
        YearList = 1180, // month 1181, day 1182, hour 1183, minute 1184, second 1185
        AccSlider = 1186,
        ModelText = 1188,
        LedOff = 1136,
        LedOn = 1236,
    };
    // Tells the user something (a message box over the dialog by default).
    using Tell = std::function<void(const QString& text)>;

    // settings: loaded from file for the PC's time of opening. diag, when given, receives the
    // cut-off lines of Save and must outlive the dialog.
    CSettingDlg(DeviceSettingsFile file, const DeviceSettings& settings,
                const QString& viewerVersion, uint16_t languageId, const DiagLog* diag,
                QWidget* parent = nullptr);

    void SetTell(Tell tell) { m_tell = std::move(tell); }
    // The settings as the controls stand.
    const DeviceSettings& Settings() const { return m_settings; }
    // The control with a template id, or null.
    QWidget* Control(int id) const;

private:
    QWidget* MakeAudioGroup();
    QWidget* MakeOtherGroup();
    QWidget* MakeVersionGroup(const QString& viewerVersion);
    QWidget* MakeSlider(int id, int DeviceSettings::*level);
    QWidget* MakeCheck(int id, bool DeviceSettings::*flag, int labelId);
    QWidget* MakeList(int id, const QStringList& texts, std::optional<int> selected);
    QWidget* MakeLabel(int id, int textId);
    QString Text(int id) const;
    void ShowEnabling();
    void OnSave();

    DeviceSettingsFile m_file;
    DeviceSettings m_settings;
    uint16_t m_language;
    const DiagLog* m_diag;
    Tell m_tell;
    std::map<int, QWidget*> m_controls;
};
