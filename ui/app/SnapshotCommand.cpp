#include "SnapshotCommand.h"

#include "PlaybackController.h"
#include "resources/strings/StringTable.h"
#include "ui/logic/CameraGrid.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>

namespace {

// Texts of the capture: replacing files, a picture that could not be written.
constexpr int kReplaceText = 600;
constexpr int kNotSavedText = 602;

} // namespace

SnapshotCommand::SnapshotCommand(PlaybackController& controller, uint16_t languageId,
                                 QWidget* window, Tell tell)
    : m_controller(controller), m_language(languageId), m_window(window), m_tell(std::move(tell)),
      m_folder(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)) {
    m_askPath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(m_window, QString(), suggested,
                                            QStringLiteral("jpeg file (*.jpg)"), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    };
    m_askYesNo = [this](const QString& text) {
        return QMessageBox::question(m_window, QString(), text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
}

QString SnapshotCommand::DefaultName(int year, int month, int day, int hour, int minute,
                                     int second) {
    return QStringLiteral("Capture_%1%2%3_%4%5%6.jpg")
        .arg(year)
        .arg(month)
        .arg(day)
        .arg(hour)
        .arg(minute)
        .arg(second);
}

namespace {

// The chosen name without its extension.
QString BaseOf(const QString& chosen) {
    const QFileInfo info(chosen);
    QString base = chosen;
    if (!info.suffix().isEmpty())
        base.chop(info.suffix().size() + 1);
    return base;
}

} // namespace

QStringList SnapshotCommand::TargetsOf(const QString& chosen, int channels) {
    const QString base = BaseOf(chosen);
    QStringList targets{base + QStringLiteral("_front.jpg")};
    if (channels > 1)
        targets << base + QStringLiteral("_rear.jpg");
    return targets;
}

QStringList SnapshotCommand::TargetsOf(const QString& chosen,
                                       const std::vector<std::string>& words) {
    if (!cameragrid::UsesGrid(static_cast<int>(words.size())))
        return TargetsOf(chosen, static_cast<int>(words.size()));
    const QString base = BaseOf(chosen);
    QStringList targets;
    for (const std::string& word : words)
        targets << base + QLatin1Char('_') + QString::fromStdString(word) + QStringLiteral(".jpg");
    return targets;
}

void SnapshotCommand::Capture(int listRows) {
    if (!m_controller.Loaded() || listRows <= 0)
        return;
    const bool wasPlaying = m_controller.Playing();
    m_controller.Pause();
    const QDateTime now = QDateTime::currentDateTime();
    const QString suggested =
        m_folder + QLatin1Char('/') +
        DefaultName(now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                    now.time().minute(), now.time().second());
    const QString chosen = m_askPath(suggested);
    if (!chosen.isEmpty()) {
        m_folder = QFileInfo(chosen).absolutePath();
        const int cameras = std::min(m_controller.ChannelCount(), cameragrid::kMaxCameras);
        const QStringList targets =
            TargetsOf(chosen, cameragrid::CameraWords(m_controller.CameraWords(), cameras));
        QStringList existing;
        for (const QString& target : targets)
            if (QFileInfo::exists(target))
                existing << QFileInfo(target).fileName();
        const bool go = existing.isEmpty() ||
                        m_askYesNo(QString::fromStdString(
                            FormatText(kReplaceText, m_language,
                                       existing.join(QStringLiteral(", ")).toUtf8().constData())));
        QStringList failed;
        for (int channel = 0; go && channel < targets.size(); ++channel)
            if (!m_controller.SaveSnapshot(channel, targets[channel].toStdString()))
                failed << targets[channel];
        if (!failed.isEmpty())
            m_tell(QString::fromStdString(FormatText(
                kNotSavedText, m_language, failed.join(QLatin1Char('\n')).toUtf8().constData())));
    }
    if (wasPlaying)
        m_controller.Resume();
}
