// The drive selection and settings dialogs as a user meets them: what they list and show in
// both languages, what each click and key changes, and what Save leaves in the file.
#include "WidgetTestSuites.h"
#include "ui/widgets/CSelectDriveDlg.h"
#include "ui/widgets/CSettingDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr uint16_t kEnglish = 0x09;
constexpr uint16_t kKorean = 0x12;

const QByteArray kCamera = "[blackbox]\r\n"
                           "tat_update=0\r\n"
                           "mic_volume=3\r\n"
                           "voice_volume=2\r\n"
                           "acc_level=4\r\n"
                           "motion_level=5\r\n"
                           "mic_in=1\r\n"
                           "voice_out=0\r\n"
                           "power_off_vlt=12000\r\n"
                           "front_led=1\r\n"
                           "local_time=9\r\n"
                           "version=1.02.17-beta\r\n"
                           "model=mt-700\r\n"
                           "[time]\r\n"
                           "set=0\r\n"
                           "year=2020\r\n";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A card folder with SETTING/blackbox.cfg holding text, and the settings dialog on it.
struct SettingWindow {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("SETTING/blackbox.cfg"));
    std::unique_ptr<CSettingDlg> dlg;
    QStringList told;

    explicit SettingWindow(const QByteArray& text = kCamera, uint16_t language = kEnglish,
                           CivilTime now = CivilTime{2024, 3, 5, 14, 5, 9}) {
        QDir(dir.path()).mkdir(QStringLiteral("SETTING"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        file.close();
        const DeviceSettingsFile settingsFile(dir.path().toStdString(),
                                              [] { return std::optional<std::string>(); });
        const std::optional<DeviceSettings> settings = settingsFile.Load(now);
        QVERIFY(settings.has_value());
        dlg = std::make_unique<CSettingDlg>(settingsFile, *settings, QStringLiteral("0.1.0"),
                                            language, nullptr);
        dlg->SetTell([this](const QString& message) { told << message; });
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    }
    template <class T> T* Get(int id) const {
        auto* control = qobject_cast<T*>(dlg->Control(id));
        if (control == nullptr)
            qFatal("no control %d of that kind", id);
        return control;
    }
    QString Text(int id) const {
        QWidget* control = dlg->Control(id);
        if (auto* group = qobject_cast<QGroupBox*>(control))
            return group->title();
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            return button->text();
        return Get<QLabel>(id)->text();
    }
    QString Shown(int listId) const { return Get<QComboBox>(listId)->currentText(); }
    void Click(int id) const { QTest::mouseClick(dlg->Control(id), Qt::LeftButton); }
    QByteArray File() const { return ReadAll(path); }
};

} // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void driveDialogListsTheCardsAndSelectsTheFirst() {
        CSelectDriveDlg dlg({"/media/a SD CARD", "/media/b SD CARD"}, kEnglish);
        dlg.show();
        auto* combo = static_cast<QComboBox*>(dlg.Control(CSelectDriveDlg::Combo));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), QStringLiteral("/media/b SD CARD"));
        QCOMPARE(combo->currentText(), QStringLiteral("/media/a SD CARD"));
        QVERIFY(combo->isEditable());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Select Drive"));
        QCOMPARE(static_cast<QLabel*>(dlg.Control(CSelectDriveDlg::Label))->text(),
                 QStringLiteral("Select Drive"));
        QCOMPARE(static_cast<QLabel*>(dlg.Control(CSelectDriveDlg::Hint))->text(),
                 QStringLiteral("Select location of blackbox drive"));
        // OK without a change returns the first entry.
        QTest::mouseClick(dlg.Control(CSelectDriveDlg::Ok), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.SelectedDrive(), QStringLiteral("/media/a SD CARD"));
    }

    void driveDialogReturnsATypedRootOrCancels() {
        CSelectDriveDlg dlg({"/media/a SD CARD"}, kKorean);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("드라이브 선택"));
        QCOMPARE(static_cast<QPushButton*>(dlg.Control(CSelectDriveDlg::Ok))->text(),
                 QStringLiteral("확인"));
        QLineEdit* edit = static_cast<QComboBox*>(dlg.Control(CSelectDriveDlg::Combo))->lineEdit();
        edit->selectAll();
        // The start of an entry is not completed to it: the text comes back as typed.
        QTest::keyClicks(edit, QStringLiteral("/media/a"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.SelectedDrive(), QStringLiteral("/media/a"));

        CSelectDriveDlg escaped({"/media/a SD CARD"}, kEnglish);
        escaped.show();
        QTest::keyClick(escaped.Control(CSelectDriveDlg::Combo), Qt::Key_Escape);
        QCOMPARE(escaped.result(), int(QDialog::Rejected));
        QVERIFY(escaped.SelectedDrive().isEmpty());
        CSelectDriveDlg none({}, kEnglish);
        QCOMPARE(none.exec(), int(QDialog::Rejected)); // returns at once, never shown
    }

    void settingsShowTheFile() {
        SettingWindow w;
        QCOMPARE(w.dlg->windowTitle(), QStringLiteral("BlackBox Configuration"));
        QVERIFY(w.Get<QCheckBox>(CSettingDlg::MicCheck)->isChecked());
        QVERIFY(!w.Get<QCheckBox>(CSettingDlg::VoiceCheck)->isChecked());
        QCOMPARE(w.Get<QSlider>(CSettingDlg::MicSlider)->value(), 3);
        QCOMPARE(w.Get<QSlider>(CSettingDlg::VoiceSlider)->value(), 2);
        QCOMPARE(w.Get<QSlider>(CSettingDlg::AccSlider)->value(), 4);
        QCOMPARE(w.Get<QSlider>(CSettingDlg::MotionSlider)->value(), 5);
        for (const int id : {CSettingDlg::MicSlider, CSettingDlg::VoiceSlider,
                             CSettingDlg::AccSlider, CSettingDlg::MotionSlider}) {
            const auto* slider = w.Get<QSlider>(id);
            QCOMPARE(slider->minimum(), 1);
            QCOMPARE(slider->maximum(), 5);
            QCOMPARE(slider->pageStep(), 1);
        }
        QVERIFY(w.Get<QCheckBox>(CSettingDlg::CutOffCheck)->isChecked());
        QCOMPARE(w.Shown(CSettingDlg::CutOffList), QStringLiteral("12.0v/24.0v"));
        QCOMPARE(w.Shown(CSettingDlg::TimeZoneList), QStringLiteral("GMT+09:00 Seoul, Tokyo"));
        QCOMPARE(w.Get<QComboBox>(CSettingDlg::TimeZoneList)->count(), 25);
        QCOMPARE(w.Get<QComboBox>(CSettingDlg::TimeZoneList)->itemText(12),
                 QStringLiteral("GMT-00:00 London, Lisbon, Dublin"));
        QVERIFY(w.Get<QRadioButton>(CSettingDlg::LedOn)->isChecked());
        QVERIFY(!w.Get<QRadioButton>(CSettingDlg::LedOff)->isChecked());
        QCOMPARE(w.Text(CSettingDlg::ViewerText), QStringLiteral("0.1.0"));
        QCOMPARE(w.Text(CSettingDlg::ModelText), QStringLiteral("MV-700"));
        QCOMPARE(w.Text(CSettingDlg::FirmwareText), QStringLiteral("1.02.17-b"));
        // The clock lists show the PC's time, disabled until the synchronisation is ticked.
        const QStringList clock{"2024", "3", "5", "14", "5", "9"};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(w.Shown(CSettingDlg::YearList + i), clock[i]);
            QVERIFY(!w.dlg->Control(CSettingDlg::YearList + i)->isEnabled());
        }
        QCOMPARE(w.Get<QComboBox>(CSettingDlg::YearList + 3)->itemText(0), QStringLiteral("1"));
        QCOMPARE(w.File(), kCamera); // opening writes nothing
    }

    void textsInBothLanguages() {
        SettingWindow w;
        QCOMPARE(w.Text(1166), QStringLiteral("Audio/Sensor"));
        QCOMPARE(w.Text(1222), QStringLiteral("Insensitive"));
        QCOMPARE(w.Text(1211), QStringLiteral("GMT (hour)"));
        QCOMPARE(w.Text(1214), QStringLiteral("Product"));
        QCOMPARE(w.Text(CSettingDlg::LedOff), QStringLiteral("Off"));
        SettingWindow k(kCamera, kKorean);
        QCOMPARE(k.dlg->windowTitle(), QStringLiteral("블랙박스 설정"));
        QCOMPARE(k.Text(1242), QStringLiteral("전방 LED"));
        QCOMPARE(k.Text(CSettingDlg::SaveButton), QStringLiteral("저장"));
        QCOMPARE(k.Shown(CSettingDlg::TimeZoneList), QStringLiteral("GMT+09:00 서울, 도쿄"));
    }

    void slidersAndListsFollowTheirCheckBoxes() {
        SettingWindow w;
        w.Click(CSettingDlg::MicCheck);
        QVERIFY(!w.dlg->Control(CSettingDlg::MicSlider)->isEnabled());
        w.Click(CSettingDlg::VoiceCheck);
        QVERIFY(w.dlg->Control(CSettingDlg::VoiceSlider)->isEnabled());
        w.Click(CSettingDlg::ClockCheck);
        for (int i = 0; i < 6; ++i)
            QVERIFY(w.dlg->Control(CSettingDlg::YearList + i)->isEnabled());
        w.Click(CSettingDlg::CutOffCheck);
        QVERIFY(!w.dlg->Control(CSettingDlg::CutOffList)->isEnabled());
        w.Click(CSettingDlg::LedOff);
        QVERIFY(!w.Get<QRadioButton>(CSettingDlg::LedOn)->isChecked());

        // A cut-off switched on from off shows the voltage Save will write.
        SettingWindow off(QByteArray(kCamera).replace("power_off_vlt=12000", "power_off_vlt=0"));
        QVERIFY(!off.dlg->Control(CSettingDlg::CutOffList)->isEnabled());
        QCOMPARE(off.Get<QComboBox>(CSettingDlg::CutOffList)->currentIndex(), -1);
        off.Click(CSettingDlg::CutOffCheck);
        QVERIFY(off.dlg->Control(CSettingDlg::CutOffList)->isEnabled());
        QCOMPARE(off.Shown(CSettingDlg::CutOffList), QStringLiteral("11.8v/23.8v"));
    }

    void saveWritesWhatTheControlsShowAndCloses() {
        SettingWindow w;
        QTest::keyClick(w.dlg->Control(CSettingDlg::MotionSlider), Qt::Key_Left);
        QTest::keyClick(w.dlg->Control(CSettingDlg::TimeZoneList), Qt::Key_Up);
        w.Click(CSettingDlg::MicCheck);
        w.Click(CSettingDlg::LedOff);
        w.Get<QComboBox>(CSettingDlg::CutOffList)->setCurrentIndex(2);
        w.Click(CSettingDlg::SaveButton);
        QCOMPARE(w.dlg->result(), int(QDialog::Accepted));
        QVERIFY(!w.dlg->isVisible());
        QVERIFY(w.told.isEmpty());
        QByteArray expected = kCamera;
        expected.replace("tat_update=0", "tat_update=1")
            .replace("motion_level=5", "motion_level=4")
            .replace("mic_in=1", "mic_in=0")
            .replace("power_off_vlt=12000", "power_off_vlt=12200")
            .replace("front_led=1", "front_led=0")
            .replace("local_time=9", "local_time=8");
        QCOMPARE(w.File(), expected);
    }

    void enterAndEscapeWriteNothing() {
        SettingWindow w;
        QTest::keyClick(w.dlg->Control(CSettingDlg::AccSlider), Qt::Key_Right);
        QTest::keyClick(w.dlg->Control(CSettingDlg::MicCheck), Qt::Key_Return);
        QVERIFY(w.dlg->isVisible());
        QTest::keyClick(w.dlg->Control(CSettingDlg::AccSlider), Qt::Key_Escape);
        QCOMPARE(w.dlg->result(), int(QDialog::Rejected));
        QCOMPARE(w.File(), kCamera);
    }

    // The PC's year beyond 2024 is in the year list and is sent, not year 0.
    void yearListReachesThePcYear() {
        SettingWindow w(kCamera, kEnglish, CivilTime{2026, 12, 31, 0, 59, 58});
        QCOMPARE(w.Shown(CSettingDlg::YearList), QStringLiteral("2026"));
        QCOMPARE(w.Get<QComboBox>(CSettingDlg::YearList + 3)->currentIndex(), -1); // hour 0
        w.Click(CSettingDlg::ClockCheck);
        w.Click(CSettingDlg::SaveButton);
        QVERIFY(w.File().endsWith("set=1\r\nyear=2026\r\nmonth=12\r\nday=31\r\nhour=0\r\n"
                                  "min=59\r\nsec=58\r\n"));
    }

    // Values no control can show: held at the slider's end or unselected, saved only on Save,
    // and an unselected list's key keeps the file's value.
    void valuesOutsideTheirRange() {
        QByteArray text = kCamera;
        text.replace("mic_volume=3", "mic_volume=9")
            .replace("power_off_vlt=12000", "power_off_vlt=5000")
            .replace("local_time=9", "local_time=40");
        SettingWindow w(text);
        QCOMPARE(w.Get<QSlider>(CSettingDlg::MicSlider)->value(), 5);
        QCOMPARE(w.Get<QComboBox>(CSettingDlg::TimeZoneList)->currentIndex(), -1);
        QVERIFY(w.Get<QCheckBox>(CSettingDlg::CutOffCheck)->isChecked());
        QCOMPARE(w.Get<QComboBox>(CSettingDlg::CutOffList)->currentIndex(), -1);
        QCOMPARE(w.File(), text);
        w.Click(CSettingDlg::SaveButton);
        const QByteArray saved = w.File();
        QVERIFY(saved.contains("\r\nmic_volume=5\r\n"));
        QVERIFY(saved.contains("\r\npower_off_vlt=5000\r\n"));
        QVERIFY(saved.contains("\r\nlocal_time=40\r\n"));
        QVERIFY(saved.contains("\r\ntat_update=1\r\n"));
    }
};

int RunSettingsDialogsTests(int argc, char** argv) {
    SettingsDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsDialogsTest.moc"
