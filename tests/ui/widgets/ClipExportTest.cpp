// The clip export dialog and the export's controller as a user meets them: what the dialog
// offers and disables for a lossless copy, its keys, the questions before files are replaced;
// the export on a thread of its own with its progress window, Cancel, the one message at its
// end, and an export that runs while its controller goes.
#include "WidgetTestSuites.h"
#include "ui/widgets/CClipExportDlg.h"
#include "ui/widgets/CProgressDlg.h"
#include "ui/widgets/ClipExportController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr uint16_t kEnglish = 0x09;
constexpr uint16_t kKorean = 0x12;

ClipEnds Ends() {
    ClipEnds ends;
    ends.from = {"20240305_090000_N", 4000};
    ends.to = {"20240305_090000_N", 9000};
    ends.line = {4000, 9000};
    ends.wallStartSec = CivilTime{2024, 3, 5, 9, 0, 4}.ToSeconds();
    ends.wallEndSec = CivilTime{2024, 3, 5, 9, 0, 9}.ToSeconds();
    return ends;
}

bool HasHangul(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3)
            return true;
    return false;
}

// The dialog over a temporary folder, shown and active.
struct ClipDialog {
    QTemporaryDir dir;
    std::unique_ptr<CClipExportDlg> dlg;
    QStringList asked;
    bool answer = true;

    explicit ClipDialog(int cameras = 2, uint16_t language = kEnglish) {
        ClipChoices choices(Ends(), cameras, language);
        choices.SetTarget(Path("clip.mp4").toStdString());
        dlg = std::make_unique<CClipExportDlg>(std::move(choices), nullptr);
        dlg->SetAskYesNo([this](const QString& text) {
            asked << text;
            return answer;
        });
        dlg->setModal(false);
        dlg->show();
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
};

// Stands in for clips::Export: reports progress until it is cancelled or has reported
// `frames` pictures, noting the thread it ran on.
struct FakeExport {
    int64_t frames = 1'000'000'000;
    std::atomic<bool> sawCancel{false};
    std::atomic<bool> returned{false};
    std::atomic<std::thread::id> thread{};

    ClipExportController::ExportFn Fn() {
        return [this](const clips::ClipRequest& request, const clips::ProgressFn& progress,
                      const std::atomic<bool>& cancel) {
            thread = std::this_thread::get_id();
            clips::ClipResult result;
            for (int64_t done = 0; done < frames; ++done) {
                if (cancel.load()) {
                    sawCancel = true;
                    result.cancelled = true;
                    returned = true;
                    return result;
                }
                progress({done, frames, static_cast<double>(frames - done) / 100.0});
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            result.ok = true;
            result.written = {request.outPath, "/v/clip.manifest.json", "/v/clip.report.txt"};
            returned = true;
            return result;
        };
    }
};

} // namespace

class ClipExportTest : public QObject {
    Q_OBJECT
private slots:
    void losslessDisablesTheEncodersChoicesAndShowsItsNotice() {
        ClipDialog w;
        CClipExportDlg& dlg = *w.dlg;
        QVERIFY(dlg.SpanLabel()->text().contains(QStringLiteral("09:00:04")));
        QCOMPARE(dlg.LayoutBox()->count(), 4);
        QCOMPARE(dlg.LayoutBox()->currentText(),
                 QStringLiteral("Front with rear picture-in-picture"));
        QVERIFY(dlg.OverlayBox()->isChecked());
        QCOMPARE(dlg.CrfSlider()->value(), clips::kDefaultCrf);
        QCOMPARE(dlg.CrfBox()->minimum(), clips::kMinCrf);
        QCOMPARE(dlg.CrfBox()->maximum(), clips::kMaxCrf);
        QCOMPARE(dlg.PresetBox()->currentText(), QString::fromLatin1(clips::kDefaultPreset));
        QCOMPARE(dlg.PresetBox()->count(), static_cast<int>(clips::Presets().size()));
        QVERIFY(dlg.ReencodeButton()->isChecked());
        QVERIFY(dlg.NoticeLabel()->isHidden());

        QTest::mouseClick(dlg.LosslessButton(), Qt::LeftButton);
        QVERIFY(dlg.Choices().Lossless());
        for (QWidget* control :
             {static_cast<QWidget*>(dlg.LayoutBox()), static_cast<QWidget*>(dlg.OverlayBox()),
              static_cast<QWidget*>(dlg.CrfSlider()), static_cast<QWidget*>(dlg.CrfBox()),
              static_cast<QWidget*>(dlg.PresetBox())})
            QVERIFY(!control->isEnabled());
        QVERIFY(dlg.SoundBox()->isEnabled());
        QVERIFY(dlg.NoticeLabel()->isVisible());
        QVERIFY(dlg.NoticeLabel()->text().contains(QStringLiteral("key frame before the mark")));

        QTest::mouseClick(dlg.ReencodeButton(), Qt::LeftButton);
        QVERIFY(!dlg.Choices().Lossless());
        QVERIFY(dlg.LayoutBox()->isEnabled() && dlg.CrfBox()->isEnabled());
        QVERIFY(dlg.NoticeLabel()->isHidden());

        // The controls are the choices.
        dlg.LayoutBox()->setCurrentIndex(3);
        QCOMPARE(dlg.Choices().Layout(), clips::Layout::kGrid);
        dlg.CrfSlider()->setValue(27);
        QCOMPARE(dlg.CrfBox()->value(), 27);
        QCOMPARE(dlg.Choices().Crf(), 27);
        dlg.PresetBox()->setCurrentText(QStringLiteral("slow"));
        QCOMPARE(dlg.Choices().Preset(), std::string("slow"));
        for (QCheckBox* box : {dlg.OverlayBox(), dlg.SoundBox()}) // on the box, left of the text
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QVERIFY(!dlg.Choices().Overlay() && !dlg.Choices().Sound());

        // One camera: the front alone, nothing to choose.
        ClipDialog single(1);
        QCOMPARE(single.dlg->LayoutBox()->count(), 1);
        QVERIFY(!single.dlg->LayoutBox()->isEnabled());
    }

