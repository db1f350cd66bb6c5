// The camera's settings from the window as a user reaches them: F3 or the settings button,
// the card confirmed or typed in the drive dialog, values changed in the settings dialog, Save
// or the close box, and the file read back from a copy of the demo card. Each dialog is worked
// from inside its own modal loop, as a user would.
#include "base/ProgramVersion.h"
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"
#include "ui/app/CSamplePlayerDlg.h"
#include "ui/app/SettingsCommand.h"
#include "ui/logic/MainLayout.h"
#include "ui/widgets/CSelectDriveDlg.h"
#include "ui/widgets/CSettingDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

namespace fs = std::filesystem;

namespace {

// Runs one step on each modal dialog that opens, in order, from inside the dialog's loop. A
// dialog that opens with no step left, or stays open 10 s after its step, is rejected and
// noted, so a failing step cannot hang the test.
class ModalSteps {
public:
    using Step = std::function<void(QWidget* dialog)>;

    explicit ModalSteps(std::deque<Step> steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }
    bool AllRan() const { return m_steps.empty() && !m_unexpected && !m_stuck; }
    bool Unexpected() const { return m_unexpected; }
    // Stops watching, before the next command opens dialogs for other steps.
    void Stop() { m_timer.stop(); }
    // What went wrong, for a failure message.
    QByteArray State() const {
        return QByteArray::number(static_cast<int>(m_steps.size())) + " steps left" +
               (m_unexpected ? ", a dialog without a step" : "") +
               (m_stuck ? ", a dialog left open" : "");
    }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            m_current = nullptr;
            return;
        }
        if (modal == m_current) {
            if (m_since.elapsed() > 10000) {
                m_stuck = true;
                static_cast<QDialog*>(modal)->reject();
            }
            return;
        }
        m_current = modal;
        m_since.restart();
        if (m_steps.empty()) {
            m_unexpected = true;
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        const Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(modal);
    }

    std::deque<Step> m_steps;
    QTimer m_timer;
    QWidget* m_current = nullptr;
    QElapsedTimer m_since;
    bool m_unexpected = false;
    bool m_stuck = false;
};

CSelectDriveDlg* AsDrive(QWidget* dialog) {
    return qobject_cast<CSelectDriveDlg*>(dialog);
}
CSettingDlg* AsSettings(QWidget* dialog) {
    return qobject_cast<CSettingDlg*>(dialog);
}

// The drive dialog's steps: OK on the first entry, or a text typed over it first.
void ConfirmFirst(QWidget* dialog) {
    CSelectDriveDlg* drive = AsDrive(dialog);
    QVERIFY(drive != nullptr);
    QTest::mouseClick(drive->Control(CSelectDriveDlg::Ok), Qt::LeftButton);
}
ModalSteps::Step Type(const std::string& text) {
    return [text](QWidget* dialog) {
        CSelectDriveDlg* drive = AsDrive(dialog);
        QVERIFY(drive != nullptr);
        QLineEdit* edit =
            static_cast<QComboBox*>(drive->Control(CSelectDriveDlg::Combo))->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromStdString(text));
        QTest::keyClick(edit, Qt::Key_Return);
    };
}

struct Window {
    TempDir dir;
    std::unique_ptr<CSamplePlayerDlg> dlg;
    QStringList messages;

    Window(const std::string& card, uint16_t language = 0x09) {
        CSamplePlayerDlg::Options options = TestWindowOptions(card, dir);
        options.languageId = language;
        dlg = std::make_unique<CSamplePlayerDlg>(options);
        dlg->SetMessageSink([this](const QString& text) { messages << text; });
        dlg->show();
        dlg->Controller().PollCard();
        QTest::qWait(10);
    }
    void PressF3() const { QTest::keyClick(dlg.get(), Qt::Key_F3); }
    void ClickSettings() const {
        QTest::mouseClick(dlg->Control(ControlId::Settings), Qt::LeftButton);
    }
};

