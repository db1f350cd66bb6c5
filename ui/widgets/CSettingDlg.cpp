#include "CSettingDlg.h"

#include "WindowText.h"
#include "devconfig/ClockChoices.h"
#include "resources/strings/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// Texts of the dialog beyond the template's ids: the LED's radio buttons, a failed save.
constexpr int kOnText = 620;
constexpr int kOffText = 622;
constexpr int kNotSavedText = 624;

constexpr ClockField kClockFields[] = {ClockField::Year, ClockField::Month,  ClockField::Day,
                                       ClockField::Hour, ClockField::Minute, ClockField::Second};

// A row of widgets; a null one stands for a stretch.
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* widget : widgets) {
        if (widget == nullptr)
            row->addStretch();
        else
            row->addWidget(widget);
    }
    return row;
}

} // namespace

CSettingDlg::CSettingDlg(DeviceSettingsFile file, const DeviceSettings& settings,
                         const QString& viewerVersion, uint16_t languageId, const DiagLog* diag,
                         QWidget* parent)
    : QDialog(parent), m_file(std::move(file)), m_settings(settings), m_language(languageId),
      m_diag(diag) {
    setWindowTitle(Text(398));
    m_tell = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    auto* save = new QPushButton(Text(396), this);
    save->setAutoDefault(false);
    m_controls[SaveButton] = save;
    connect(save, &QPushButton::clicked, this, &CSettingDlg::OnSave);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeAudioGroup());
    layout->addWidget(MakeOtherGroup());
    layout->addWidget(MakeVersionGroup(viewerVersion));
    layout->addLayout(Row({nullptr, save}));
    ShowEnabling();
}

QString CSettingDlg::Text(int id) const {
    return WindowText::Text(id, m_language);
}