    void theKeyboardDrivesTheDialog() {
        ClipDialog w;
        CClipExportDlg& dlg = *w.dlg;
        // Tab walks the controls in the order shown, up to Export.
        dlg.LayoutBox()->setFocus();
        QTRY_VERIFY(dlg.LayoutBox()->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(dlg.OverlayBox()->hasFocus());
        for (int k = 0; k < 12 && !dlg.CrfBox()->hasFocus(); ++k)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(dlg.CrfBox()->hasFocus());
        QTest::keyClick(dlg.CrfBox(), Qt::Key_Up);
        QCOMPARE(dlg.Choices().Crf(), clips::kDefaultCrf + 1);
        QCOMPARE(dlg.CrfSlider()->value(), clips::kDefaultCrf + 1);
        for (int k = 0; k < 12 && !dlg.TargetEdit()->hasFocus(); ++k)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(dlg.TargetEdit()->hasFocus());

        // Enter without a target: the reason under the choices, the dialog stays.
        dlg.TargetEdit()->clear();
        QTest::keyClick(dlg.TargetEdit(), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.ErrorLabel()->isVisible());
        QVERIFY(dlg.ErrorLabel()->text().contains(QStringLiteral("Choose the file")));
        QTest::keyClicks(dlg.TargetEdit(), w.Path(QStringLiteral("typed.mp4")));
        QVERIFY(dlg.ErrorLabel()->isHidden());
        QTest::keyClick(dlg.TargetEdit(), Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(dlg.Choices().Target(), w.Path(QStringLiteral("typed.mp4")).toStdString());
        QVERIFY(w.asked.isEmpty());

        // Escape cancels.
        ClipDialog other;
        QTest::keyClick(other.dlg.get(), Qt::Key_Escape);
        QVERIFY(!other.dlg->isVisible());
        QCOMPARE(other.dlg->result(), static_cast<int>(QDialog::Rejected));
    }

    void filesThatWouldBeReplacedAreAskedAboutAndBrowseFillsTheTarget() {
        ClipDialog w;
        CClipExportDlg& dlg = *w.dlg;
        QFile(w.Path(QStringLiteral("clip.mp4"))).open(QIODevice::WriteOnly);
        QFile(w.Path(QStringLiteral("clip.report.txt"))).open(QIODevice::WriteOnly);
        w.answer = false;
        QTest::mouseClick(dlg.ExportButton(), Qt::LeftButton);
        QCOMPARE(w.asked.size(), 1);
        QVERIFY(w.asked.front().contains(QStringLiteral("clip.mp4, clip.report.txt")));
        QVERIFY(dlg.isVisible()); // No: nothing is replaced
        w.answer = true;
        QTest::mouseClick(dlg.ExportButton(), Qt::LeftButton);
        QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));

        ClipDialog browsed;
        QString suggested;
        browsed.dlg->SetAskPath([&](const QString&, const QString& start) {
            suggested = start;
            return browsed.Path(QStringLiteral("chosen"));
        });
        QTest::mouseClick(browsed.dlg->BrowseButton(), Qt::LeftButton);
        QCOMPARE(suggested, browsed.Path(QStringLiteral("clip.mp4")));
        QCOMPARE(browsed.dlg->TargetEdit()->text(), browsed.Path(QStringLiteral("chosen.mp4")));
        QCOMPARE(browsed.dlg->Choices().Target(),
                 browsed.Path(QStringLiteral("chosen.mp4")).toStdString());
        // A Browse… the user cancels leaves the target alone.
        browsed.dlg->SetAskPath([](const QString&, const QString&) { return QString(); });
        QTest::mouseClick(browsed.dlg->BrowseButton(), Qt::LeftButton);
        QCOMPARE(browsed.dlg->TargetEdit()->text(), browsed.Path(QStringLiteral("chosen.mp4")));
    }

