#include "DownloadController.h"

#include "CProgressDlg.h"
#include "WindowText.h"
#include "resources/strings/StringTable.h"
#include "telemetry/GpxWriter.h"

#include <QFileDialog>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {

// Texts: the folder question's title, Cancel, the end message's heading and its lines.
constexpr int kFolderTitle = 449;
constexpr int kCancelText = 612;
constexpr int kNotExportedText = 604;
constexpr int kSkippedText = 606;
constexpr int kFailedText = 608;
constexpr int kIncompleteText = 610;
constexpr int kIncompleteSecondsText = 618;

// How often the frame bar is brought up to date.
constexpr std::chrono::milliseconds kFrameBarPeriod{25};

} // namespace

DownloadController::DownloadController(SourceInUse source, TargetFolder target, uint16_t languageId,
                                       QWidget* window)
    : m_source(std::move(source)), m_target(std::move(target)), m_language(languageId),
      m_window(window),
      m_progress(new CProgressDlg(WindowText::Text(kCancelText, languageId), window)) {
    m_askFolder = [this](const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(m_window, title, start);
    };
}

DownloadController::~DownloadController() {
    Stop();
}

void DownloadController::Stop() {
    if (m_thread.joinable()) {
        m_progress->Cancel();
        m_thread.join();
    }
}

bool DownloadController::ChooseFolderAndStart(const std::vector<std::string>& names) {
    if (Busy() || names.empty())
        return false;
    const QString folder = m_askFolder(WindowText::Text(kFolderTitle, m_language), m_target.load());
    if (folder.isEmpty())
        return false;
    m_target.store(folder);
    if (m_thread.joinable())
        m_thread.join();
    m_reports.clear();
    m_routeFailures.clear();
    m_progress->Arm(static_cast<int>(names.size()));
    m_progress->show();
    m_busy.store(true, std::memory_order_release);
    m_thread = std::thread(&DownloadController::Run, this, names, folder.toStdString(),
                           m_source ? m_source() : nullptr);
    return true;
}

void DownloadController::Run(std::vector<std::string> names, std::string folder,
                             std::shared_ptr<VRecordingSource> source) {
    std::vector<ExportReport> reports;
    FileFailures routeFailures;
    // The route goes into the folder where the last job left its files, when the recording
    // has fixes; a job that left nothing gets none.
    const auto writeRoute = [&](const TelemetryTrack& track, const std::string& recording,
                                const std::filesystem::path& directory) {
        if (directory.empty() || GpxWriter::PointCount(track) == 0)
            return;
        const std::string route = (directory / (recording + ".gpx")).string();
        const fileio::Result written = GpxWriter::WriteFile(track, recording, route);
        if (!written.Ok())
            routeFailures.emplace_back(recording + ".gpx", written.Reason());
    };
    const int count = static_cast<int>(names.size());
    for (int i = 0; i < count && m_progress->Running(); ++i) {
        const std::string& recording = names[static_cast<size_t>(i)];
        const QString name = QString::fromStdString(recording);
        QMetaObject::invokeMethod(
            this,
            [this, name, i, count] {
                emit titleChanged(QStringLiteral("Make File %1/%2 [%3]")
                                      .arg(i, 3, 10, QLatin1Char('0'))
                                      .arg(count, 3, 10, QLatin1Char('0'))
                                      .arg(name));
                m_progress->StartFile(name, i, count);
            },
            Qt::QueuedConnection);
        // The frame bar is redrawn as often as a screen shows it, not once per frame: the
        // exporting thread outruns any painting.
        auto shown = std::chrono::steady_clock::time_point{};
        const ExportProgress progress = [&](int64_t written, int64_t total) {
            if (m_observer)
                m_observer(i, written);
            if (!m_progress->Running())
                return false;
            const auto now = std::chrono::steady_clock::now();
            if (now - shown >= kFrameBarPeriod) {
                shown = now;
                QMetaObject::invokeMethod(
                    this, [this, written, total] { m_progress->SetFrames(written, total); },
                    Qt::QueuedConnection);
            }
            return true;
        };
        SourceDownload done;
        if (source) {
            done = source->Download(recording, folder, progress);
        } else {
            done.report.name = recording;
            done.report.reason = "the card has gone";
        }
        reports.push_back(std::move(done.report));
        // The route goes beside the files the download left, when the recording has fixes.
        writeRoute(done.track, recording, done.routeFolder);
        if (reports.back().outcome == ExportReport::Outcome::kCancelled)
            break;
    }
    QMetaObject::invokeMethod(
        this,
        [this, reports = std::move(reports), routeFailures = std::move(routeFailures)]() mutable {
            Finish(std::move(reports), std::move(routeFailures));
        },
        Qt::QueuedConnection);
}

void DownloadController::Finish(std::vector<ExportReport> reports, FileFailures routeFailures) {
    if (m_thread.joinable())
        m_thread.join();
    m_reports = std::move(reports);
    m_routeFailures = std::move(routeFailures);
    m_progress->hide();
    m_busy.store(false, std::memory_order_release);
    emit finished(EndMessage());
}

QString DownloadController::EndMessage() const {
    QStringList lines;
    for (const ExportReport& report : m_reports) {
        const char* name = report.name.c_str();
        switch (report.outcome) {
        case ExportReport::Outcome::kComplete:
        case ExportReport::Outcome::kCancelled:
            break;
        case ExportReport::Outcome::kSkipped:
            lines << QString::fromStdString(FormatText(kSkippedText, m_language, name));
            break;
        case ExportReport::Outcome::kFailed:
            lines << QString::fromStdString(
                FormatText(kFailedText, m_language, name, report.reason.c_str()));
            break;
        case ExportReport::Outcome::kIncomplete:
            if (report.frameRate > 0)
                lines << QString::fromStdString(
                    FormatText(kIncompleteSecondsText, m_language, name,
                               static_cast<double>(report.framesWritten) / report.frameRate,
                               static_cast<double>(report.framesTotal) / report.frameRate));
            else
                lines << QString::fromStdString(FormatText(
                    kIncompleteText, m_language, name, static_cast<long long>(report.framesWritten),
                    static_cast<long long>(report.framesTotal)));
            break;
        }
    }
    for (const auto& [file, reason] : m_routeFailures)
        lines << QString::fromStdString(
            FormatText(kFailedText, m_language, file.c_str(), reason.c_str()));
    if (lines.isEmpty())
        return {};
    lines.prepend(WindowText::Text(kNotExportedText, m_language));
    return lines.join(QLatin1Char('\n'));
}
