#pragma once

#include "clips/ClipEncoder.h"
#include "clips/ClipRequest.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class CProgressDlg;
class QWidget;

// The incident clip's export (clips::Export) on a thread of its own, with the progress window
// (frames done of the total, the time left, Cancel) and one message at the end: the clip and its
// evidence record, the failure and its reason, or that it was cancelled. One export at a time;
// the window stays usable while it runs (playback goes on: the export reads the recordings
// through parsers of its own).
//
// Threads: the public functions on the GUI thread, but Busy on any. The export runs on the
// exporting thread, which owns the request (and so a share of the source) until it ends; its
// progress and its end are handed to the GUI thread by queued calls. Cancel sets an atomic flag
// that the export reads.
class ClipExportController final : public QObject {
    Q_OBJECT
public:
    // What exports: clips::Export unless a test puts another in (same contract: blocking, on
    // the exporting thread, progress on that thread, cancel read there). Each export takes a
    // copy of the one set when it starts.
    using ExportFn = std::function<clips::ClipResult(
        const clips::ClipRequest&, const clips::ProgressFn&, const std::atomic<bool>&)>;

    // The window outlives the controller; the progress window is a child of it.
    ClipExportController(uint16_t languageId, QWidget* window);
    ~ClipExportController() override; // cancels an export that runs and waits for its thread

    void SetExport(ExportFn exportFn) { m_export = std::move(exportFn); }

    // Starts the export of request; false (nothing starts) while another runs.
    bool Start(clips::ClipRequest request);
    bool Busy() const { return m_busy.load(std::memory_order_acquire); }
    // What Cancel in the progress window does: the export stops at its next look at the flag;
    // the end is told as usual.
    void Cancel() { m_cancel.store(true, std::memory_order_release); }
    // Cancels an export that runs and waits for its thread (the window is closing). Its end is
    // told only if the event loop runs on after this.
    void Stop();
    CProgressDlg& Progress() { return *m_progress; }
    // The outcome of the last export that ended.
    const clips::ClipResult& Result() const { return m_result; }

signals:
    // The export has ended; message is ClipChoices::OutcomeText of its result.
    void finished(const QString& message);

private:
    // The exporting thread: owns its request and its copy of the export function.
    void Run(clips::ClipRequest request, ExportFn exportFn);
    void Finish(clips::ClipResult result);

    const uint16_t m_language;
    CProgressDlg* const m_progress;
    ExportFn m_export;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;
    clips::ClipResult m_result;
};
