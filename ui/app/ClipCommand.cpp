#include "ClipCommand.h"

#include "AppProfile.h"
#include "PlaybackController.h"
#include "TripView.h"
#include "ui/widgets/CClipExportDlg.h"
#include "ui/widgets/ClipChoices.h"
#include "ui/widgets/ClipExportController.h"
#include "ui/widgets/WindowText.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Texts: an export runs already, nothing plays.
constexpr int kBusyText = 684;
constexpr int kNothingPlaysText = 686;

} // namespace

ClipCommand::ClipCommand(PlaybackController& controller, TripView& trips, AppProfile& profile,
                         uint16_t languageId, QWidget* window, Tell tell)
    : m_controller(controller), m_trips(trips), m_profile(profile), m_language(languageId),
      m_window(window), m_tell(std::move(tell)), m_defaults(profile.ClipSpanDefaults()),
      m_export(std::make_unique<ClipExportController>(languageId, window)) {
    m_runDialog = [](CClipExportDlg& dialog) { return dialog.exec() == QDialog::Accepted; };
    connect(m_export.get(), &ClipExportController::finished, this,
            [this](const QString& message) { m_tell(message); });
}

ClipCommand::~ClipCommand() {
    Stop();
}

bool ClipCommand::Busy() const {
    return m_export->Busy();
}

void ClipCommand::Stop() {
    m_export->Stop();
}

ClipLine ClipCommand::PlayingLine() const {
    const std::shared_ptr<VRecordingSource> source = m_controller.Source();
    if (!m_controller.Loaded() || !source)
        return {};
    if (const TripPlan* plan = m_controller.PlayingTrip())
        return ClipLine::OfDrive(*plan, source->Recordings());
    const int index = source->Find(m_controller.CurrentRecordingName());
    if (index < 0)
        return {};
    return ClipLine::OfRecording(source->Recordings()[static_cast<size_t>(index)],
                                 m_controller.DurationMs());
}

ClipEnds ClipCommand::PlayingEnds() const {
    return EndsOn(PlayingLine());
}

ClipEnds ClipCommand::EndsOn(const ClipLine& line) const {
    const int64_t now = m_controller.CurrentMs();
    return line.Ends(m_trips.Clip().Span(now, line.LengthMs(), line.EventStartAt(now), m_defaults));
}

void ClipCommand::Run() {
    if (Busy()) {
        m_tell(WindowText::Text(kBusyText, m_language));
        return;
    }
    const std::shared_ptr<VRecordingSource> source = m_controller.Source();
    const ClipLine line = PlayingLine();
    if (!source || line.Empty()) {
        m_tell(WindowText::Text(kNothingPlaysText, m_language));
        return;
    }
    const ClipEnds ends = EndsOn(line);
    ClipChoices choices(ends, m_controller.ChannelCount(), m_language);
    const std::string folder =
        ClipChoices::DefaultFolder(m_profile.ClipFolder().toStdString(),
                                   QDir::home().filePath(QStringLiteral("Videos")).toStdString(),
                                   QDir::homePath().toStdString());
    choices.SetTarget(QDir(QString::fromStdString(folder))
                          .filePath(QString::fromStdString(ClipChoices::DefaultName(ends)))
                          .toStdString());
    CClipExportDlg dialog(std::move(choices), m_window);
    if (!m_runDialog(dialog))
        return;
    const ClipChoices& chosen = dialog.Choices();
    m_profile.SetClipFolder(QFileInfo(QString::fromStdString(chosen.Target())).absolutePath());
    m_export->Start(chosen.Request(source, m_trips.Unit(), m_controller.TripGap()));
}
