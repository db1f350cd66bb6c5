// Drives in the window as a user meets them: a dash-cam folder of back-to-back recordings shown
// as drives, a drive expanded and played from one of its recordings on, the slider and time
// spanning the drive, seeks across its files, the marks of its event recording and G-force
// peak and the keys that go to them, the unit key, and the line that names what plays.
#include "telemetry/NmeaChecksum.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"
#include "ui/app/CSamplePlayerDlg.h"
#include "ui/app/TripView.h"
#include "ui/logic/MainLayout.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/PictureWidget.h"
#include "ui/widgets/RecordingListView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSettings>
#include <QTest>
#include <QTreeWidgetItem>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

namespace {

constexpr int kRecordings = 4;
constexpr int kSeconds = 2;

// Four two-second recordings from 09:00:00 on, the third an event one, a jolt of 0.9 g
// sideways in the fourth's second second; a fifth an hour later. Every second a fix.
bool MakeDrive(const std::string& folder) {
    std::filesystem::create_directories(folder);
    const int starts[] = {0, 2, 4, 6, 3600};
    for (int k = 0; k < kRecordings + 1; ++k) {
        const int at = starts[k];
        char name[40];
        std::snprintf(name, sizeof name, "20240305_%02d%02d%02d_%s", 9 + at / 3600, at / 60 % 60,
                      at % 60, k == 2 ? "E" : "N");
        ClipSpec clip;
        clip.seconds = kSeconds;
        if (!MakeClip(folder + "/" + name + "F.mp4", clip))
            return false;
        std::string gps;
        for (int s = 0; s < kSeconds; ++s) {
            const long long stamp = 1709629200LL + at + s;
            char body[128];
            std::snprintf(body, sizeof body,
                          "GNRMC,09%02d%02d.00,A,3733.0000,N,12658.%04d,E,38.9,90.0,050324,,,A",
                          (at + s) / 60 % 60, (at + s) % 60, 10 * (at + s));
            gps += "[" + std::to_string(stamp * 1000) + "]" + nmea::WithChecksum(body) + "\n";
            const bool jolt = k == 3 && s == 1;
            gps += "[" + std::to_string(stamp * 1000 + 500) + "]$GSENSOR," +
                   (jolt ? "0.9" : "0.0") + ",0.0,1.0\n";
        }
        WriteFileText(folder + "/" + name + ".gps", gps);
        // Closed by the camera when its recording ended.
        const std::time_t end = 1709629200 + at + kSeconds;
        const auto when =
            std::filesystem::file_time_type::clock::now() +
            (std::chrono::system_clock::from_time_t(end) - std::chrono::system_clock::now());
        std::filesystem::last_write_time(folder + "/" + name + "F.mp4", when);
    }
    return true;
}

} // namespace

class TripWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        m_dir = std::make_unique<TempDir>();
        QVERIFY(MakeDrive(m_dir->File("drive")));
    }

    void aDriveIsListedExpandedAndPlayedAcrossItsFiles() {
        TempDir home;
        const CSamplePlayerDlg::Options options = TestWindowOptions(m_dir->File("drive"), home);
        auto dlg = std::make_unique<CSamplePlayerDlg>(options);
        QStringList messages;
        dlg->SetMessageSink([&messages](const QString& text) { messages << text; });
        dlg->show();
        QTest::qWait(10);
        auto* list = static_cast<RecordingListView*>(dlg->Control(ControlId::List));
        auto* toggle = static_cast<QAbstractButton*>(dlg->Control(ControlId::TripView));
        auto* slider = static_cast<CBitmapSlider*>(dlg->Control(ControlId::Position));
        PlaybackController& controller = dlg->Controller();

        controller.PollCard();
        dlg->OnOpen();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        QCOMPARE(list->TripCount(), 0); // the plain view first
        QVERIFY(toggle->isVisible());
        toggle->click();
        QVERIFY(dlg->Trips().Shown());
        // Newest first: the later recording alone, then the drive of four.
        QCOMPARE(list->TripCount(), 2);
        QCOMPARE(list->MemberCount(1), kRecordings);
        QCOMPARE(list->MemberName(1, 2), QStringLiteral("20240305_090004_E"));
        // The view is kept in the profile.
        QVERIFY(QSettings(options.profileFolder + "/varnelplayer.ini", QSettings::IniFormat)
                    .value("Trips/View")
                    .toBool());

        // Expand the drive and double-click its second recording: the drive plays from there.
        QTreeWidgetItem* drive = list->topLevelItem(1);
        list->expandItem(drive);
        QVERIFY(drive->isExpanded());
        const QRect rect = list->visualItemRect(drive->child(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(controller.PlayingTrip() != nullptr);
        QCOMPARE(controller.DurationSeconds(), int64_t{kRecordings * kSeconds});
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() >= 2000; }, 5000));
        QCOMPARE(controller.CurrentRecordingName(), std::string("20240305_090002_N"));
        auto* front = static_cast<PictureWidget*>(dlg->Control(ControlId::FrontPicture));
        QVERIFY(WaitUntil([&] { return !front->CurrentImage().isNull(); }, 5000));
        // It plays on into the next file.
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() >= 4300; }, 6000));
        QCOMPARE(controller.CurrentRecordingName(), std::string("20240305_090004_E"));
        QVERIFY(dlg->InfoLine()->text().contains(QStringLiteral("20240305_090004_E")));
        QVERIFY(dlg->InfoLine()->text().contains(QStringLiteral("2024.03.05 09:00:0")));

        // A seek back across two files.
        dlg->OnPause();
        controller.SeekToMs(1500);
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() < 2000; }, 5000));
        QCOMPARE(controller.CurrentRecordingName(), std::string("20240305_090000_N"));

        // The marks: the event recording at 4 s, the jolt in the fourth recording's second
        // second; Ctrl+Right goes to each in turn, Ctrl+Left back.
        QVERIFY(WaitUntil([&] { return dlg->Trips().Marks().Markers().size() >= 2; }, 5000));
        const auto& marks = dlg->Trips().Marks().Markers();
        QCOMPARE(marks[0].timeMs, int64_t{4000});
        QCOMPARE(marks[0].kind, MarkerKind::Event);
        QVERIFY(marks[1].kind == MarkerKind::GForce);
        QVERIFY(marks[1].timeMs >= 6500 && marks[1].timeMs <= 7600);
        QCOMPARE(static_cast<int>(slider->Markers().size()), static_cast<int>(marks.size()));
        QTest::keyClick(dlg.get(), Qt::Key_Right, Qt::ControlModifier);
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() >= 3900; }, 5000));
        QCOMPARE(controller.CurrentRecordingName(), std::string("20240305_090004_E"));
        QTest::keyClick(dlg.get(), Qt::Key_Right, Qt::ControlModifier);
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() >= 6400; }, 5000));
        QTest::keyClick(dlg.get(), Qt::Key_Left, Qt::ControlModifier);
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() < 4500; }, 5000));

        // The unit key: the speed reads in mph, and the choice is kept.
        const SpeedUnit before = dlg->Trips().Unit();
        QTest::keyClick(dlg.get(), Qt::Key_U);
        QVERIFY(dlg->Trips().Unit() != before);
        auto* speed = static_cast<QLabel*>(dlg->Control(ControlId::Speed));
        const QString unitName = dlg->Trips().Unit() == SpeedUnit::kMph ? "mph" : "Km/h";
        QVERIFY(WaitUntil([&] { return speed->text().endsWith(unitName); }, 3000));
        QCOMPARE(QSettings(options.profileFolder + "/varnelplayer.ini", QSettings::IniFormat)
                     .value("Units/Speed")
                     .toString(),
                 QString::fromLatin1(speedunit::Word(dlg->Trips().Unit())));
        // 72 km/h is 44 mph.
        if (dlg->Trips().Unit() == SpeedUnit::kMph)
            QCOMPARE(speed->text(), QStringLiteral("44mph"));

        // The clip's marks: "i" here, "o" a little later, both on the slider.
        QTest::keyClick(dlg.get(), Qt::Key_I);
        QVERIFY(dlg->Trips().Clip().Start().has_value());
        controller.SeekToMs(6200);
        QVERIFY(WaitUntil([&] { return controller.CurrentMs() >= 6000; }, 5000));
        QTest::keyClick(dlg.get(), Qt::Key_O);
        QVERIFY(dlg->Trips().Clip().End().has_value());
        QVERIFY(*dlg->Trips().Clip().Start() < *dlg->Trips().Clip().End());
        int clipMarks = 0;
        for (const SliderMarker& mark : slider->Markers())
            clipMarks += mark.kind == MarkerKind::ClipIn || mark.kind == MarkerKind::ClipOut;
        QCOMPARE(clipMarks, 2);
        dlg->OnStop();
    }

    void aCopiedDrivesLengthIsReadFromItsFiles() {
        // Copied files: their times tell nothing of the recording's length, so the listing
        // knows none; the row shows the length the files play once the figures are read.
        TempDir home;
        const std::string folder = home.File("copied");
        std::filesystem::create_directories(folder);
        ClipSpec clip;
        clip.seconds = 3;
        QVERIFY(MakeClip(folder + "/20240305_100000_NF.mp4", clip));
        auto dlg = std::make_unique<CSamplePlayerDlg>(TestWindowOptions(folder, home));
        dlg->show();
        auto* list = static_cast<RecordingListView*>(dlg->Control(ControlId::List));
        dlg->Controller().PollCard();
        dlg->OnOpen();
        static_cast<QAbstractButton*>(dlg->Control(ControlId::TripView))->click();
        QCOMPARE(list->TripCount(), 1);
        QVERIFY2(
            WaitUntil([&] { return list->topLevelItem(0)->text(4).startsWith("00:03"); }, 10000),
            qPrintable(list->topLevelItem(0)->text(4)));
    }

private:
    std::unique_ptr<TempDir> m_dir;
};

QTEST_MAIN(TripWindowTest)
#include "TripWindowTest.moc"