// text with the value of the first "key=" line replaced.
std::string WithValue(std::string text, const std::string& key, const std::string& value) {
    const size_t line = text.find("\r\n" + key + "=");
    if (line == std::string::npos)
        return text + "<no " + key + ">";
    const size_t begin = line + 2 + key.size() + 1;
    return text.replace(begin, text.find("\r\n", begin) - begin, value);
}

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(!TestCard().empty(), "TATVIEW_TEST_CARD names no card");
        fs::copy(TestCard(), m_card, fs::copy_options::recursive);
    }
    // Every test starts from a card whose settings file the viewer has not made yet.
    void init() { fs::remove(m_file); }

    void f3ConfirmChangeSaveAndReadTheFileBack() {
        Window w(m_card);
        std::string prepared;
        ModalSteps steps(
            {[&](QWidget* dialog) {
                 auto* combo =
                     static_cast<QComboBox*>(AsDrive(dialog)->Control(CSelectDriveDlg::Combo));
                 QCOMPARE(combo->count(), 1);
                 QCOMPARE(combo->currentText().toStdString(), m_card + " SD CARD");
                 ConfirmFirst(dialog);
             },
             [&](QWidget* dialog) {
                 CSettingDlg* settings = AsSettings(dialog);
                 QVERIFY(settings != nullptr);
                 prepared = ReadFileText(m_file);
                 QCOMPARE(static_cast<QLabel*>(settings->Control(CSettingDlg::ViewerText))->text(),
                          QString::fromUtf8(ProgramVersion()));
                 QTest::keyClick(settings->Control(CSettingDlg::MicSlider), Qt::Key_Right);
                 QTest::keyClick(settings->Control(CSettingDlg::TimeZoneList), Qt::Key_Down);
                 QTest::mouseClick(settings->Control(CSettingDlg::SaveButton), Qt::LeftButton);
             }});
        w.PressF3();
        QVERIFY2(steps.AllRan(), steps.State());
        QVERIFY(w.messages.isEmpty());
        // Made from the camera's text, CR LF lines; then only the three values changed.
        QVERIFY(prepared.starts_with("[blackbox]\r\ntat_update=0\r\nmic_volume=3\r\n"));
        std::string expected = WithValue(prepared, "tat_update", "1");
        expected = WithValue(expected, "mic_volume", "4");
        expected = WithValue(expected, "local_time", "10");
        QCOMPARE(ReadFileText(m_file), expected);
    }

    void buttonPausesPlaybackAndTheCloseBoxWritesNothing() {
        Window w(m_card);
        w.dlg->Controller().ListRecordings(0);
        QVERIFY(w.dlg->Controller().PlayRow(0));
        QTRY_VERIFY_WITH_TIMEOUT(w.dlg->Controller().CurrentMs() > 300, 5000);
        bool pausedInDialog = false;
        ModalSteps saved(
            {[&](QWidget* dialog) {
                 pausedInDialog = w.dlg->Controller().Loaded() && !w.dlg->Controller().Playing();
                 ConfirmFirst(dialog);
             },
             [&](QWidget* dialog) {
                 QTest::keyClick(AsSettings(dialog)->Control(CSettingDlg::AccSlider), Qt::Key_Left);
                 QTest::mouseClick(AsSettings(dialog)->Control(CSettingDlg::SaveButton),
                                   Qt::LeftButton);
             }});
        w.ClickSettings();
        QVERIFY2(saved.AllRan(), saved.State());
        saved.Stop();
        QVERIFY(pausedInDialog);
        QVERIFY(!w.dlg->Controller().Playing()); // it stays paused
        const std::string afterSave = ReadFileText(m_file);
        QVERIFY(afterSave.find("\r\nacc_level=2\r\n") != std::string::npos);

        // Saved and not yet taken by the camera: the file is kept, and closing writes nothing.
        ModalSteps closed(
            {ConfirmFirst, [&](QWidget* dialog) {
                 CSettingDlg* settings = AsSettings(dialog);
                 QCOMPARE(static_cast<QSlider*>(settings->Control(CSettingDlg::AccSlider))->value(),
                          2);
                 QTest::keyClick(settings->Control(CSettingDlg::AccSlider), Qt::Key_Right);
                 settings->close();
             }});
        w.PressF3();
        QVERIFY2(closed.AllRan(), closed.State());
        QCOMPARE(ReadFileText(m_file), afterSave);
        QVERIFY(w.messages.isEmpty());
    }

    void failedSaveIsToldAndTheDialogStaysOpen() {
        Window w(m_card);
        bool stayedOpen = false;
        std::string prepared;
        ModalSteps steps(
            {Type(m_card), // the root typed without " SD CARD"
             [&](QWidget* dialog) {
                 CSettingDlg* settings = AsSettings(dialog);
                 prepared = ReadFileText(m_file);
                 QTest::keyClick(settings->Control(CSettingDlg::MotionSlider), Qt::Key_Left);
                 WithFileSizeLimit(64, [&] {
                     QTest::mouseClick(settings->Control(CSettingDlg::SaveButton), Qt::LeftButton);
                 });
                 stayedOpen = settings->isVisible();
                 settings->reject();
             }});
        w.PressF3();
        QVERIFY2(steps.AllRan(), steps.State());
        QVERIFY(stayedOpen);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages[0].startsWith(QStringLiteral("The settings could not be saved:\n")));
        QVERIFY(w.messages[0].contains(QString::fromStdString(m_file)));
        QVERIFY(!prepared.empty());
        QCOMPARE(ReadFileText(m_file), prepared);
    }

    void rootWithoutCameraInformationIsTold() {
        TempDir empty;
        Window w(m_card);
        ModalSteps steps({Type(empty.Path().string() + " SD CARD")});
        w.PressF3();
        QVERIFY2(steps.AllRan(), steps.State()); // no settings dialog
        QCOMPARE(w.messages,
                 QStringList{"Blackbox info not found.\nPlease check location of drive"});
        QVERIFY(!fs::exists(empty.Path() / "SETTING"));
        QVERIFY(!fs::exists(m_file));
    }

    void withoutCardsNothingOpens() {
        Window w("");
        ModalSteps none({});
        w.PressF3();
        QTest::qWait(50);
        QVERIFY(!none.Unexpected());
        none.Stop();
        QVERIFY(w.messages.isEmpty());

        // Cancelling the drive dialog changes nothing either.
        Window cancelled(m_card);
        ModalSteps escape({[](QWidget* dialog) {
            QTest::keyClick(AsDrive(dialog)->Control(CSelectDriveDlg::Combo), Qt::Key_Escape);
        }});
        cancelled.PressF3();
        QVERIFY2(escape.AllRan(), escape.State());
        QVERIFY(cancelled.messages.isEmpty());
        QVERIFY(!fs::exists(m_file));
    }

private:
    TempDir m_dir;
    std::string m_card = (m_dir.Path() / "card").string();
    std::string m_file = m_card + "/SETTING/blackbox.cfg";
};

QTEST_MAIN(SettingsTest)
#include "SettingsTest.moc"
