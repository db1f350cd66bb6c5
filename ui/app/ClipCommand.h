#pragma once
#include "ui/logic/ClipMarks.h"
#include "ui/widgets/ClipLine.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class AppProfile;
class CClipExportDlg;
class ClipExportController;
class PlaybackController;
class TripView;
class QWidget;

// The clip button and Ctrl+E: the incident clip of what plays. Its span is the clip's marks on
// the time line that plays (a recording's or a drive's), else the defaults of the profile read
// at start (ClipDefaults: before and after the start of the event recording that plays, or
// around the time played); its ends become recordings and offsets through the drive's plan.
// The clip export dialog offers the choices with a target "<recording>_<HHMMSS>-<HHMMSS>.mp4"
// in the last export's folder (kept in the profile) or the Videos folder; on Export the clip is
// exported on a thread of its own (ClipExportController) while the window plays on, and its end
// is told in one message. One export at a time: asked again while one runs, it says so.
//
// Threads: GUI thread. The controller, the trip view, the profile and the window outlive it.
class ClipCommand final : public QObject {
    Q_OBJECT
public:
    // Shows the dialog and says whether the user chose Export; the default runs it modally.
    using RunDialog = std::function<bool(CClipExportDlg& dialog)>;
    using Tell = std::function<void(const QString& text)>;

    ClipCommand(PlaybackController& controller, TripView& trips, AppProfile& profile,
                uint16_t languageId, QWidget* window, Tell tell);
    ~ClipCommand() override; // cancels an export that runs and waits for it

    void SetRunDialog(RunDialog run) { m_runDialog = std::move(run); }

    // The command. Tells why nothing happens when nothing plays or an export runs.
    void Run();
    // The clip Run would offer now: the line that plays and the span on it; an empty line when
    // nothing plays.
    ClipLine PlayingLine() const;
    ClipEnds PlayingEnds() const;
    const ClipDefaults& Defaults() const { return m_defaults; }

    ClipExportController& Export() { return *m_export; }
    bool Busy() const;
    // Cancels an export that runs and waits for its thread (quitting).
    void Stop();

private:
    // The span on the line: the marks, else the defaults around the time played.
    ClipEnds EndsOn(const ClipLine& line) const;

    PlaybackController& m_controller;
    TripView& m_trips;
    AppProfile& m_profile;
    uint16_t m_language;
    QWidget* m_window;
    Tell m_tell;
    RunDialog m_runDialog;
    ClipDefaults m_defaults;
    std::unique_ptr<ClipExportController> m_export;
};
