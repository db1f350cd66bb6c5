#pragma once
#include "storage/CivilTime.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class DiagLog;
class PlaybackController;
class QWidget;

// The settings command (button 1016, F3): the camera's settings on a card. A loaded recording
// is paused (and stays paused); the drive selection dialog lists the cards the player's library
// looks at; on OK the chosen or typed root's SETTING/blackbox.cfg is prepared from the camera's
// configuration text when the camera has taken the last save (DeviceSettingsFile::Prepare) and
// the settings dialog edits it. A root without camera information (no storage, a file that
// cannot be written or read) is told with message 421/422 and no dialog opens; a cancelled
// drive dialog changes nothing.
//
// Threads: GUI thread.
class SettingsCommand final : public QObject {
    Q_OBJECT
public:
    // Tells the user something.
    using Tell = std::function<void(const QString& text)>;
    // The PC's local time, from which the clock lists start.
    using Clock = std::function<CivilTime()>;

    // The controller and the window outlive the command; diag (may be null) receives the
    // settings dialog's diagnostic lines and outlives it too.
    SettingsCommand(PlaybackController& controller, uint16_t languageId, QWidget* window, Tell tell,
                    const DiagLog* diag);
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // The command: runs the two dialogs modally.
    void Run();

    // This program's version, as the settings dialog shows it.
    static QString ViewerVersion();

private:
    PlaybackController& m_controller;
    uint16_t m_language;
    QWidget* m_window;
    Tell m_tell;
    const DiagLog* m_diag;
    Clock m_clock;
};