QWidget* CSettingDlg::Control(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

QWidget* CSettingDlg::MakeLabel(int id, int textId) {
    auto* label = new QLabel(Text(textId), this);
    m_controls[id] = label;
    return label;
}

QWidget* CSettingDlg::MakeSlider(int id, int DeviceSettings::*level) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(DeviceSettings::kLevelMin, DeviceSettings::kLevelMax);
    slider->setTickInterval(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setValue(m_settings.*level);
    connect(slider, &QSlider::valueChanged, this,
            [this, level](int value) { m_settings.*level = value; });
    m_controls[id] = slider;
    return slider;
}

QWidget* CSettingDlg::MakeCheck(int id, bool DeviceSettings::*flag, int labelId) {
    auto* check = new QCheckBox(this);
    check->setAccessibleName(Text(labelId));
    check->setChecked(m_settings.*flag);
    connect(check, &QCheckBox::toggled, this, [this, flag](bool on) {
        if (flag == &DeviceSettings::cutOff)
            m_settings.SetCutOff(on);
        else
            m_settings.*flag = on;
        ShowEnabling();
    });
    m_controls[id] = check;
    return check;
}

QWidget* CSettingDlg::MakeList(int id, const QStringList& texts, std::optional<int> selected) {
    auto* list = new QComboBox(this);
    list->addItems(texts);
    const bool shown = selected && *selected >= 0 && *selected < list->count();
    list->setCurrentIndex(shown ? *selected : -1);
    list->setMaxVisibleItems(12);
    m_controls[id] = list;
    return list;
}

QWidget* CSettingDlg::MakeAudioGroup() {
    auto* group = new QGroupBox(Text(346), this);
    m_controls[1166] = group;
    auto* grid = new QGridLayout(group);
    grid->addLayout(Row({MakeLabel(1220, 348), nullptr, MakeLabel(1221, 350)}), 0, 2);
    grid->addWidget(MakeLabel(1216, 352), 1, 0);
    grid->addWidget(MakeCheck(MicCheck, &DeviceSettings::micIn, 352), 1, 1);
    grid->addWidget(MakeSlider(MicSlider, &DeviceSettings::micVolume), 1, 2);
    grid->addWidget(MakeLabel(1217, 354), 2, 0);
    grid->addWidget(MakeCheck(VoiceCheck, &DeviceSettings::voiceOut, 354), 2, 1);
    grid->addWidget(MakeSlider(VoiceSlider, &DeviceSettings::voiceVolume), 2, 2);
    grid->addLayout(Row({MakeLabel(1222, 358), nullptr, MakeLabel(1223, 360)}), 3, 2);
    grid->addWidget(MakeLabel(1218, 356), 4, 0);
    grid->addWidget(MakeSlider(AccSlider, &DeviceSettings::accLevel), 4, 2);
    grid->addWidget(MakeLabel(1219, 362), 5, 0);
    grid->addWidget(MakeSlider(MotionSlider, &DeviceSettings::motionLevel), 5, 2);
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* CSettingDlg::MakeOtherGroup() {
    auto* group = new QGroupBox(Text(330), this);
    m_controls[1208] = group;
    auto* grid = new QGridLayout(group);

    grid->addWidget(MakeLabel(1210, 338), 0, 0);
    grid->addWidget(MakeCheck(ClockCheck, &DeviceSettings::setClock, 338), 0, 1);
    auto* clock = new QHBoxLayout;
    const int year = m_settings.clock.year;
    for (int i = 0; i < 6; ++i) {
        const ClockField field = kClockFields[i];
        const std::vector<int> values = ClockChoices::Values(field, year);
        QStringList texts;
        for (const int value : values)
            texts << QString::number(value);
        auto* list = static_cast<QComboBox*>(MakeList(
            YearList + i, texts,
            ClockChoices::IndexOf(field, ClockChoices::Get(m_settings.clock, field), year)));
        connect(list, &QComboBox::currentIndexChanged, this, [this, field, values](int index) {
            if (index >= 0)
                ClockChoices::Set(m_settings.clock, field, values[static_cast<size_t>(index)]);
        });
        clock->addWidget(list);
    }
    grid->addLayout(clock, 0, 2);

    grid->addWidget(MakeLabel(1211, 336), 1, 0);
    QStringList zones;
    for (int i = 0; i < kTimeZoneCount; ++i)
        zones << Text(kTimeZoneFirstId + 2 * i);
    const std::optional<int> zone = m_settings.localTime;
    auto* zoneList = static_cast<QComboBox*>(
        MakeList(TimeZoneList, zones,
                 zone ? std::optional<int>(*zone - DeviceSettings::kTimeZoneMin) : std::nullopt));
    connect(zoneList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings.localTime = index + DeviceSettings::kTimeZoneMin;
    });
    grid->addWidget(zoneList, 1, 1, 1, 2);

    grid->addWidget(MakeLabel(1206, 326), 2, 0);
    grid->addWidget(MakeCheck(CutOffCheck, &DeviceSettings::cutOff, 326), 2, 1);
    QStringList volts;
    for (const char* text : DeviceSettings::kCutOffTexts)
        volts << QString::fromLatin1(text);
    auto* voltList = static_cast<QComboBox*>(MakeList(CutOffList, volts, m_settings.cutOffChoice));
    connect(voltList, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_settings.cutOffChoice = index >= 0 ? std::optional<int>(index) : std::nullopt;
    });
    grid->addWidget(voltList, 2, 2);

    grid->addWidget(MakeLabel(1242, 451), 3, 0);
    auto* on = new QRadioButton(Text(kOnText), this);
    auto* off = new QRadioButton(Text(kOffText), this);
    (m_settings.frontLed ? on : off)->setChecked(true);
    m_controls[LedOn] = on;
    m_controls[LedOff] = off;
    connect(on, &QRadioButton::toggled, this,
            [this](bool checked) { m_settings.frontLed = checked; });
    grid->addLayout(Row({on, off, nullptr}), 3, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* CSettingDlg::MakeVersionGroup(const QString& viewerVersion) {
    auto* group = new QGroupBox(Text(340), this);
    m_controls[1212] = group;
    auto* grid = new QGridLayout(group);
    const std::pair<int, QString> texts[] = {
        {ViewerText, viewerVersion},
        {ModelText, QString::fromStdString(m_settings.model)},
        {FirmwareText, QString::fromStdString(m_settings.firmware)}};
    const std::pair<int, int> labels[] = {{1213, 400}, {1214, 342}, {1215, 344}};
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(MakeLabel(labels[row].first, labels[row].second), row, 0);
        auto* text = new QLabel(texts[row].second, this);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_controls[texts[row].first] = text;
        grid->addWidget(text, row, 1);
    }
    grid->setColumnStretch(1, 1);
    return group;
}

void CSettingDlg::ShowEnabling() {
    const DeviceSettings::Enabled enabled = m_settings.EnabledControls();
    Control(MicSlider)->setEnabled(enabled.micSlider);
    Control(VoiceSlider)->setEnabled(enabled.voiceSlider);
    auto* voltList = static_cast<QComboBox*>(Control(CutOffList));
    voltList->setEnabled(enabled.cutOffList);
    voltList->setCurrentIndex(m_settings.cutOffChoice.value_or(-1));
    for (int i = 0; i < 6; ++i)
        Control(YearList + i)->setEnabled(enabled.clockLists);
}

void CSettingDlg::OnSave() {
    const SettingsFileResult result = m_file.Save(m_settings, m_diag);
    if (result.Ok()) {
        accept();
        return;
    }
    const std::string what = m_file.Path() + "\n" + result.Reason();
    m_tell(QString::fromStdString(FormatText(kNotSavedText, m_language, what.c_str())));
}
