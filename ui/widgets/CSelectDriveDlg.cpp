#include "CSelectDriveDlg.h"

#include "WindowText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CSelectDriveDlg::CSelectDriveDlg(const std::vector<std::string>& entries, uint16_t languageId,
                                 QWidget* parent)
    : QDialog(parent), m_combo(new QComboBox(this)), m_label(new QLabel(this)),
      m_hint(new QLabel(this)), m_ok(new QPushButton(this)) {
    const auto text = [languageId](int id) { return WindowText::Text(id, languageId); };
    setWindowTitle(text(403));
    m_label->setText(text(403));
    m_hint->setText(text(429));
    m_hint->setAlignment(Qt::AlignCenter);
    m_ok->setText(text(432));
    m_ok->setDefault(true);

    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setCompleter(nullptr); // a typed text is returned as typed
    m_combo->setMinimumContentsLength(24);
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (const std::string& entry : entries)
        m_combo->addItem(QString::fromStdString(entry));
    m_combo->setCurrentIndex(entries.empty() ? -1 : 0);
    m_label->setBuddy(m_combo);

    auto* drive = new QHBoxLayout;
    drive->addWidget(m_label);
    drive->addWidget(m_combo, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(drive);
    layout->addWidget(m_hint);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &CSelectDriveDlg::OnOk);
}

int CSelectDriveDlg::exec() {
    if (m_combo->count() == 0) {
        setResult(Rejected);
        return Rejected;
    }
    return QDialog::exec();
}

void CSelectDriveDlg::OnOk() {
    m_selected = m_combo->currentText();
    accept();
}

QWidget* CSelectDriveDlg::Control(int id) const {
    switch (id) {
    case Combo:
        return m_combo;
    case Ok:
        return m_ok;
    case Label:
        return m_label;
    case Hint:
        return m_hint;
    default:
        return nullptr;
    }
}
