#include "CClipExportDlg.h"

#include "WindowText.h"
#include "resources/strings/StringTable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Texts of the dialog (resources/strings/strings.inc).
constexpr int kTitle = 630;
constexpr int kSpanLabel = 632;
constexpr int kLayoutLabel = 634;
constexpr int kFrontOnly = 636; // then picture-in-picture, side by side, grid, two apart
constexpr int kOverlayText = 644;
constexpr int kQualityLabel = 646;
constexpr int kReencodeText = 648;
constexpr int kLosslessText = 650;
constexpr int kCrfLabel = 652;
constexpr int kPresetLabel = 654;
constexpr int kSoundText = 656;
constexpr int kTargetLabel = 658;
constexpr int kBrowseText = 660;
constexpr int kExportText = 662;
constexpr int kCancelText = 612;
constexpr int kReplaceOne = 600;
constexpr int kReplaceMany = 696;

int LayoutTextId(clips::Layout layout) {
    return kFrontOnly + 2 * static_cast<int>(layout);
}

} // namespace

CClipExportDlg::CClipExportDlg(ClipChoices choices, QWidget* parent)
    : QDialog(parent), m_choices(std::move(choices)), m_span(new QLabel(this)),
      m_layout(new QComboBox(this)), m_overlay(new QCheckBox(this)),
      m_reencode(new QRadioButton(this)), m_lossless(new QRadioButton(this)),
      m_crfSlider(new QSlider(Qt::Horizontal, this)), m_crfBox(new QSpinBox(this)),
      m_preset(new QComboBox(this)), m_notice(new QLabel(this)), m_sound(new QCheckBox(this)),
      m_target(new QLineEdit(this)), m_browse(new QPushButton(this)), m_error(new QLabel(this)),
      m_buttons(new QDialogButtonBox(this)) {
    setWindowTitle(Text(kTitle));
    setModal(true);
    m_askPath = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, QStringLiteral("MP4 (*.mp4)"),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    m_askYesNo = [this](const QString& text) {
        return QMessageBox::question(this, windowTitle(), text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };

    m_span->setText(QString::fromStdString(m_choices.SpanText()));
    m_span->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (const clips::Layout layout : m_choices.Layouts())
        m_layout->addItem(Text(LayoutTextId(layout)), static_cast<int>(layout));
    m_layout->setCurrentIndex(m_layout->findData(static_cast<int>(m_choices.Layout())));
    m_overlay->setText(Text(kOverlayText));
    m_overlay->setChecked(m_choices.Overlay());
    m_reencode->setText(Text(kReencodeText));
    m_lossless->setText(Text(kLosslessText));
    auto* quality = new QButtonGroup(this);
    quality->addButton(m_reencode);
    quality->addButton(m_lossless);
    (m_choices.Lossless() ? m_lossless : m_reencode)->setChecked(true);
    m_crfSlider->setRange(clips::kMinCrf, clips::kMaxCrf);
    m_crfBox->setRange(clips::kMinCrf, clips::kMaxCrf);
    m_crfSlider->setPageStep(1);
    m_crfSlider->setTickPosition(QSlider::TicksBelow);
    m_crfSlider->setValue(m_choices.Crf());
    m_crfBox->setValue(m_choices.Crf());
    for (const std::string& preset : clips::Presets())
        m_preset->addItem(QString::fromStdString(preset));
    m_preset->setCurrentText(QString::fromStdString(m_choices.Preset()));
    m_notice->setWordWrap(true);
    m_sound->setText(Text(kSoundText));
    m_sound->setChecked(m_choices.Sound());
    m_target->setText(QString::fromStdString(m_choices.Target()));
    m_target->setMinimumWidth(360);
    m_browse->setText(Text(kBrowseText));
    m_browse->setAutoDefault(false);
    m_error->setWordWrap(true);
    QPalette red = m_error->palette();
    red.setColor(QPalette::WindowText, QColor(200, 30, 30));
    m_error->setPalette(red);
    m_error->hide();

    m_export = m_buttons->addButton(Text(kExportText), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = m_buttons->addButton(Text(kCancelText), QDialogButtonBox::RejectRole);
    m_export->setDefault(true);
    cancel->setAutoDefault(false);

    auto* crf = new QHBoxLayout;
    crf->addWidget(m_crfSlider, 1);
    crf->addWidget(m_crfBox);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(m_reencode);
    qualityRow->addWidget(m_lossless);
    qualityRow->addStretch();
    auto* target = new QHBoxLayout;
    target->addWidget(m_target, 1);
    target->addWidget(m_browse);
    auto* form = new QFormLayout;
    form->addRow(Text(kSpanLabel), m_span);
    form->addRow(Text(kLayoutLabel), m_layout);
    form->addRow(QString(), m_overlay);
    form->addRow(Text(kQualityLabel), qualityRow);
    form->addRow(Text(kCrfLabel), crf);
    form->addRow(Text(kPresetLabel), m_preset);
    form->addRow(QString(), m_notice);
    form->addRow(QString(), m_sound);
    form->addRow(Text(kTargetLabel), target);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(m_buttons);

    QWidget::setTabOrder(m_layout, m_overlay);
    QWidget::setTabOrder(m_overlay, m_reencode);
    QWidget::setTabOrder(m_reencode, m_lossless);
    QWidget::setTabOrder(m_lossless, m_crfSlider);
    QWidget::setTabOrder(m_crfSlider, m_crfBox);
    QWidget::setTabOrder(m_crfBox, m_preset);
    QWidget::setTabOrder(m_preset, m_sound);
    QWidget::setTabOrder(m_sound, m_target);
    QWidget::setTabOrder(m_target, m_browse);
    QWidget::setTabOrder(m_browse, m_export);
    QWidget::setTabOrder(m_export, cancel);

    connect(m_layout, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_choices.SetLayout(static_cast<clips::Layout>(m_layout->itemData(index).toInt()));
    });
    connect(m_overlay, &QCheckBox::toggled, this, [this](bool on) { m_choices.SetOverlay(on); });
    connect(m_lossless, &QRadioButton::toggled, this, [this](bool on) {
        m_choices.SetLossless(on);
        Sync();
    });
    connect(m_crfSlider, &QSlider::valueChanged, m_crfBox, &QSpinBox::setValue);
    connect(m_crfBox, &QSpinBox::valueChanged, m_crfSlider, &QSlider::setValue);
    connect(m_crfBox, &QSpinBox::valueChanged, this,
            [this](int value) { m_choices.SetCrf(value); });
    connect(m_preset, &QComboBox::currentTextChanged, this,
            [this](const QString& preset) { m_choices.SetPreset(preset.toStdString()); });
    connect(m_sound, &QCheckBox::toggled, this, [this](bool on) { m_choices.SetSound(on); });
    connect(m_target, &QLineEdit::textChanged, this, [this](const QString& path) {
        m_choices.SetTarget(path.toStdString());
        m_error->hide();
    });
    connect(m_browse, &QPushButton::clicked, this, &CClipExportDlg::Browse);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CClipExportDlg::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CClipExportDlg::reject);
    Sync();
    m_layout->setFocus();
}