    void theDialogSpeaksTheUsersLanguage() {
        ClipDialog korean(2, kKorean);
        QVERIFY(HasHangul(korean.dlg->windowTitle()));
        QVERIFY(HasHangul(korean.dlg->ExportButton()->text()));
        QVERIFY(HasHangul(korean.dlg->LayoutBox()->itemText(1)));
        ClipDialog english;
        QCOMPARE(english.dlg->windowTitle(), QStringLiteral("Export incident clip"));
        QCOMPARE(english.dlg->ExportButton()->text(), QStringLiteral("Export"));
    }

    void anExportRunsOnAThreadOfItsOwnAndTellsItsEnd() {
        QWidget window;
        ClipExportController controller(kEnglish, &window);
        FakeExport fake;
        fake.frames = 150;
        controller.SetExport(fake.Fn());
        QSignalSpy finished(&controller, &ClipExportController::finished);
        clips::ClipRequest request;
        request.outPath = "/v/clip.mp4";
        QVERIFY(controller.Start(request));
        QVERIFY(controller.Busy());
        QVERIFY(!controller.Start(request)); // one at a time
        QVERIFY(controller.Progress().isVisible());
        QVERIFY(controller.Progress().windowTitle().contains(QStringLiteral("Exporting")));
        // Its progress reaches the window: frames done of the total and the time left.
        QTRY_VERIFY_WITH_TIMEOUT(
            controller.Progress().FileText().contains(QStringLiteral("of 150 frames, ")), 5000);
        QTRY_VERIFY(controller.Progress().FrameMaximum() == 150);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(fake.thread.load() != std::this_thread::get_id());
        QVERIFY(!controller.Busy());
        QVERIFY(!controller.Progress().isVisible());
        const QString message = finished.front().front().toString();
        QVERIFY2(message.startsWith(QStringLiteral("The clip was saved: /v/clip.mp4")),
                 qPrintable(message));
        QVERIFY(message.contains(QStringLiteral("clip.manifest.json, clip.report.txt")));
        QVERIFY(controller.Result().ok);
        // And another may start after it.
        QVERIFY(controller.Start(request));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
    }

    void cancelStopsTheExport() {
        QWidget window;
        ClipExportController controller(kKorean, &window);
        FakeExport fake;
        controller.SetExport(fake.Fn());
        QSignalSpy finished(&controller, &ClipExportController::finished);
        QVERIFY(controller.Start({}));
        QTRY_VERIFY_WITH_TIMEOUT(HasHangul(controller.Progress().FileText()), 5000);
        QTest::mouseClick(controller.Progress().CancelButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QVERIFY(fake.sawCancel);
        QVERIFY(!controller.Busy());
        QVERIFY(controller.Result().cancelled);
        QVERIFY(HasHangul(finished.front().front().toString()));
        // A new export starts with the flag down again.
        fake.sawCancel = false;
        fake.frames = 3;
        QVERIFY(controller.Start({}));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        QVERIFY(!fake.sawCancel);
        QVERIFY(controller.Result().ok);
    }

    void aControllerThatGoesWhileItsExportRunsCancelsItAndWaits() {
        QWidget window;
        FakeExport fake;
        auto controller = std::make_unique<ClipExportController>(kEnglish, &window);
        controller->SetExport(fake.Fn());
        QVERIFY(controller->Start({}));
        QTRY_VERIFY_WITH_TIMEOUT(!controller->Progress().FileText().startsWith("0 of 0"), 5000);
        controller.reset();
        QVERIFY(fake.sawCancel);
        QVERIFY(fake.returned);
        QTest::qWait(50); // its queued end goes with the controller
    }
};

int RunClipExportTests(int argc, char** argv) {
    ClipExportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ClipExportTest.moc"
