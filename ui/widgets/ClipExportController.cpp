#include "ClipExportController.h"

#include "CProgressDlg.h"
#include "ClipChoices.h"
#include "WindowText.h"
#include "clips/ClipExport.h"

#include <chrono>

namespace {

// Texts: Cancel, the progress window's title.
constexpr int kCancelText = 612;
constexpr int kProgressTitle = 692;

// How often the progress window is brought up to date: as often as a screen shows it, not
// once per picture.
constexpr std::chrono::milliseconds kProgressPeriod{100};

} // namespace

ClipExportController::ClipExportController(uint16_t languageId, QWidget* window)
    : m_language(languageId),
      m_progress(new CProgressDlg(WindowText::Text(kCancelText, languageId), window)),
      m_export(&clips::Export) {
    m_progress->setWindowTitle(WindowText::Text(kProgressTitle, languageId));
    m_progress->SetFileBarVisible(false);
    connect(m_progress, &CProgressDlg::cancelRequested, this, &ClipExportController::Cancel);
}

ClipExportController::~ClipExportController() {
    Stop();
}

void ClipExportController::Stop() {
    if (m_thread.joinable()) {
        Cancel();
        m_thread.join();
        m_progress->hide();
        m_busy.store(false, std::memory_order_release);
    }
}

bool ClipExportController::Start(clips::ClipRequest request) {
    if (Busy())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_cancel.store(false, std::memory_order_release);
    m_progress->Arm(1);
    m_progress->SetText(QString::fromStdString(ClipChoices::ProgressText({}, m_language)));
    m_progress->show();
    m_busy.store(true, std::memory_order_release);
    m_thread = std::thread(&ClipExportController::Run, this, std::move(request), m_export);
    return true;
}

void ClipExportController::Run(clips::ClipRequest request, ExportFn exportFn) {
    auto shown = std::chrono::steady_clock::time_point{};
    const clips::ProgressFn progress = [this, &shown](const clips::ClipProgress& now) {
        const auto clock = std::chrono::steady_clock::now();
        if (clock - shown < kProgressPeriod)
            return;
        shown = clock;
        QMetaObject::invokeMethod(
            this,
            [this, now] {
                m_progress->SetFrames(now.framesDone, now.framesTotal);
                m_progress->SetText(
                    QString::fromStdString(ClipChoices::ProgressText(now, m_language)));
            },
            Qt::QueuedConnection);
    };
    clips::ClipResult result = exportFn(request, progress, m_cancel);
    // The source's share goes here, not on the GUI thread whenever the request is destroyed.
    request.source.reset();
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)]() mutable { Finish(std::move(result)); },
        Qt::QueuedConnection);
}

void ClipExportController::Finish(clips::ClipResult result) {
    if (m_thread.joinable())
        m_thread.join();
    m_result = std::move(result);
    m_progress->hide();
    m_busy.store(false, std::memory_order_release);
    emit finished(QString::fromStdString(ClipChoices::OutcomeText(m_result, m_language)));
}
