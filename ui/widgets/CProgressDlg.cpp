#include "CProgressDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Bars hold int ranges; longer counts are shown in proportion.
int BarValue(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, INT32_MAX));
}

} // namespace

CProgressDlg::CProgressDlg(const QString& cancelText, QWidget* parent)
    : QDialog(parent), m_file(new QLabel(QStringLiteral("Static"), this)),
      m_frames(new QProgressBar(this)), m_files(new QProgressBar(this)),
      m_cancel(new QPushButton(cancelText, this)) {
    setWindowTitle(QStringLiteral("TAT File Download"));
    setModal(false);
    for (QProgressBar* bar : {m_frames, m_files}) {
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addWidget(m_frames);
    layout->addWidget(m_files);
    layout->addLayout(buttons);
    setMinimumWidth(475);
    connect(m_cancel, &QPushButton::clicked, this, &CProgressDlg::reject);
    hide();
}

void CProgressDlg::Arm(int fileCount) {
    m_running.store(true, std::memory_order_release);
    m_files->setRange(0, std::max(fileCount, 1));
    m_files->setValue(0);
    m_frames->setRange(0, 1000);
    m_frames->setValue(0);
}

void CProgressDlg::StartFile(const QString& name, int index, int count) {
    m_file->setText(QStringLiteral("%1 (%2/%3)").arg(name).arg(index + 1).arg(count));
    m_files->setValue(index + 1);
    m_frames->setValue(0);
}

void CProgressDlg::SetFrames(int64_t written, int64_t total) {
    const int maximum = total > 0 ? BarValue(total) : 1000;
    if (m_frames->maximum() != maximum)
        m_frames->setRange(0, maximum);
    m_frames->setValue(std::min(BarValue(written), m_frames->maximum()));
}

void CProgressDlg::SetText(const QString& text) {
    m_file->setText(text);
}

void CProgressDlg::SetFileBarVisible(bool visible) {
    m_files->setVisible(visible);
}

void CProgressDlg::reject() {
    Cancel();
    emit cancelRequested();
}

QString CProgressDlg::FileText() const {
    return m_file->text();
}

int CProgressDlg::FileValue() const {
    return m_files->value();
}

int CProgressDlg::FrameValue() const {
    return m_frames->value();
}

int CProgressDlg::FrameMaximum() const {
    return m_frames->maximum();
}
