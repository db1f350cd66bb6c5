#pragma once
#include "formats/CRecordingExporter.h"
#include "sources/VRecordingSource.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CProgressDlg;
class QWidget;

// The download: exports the ticked recordings of the card to AVI files "<folder>/<name>.avi"
// (and, for each that has GPS fixes, its route as "<folder>/<name>.gpx"; a dash-cam folder's
// recordings: their original files, copied by RecordingCopier) in a folder the user picks
// (kept in the profile as the target folder), on a thread of its
// own, with the progress window showing the file, its frames and the files done, and Cancel.
// Packets are copied as they are. While it runs, Busy() is true and the window ignores every
// command. At the end, recordings that were skipped, failed or came out incomplete are told
// in one message; a cancelled file keeps what was written, closed and playable, and the rest
// are not started.
//
// Threads: the public functions on the GUI thread. The exporting thread reads through the
// source in use when the download started (VRecordingSource::Download; the window's player
// stops first and no playback command runs while Busy), which it holds until it ends, and
// hands everything it shows to the GUI thread.
class DownloadController final : public QObject {
    Q_OBJECT
public:
    // Asks for the target folder (title, folder to start in); empty when the user cancels.
    using AskFolder = std::function<QString(const QString& title, const QString& start)>;
    // Called on the exporting thread with the file's index and its front frames written,
    // before each front frame; for watching a download (tests).
    using Observer = std::function<void(int file, int64_t written)>;

    // The source in use, asked when a download starts; null: none.
    using SourceInUse = std::function<std::shared_ptr<VRecordingSource>()>;
    // The folder chosen last time (where the folder question starts), and the one chosen now.
    struct TargetFolder {
        std::function<QString()> load;
        std::function<void(const QString&)> store;
    };

    // The window outlives the download controller; the progress window is a child of the
    // window.
    DownloadController(SourceInUse source, TargetFolder target, uint16_t languageId,
                       QWidget* window);
    ~DownloadController() override; // cancels a download and waits for its thread

    void SetAskFolder(AskFolder ask) { m_askFolder = std::move(ask); }
    void SetObserver(Observer observer) { m_observer = std::move(observer); }

    // FileDownload with these names ticked: asks for the folder and starts. False when the
    // user cancelled the folder question (nothing starts).
    bool ChooseFolderAndStart(const std::vector<std::string>& names);
    bool Busy() const { return m_busy.load(std::memory_order_acquire); }
    // Cancels a download that runs and waits for its thread (the window is closing: the parser
    // is about to stop). The cancelled file is kept as Cancel keeps it.
    void Stop();
    CProgressDlg& Progress() { return *m_progress; }
    // The outcome of each recording of the last download, in list order.
    const std::vector<ExportReport>& Reports() const { return m_reports; }
    // The route files of the last download that could not be written: file name and why.
    using FileFailures = std::vector<std::pair<std::string, std::string>>;
    const FileFailures& RouteFailures() const { return m_routeFailures; }

signals:
    // The window's title during the download: "Make File 001/003 [NAME]".
    void titleChanged(const QString& title);
    // The download has ended; message is empty when every recording was exported whole or
    // the user cancelled without anything going wrong.
    void finished(const QString& message);

private:
    void Run(std::vector<std::string> names, std::string folder,
             std::shared_ptr<VRecordingSource> source);
    void Finish(std::vector<ExportReport> reports, FileFailures routeFailures);
    QString EndMessage() const;

    SourceInUse m_source;
    TargetFolder m_target;
    uint16_t m_language;
    QWidget* m_window;
    CProgressDlg* m_progress;
    AskFolder m_askFolder;
    Observer m_observer;
    std::atomic<bool> m_busy{false};
    std::thread m_thread;
    std::vector<ExportReport> m_reports;
    FileFailures m_routeFailures;
};