QString CClipExportDlg::Text(int id) const {
    return WindowText::Text(id, m_choices.Language());
}

void CClipExportDlg::Sync() {
    m_layout->setEnabled(m_choices.LayoutEnabled());
    m_overlay->setEnabled(m_choices.OverlayEnabled());
    for (QWidget* control : {static_cast<QWidget*>(m_crfSlider), static_cast<QWidget*>(m_crfBox),
                             static_cast<QWidget*>(m_preset)})
        control->setEnabled(m_choices.QualityEnabled());
    const QString notice = QString::fromStdString(m_choices.Notice());
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
}

void CClipExportDlg::Browse() {
    const QString chosen = m_askPath(Text(kTargetLabel), m_target->text());
    if (chosen.isEmpty())
        return;
    QString path = chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mp4");
    m_target->setText(path);
}

void CClipExportDlg::accept() {
    const std::string error = m_choices.Error();
    if (!error.empty()) {
        m_error->setText(QString::fromStdString(error));
        m_error->show();
        return;
    }
    const std::vector<std::string> existing = m_choices.ExistingOutputs();
    if (!existing.empty()) {
        QStringList names;
        for (const std::string& file : existing)
            names << QFileInfo(QString::fromStdString(file)).fileName();
        const int id = existing.size() == 1 ? kReplaceOne : kReplaceMany;
        const std::string list = names.join(QStringLiteral(", ")).toStdString();
        if (!m_askYesNo(QString::fromStdString(FormatText(id, m_choices.Language(), list.c_str()))))
            return;
    }
    QDialog::accept();
}
