// The playback controller without a window: the list, the rows NEXT and PRE move to, the ends
// of the list, the 10-second and frame steps, the speed and the card going away, on the demo
// card; a dash-cam folder's list and playing.
#include "ui/app/PlaybackController.h"
#include "base/DiagLog.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <memory>

namespace {

// A picture area that takes pictures and throws them away.
class NullArea final : public VPictureArea {
public:
    AreaSize Size() const override { return {64, 36}; }
    int32_t PictureChannels() const override { return 3; }
    void Present(const Picture&) override {}
};

struct Controller {
    DiagLog diag;
    NullArea front, rear;
    std::unique_ptr<PlaybackController> controller;
    CQTRMediaPlayer::StartResult started;

    explicit Controller(const std::string& card) {
        PlaybackController::Options options;
        options.cardFolder = card;
        options.scanRemovable = false;
        options.audio = AudioOutputFactory::Choice::Null;
        controller = std::make_unique<PlaybackController>(options, &diag, false);
        started = controller->Start(&front, &rear);
        controller->PollCard();
    }
};

} // namespace

class PlaybackControllerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!TestCard().empty(), "TATVIEW_TEST_CARD names no card"); }

    void rowsPlayAndNextAndPreStopAtTheEnds() {
        Controller c(TestCard());
        PlaybackController& p = *c.controller;
        QVERIFY(c.started.Ok());
        QVERIFY(p.CardDrive() > 0);
        QSignalSpy rows(&p, &PlaybackController::rowsChanged);
        p.ListRecordings(0); // the three event recordings, newest first
        QCOMPARE(rows.count(), 1);
        QCOMPARE(p.Rows().size(), size_t{3});
        QCOMPARE(p.Rows()[1], std::string("EVENT_20240305_092233_S"));

        QSignalSpy current(&p, &PlaybackController::currentRowChanged);
        QSignalSpy opened(&p, &PlaybackController::recordingOpened);
        QSignalSpy stopped(&p, &PlaybackController::stopped);
        QVERIFY(!p.PlayRow(3));
        QVERIFY(p.PlayRow(1));
        QCOMPARE(p.CurrentRow(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(p.Loaded(), 3000); // once the engine's worker has started it
        QCOMPARE(p.ChannelCount(), 1);
        QCOMPARE(p.DurationSeconds(), int64_t{6});
        QCOMPARE(opened.count(), 1);
        QCOMPARE(current.takeLast().at(0).toInt(), 1);

        p.Next(); // the row above
        QCOMPARE(p.CurrentRow(), 0);
        QCOMPARE(p.ChannelCount(), 2);
        QCOMPARE(current.takeLast().at(0).toInt(), 0);
        p.Next(); // after the first row: stop
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(p.CurrentRow(), -1);
        QVERIFY(!p.Loaded());

        p.Play(-1); // nothing selected: the first row
        QCOMPARE(p.CurrentRow(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.Loaded(), 3000);
        QVERIFY(p.Pause());
        p.Play(0); // the current row: resumes, no new opening
        QCOMPARE(opened.count(), 3);
        QVERIFY(p.PlayRow(2));
        p.Previous(); // below the last row: stop
        QCOMPARE(stopped.count(), 2);
        QVERIFY(!p.Pause());
    }

    void stepsStayInsideTheRecording() {
        Controller c(TestCard());
        PlaybackController& p = *c.controller;
        QVERIFY(!p.StepBack());
        QVERIFY(p.PlayRecording("EVENT_20240305_092233_S"));
        // Every recording of the card is listed and the named one is the current row.
        QVERIFY(p.Rows().size() > 3);
        QCOMPARE(p.Rows()[static_cast<size_t>(p.CurrentRow())],
                 std::string("EVENT_20240305_092233_S"));
        // Six seconds long: neither step fits.
        QVERIFY(!p.StepBack());
        QVERIFY(!p.StepForward());
        QVERIFY(!p.PlayRecording("EVENT_19990101_000000_S"));
    }

    void frameStepsPauseAndMoveThePausedPosition() {
        Controller c(TestCard());
        PlaybackController& p = *c.controller;
        QVERIFY(!p.StepFrames(1)); // nothing loaded
        QVERIFY(p.PlayRecording("EVENT_20240305_092233_S"));
        QTRY_VERIFY_WITH_TIMEOUT(p.CurrentMs() > 300, 5000);
        QSignalSpy playing(&p, &PlaybackController::playingChanged);
        QVERIFY(p.StepFrames(1));
        QVERIFY(!p.Playing());
        QCOMPARE(playing.count(), 1);
        QCOMPARE(playing.takeFirst().at(0).toBool(), false);
        p.SeekToSecond(3);
        // The play time is the time of the picture on screen: frame 90, then frame 87.
        QTRY_COMPARE_WITH_TIMEOUT(p.CurrentMs(), int64_t{3000}, 3000);
        QVERIFY(p.StepFrames(-3));
        QTRY_COMPARE_WITH_TIMEOUT(p.CurrentMs(), int64_t{2900}, 3000);
        QVERIFY(!p.Playing());
        QVERIFY(!p.StepFrames(0));

        // The speed stays for the next recordings.
        p.SetSpeed(400);
        QCOMPARE(p.Speed(), 400);
        QVERIFY(p.PlayRecording("EVENT_20240305_090702_D"));
        QCOMPARE(p.Speed(), 400);
        p.SetSpeed(1);
        QCOMPARE(p.Speed(), 25);
    }

    void theCardGoingEmptiesTheListAndResetsTheVolume() {
        TempDir dir;
        const std::string card = dir.File("card");
        std::filesystem::copy(TestCard(), card, std::filesystem::copy_options::recursive);
        Controller c(card);
        PlaybackController& p = *c.controller;
        QVERIFY(p.CardDrive() > 0);
        p.ListRecordings(4);
        QVERIFY(p.PlayRow(0));
        p.SetDeviceVolume(0);
        QSignalSpy removed(&p, &PlaybackController::cardRemoved);
        std::filesystem::remove_all(card);
        p.PollCard();
        QCOMPARE(removed.count(), 1);
        QCOMPARE(p.CardDrive(), uint8_t{0});
        QVERIFY(p.Rows().empty());
        QCOMPARE(p.CurrentRow(), -1);
        QCOMPARE(p.DeviceVolume(), PlaybackController::kInitialDeviceVolume);
    }

    void aDashcamFolderListsByDateMarksDamageAndPlaysWithItsTelemetry() {
        TempDir dir;
        const std::string record = dir.File("BlackVue/Record/");
        QVERIFY(MakeClip(record + "20240305_090702_NF.mp4", {}));
        ClipSpec rear;
        rear.codec = "libx265";
        rear.audioRate = 0;
        QVERIFY(MakeClip(record + "20240305_090702_NR.mp4", rear));
        WriteFileText(record + "20240305_090702_N.gps",
                      "[1709629622000]$GNRMC,090702.00,A,3733.0000,N,12658.0000,E,10.0,90.0,"
                      "050324,,,A*48\n");
        QVERIFY(MakeClip(record + "20240305_091000_EF.mp4", {}));
        QVERIFY(CutFile(record + "20240305_091000_EF.mp4", 4000));

        Controller c(dir.Path().string());
        PlaybackController& p = *c.controller;
        QCOMPARE(p.CardDrive(), uint8_t{1});
        QCOMPARE(p.FolderSource(), dir.Path().string());
        QVERIFY(p.StorageFolder().empty());
        p.ListRecordings(4); // newest first, whatever the category
        QCOMPARE(p.Rows(), (std::vector<std::string>{"20240305_091000_E", "20240305_090702_N"}));
        QCOMPARE(p.RowTexts()[0].label, std::string("EVT"));
        QCOMPARE(p.RowTexts()[0].dateText, std::string("2024.03.05 09:10:00 (damaged)"));
        QCOMPARE(p.RowTexts()[1].dateText, std::string("2024.03.05 09:07:02"));
        QCOMPARE(p.RowTexts()[1].rear, std::string("0"));
        p.ListRecordings(1);
        QCOMPARE(p.Rows(), std::vector<std::string>{"20240305_090702_N"});
        QVERIFY(p.Source()->Find("20240305_090702_N") >= 0);

        QSignalSpy ended(&p, &PlaybackController::recordingEnded);
        QVERIFY(p.PlayRow(0));
        QCOMPARE(p.ChannelCount(), 2);
        QCOMPARE(p.DurationSeconds(), int64_t{2});
        // The side file's fix, read beside the engine, not through its text lines.
        QTRY_VERIFY_WITH_TIMEOUT(p.FolderTrack() != nullptr, 3000);
        QCOMPARE(p.FolderTrack()->Track().fixes.size(), size_t{1});
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 6000);
        QCOMPARE(p.Telemetry().GpsCount(), size_t{0});

        // The damaged one ends at once instead of playing.
        p.ListRecordings(0);
        QVERIFY(p.PlayRow(0));
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 3000);
    }
};

QTEST_GUILESS_MAIN(PlaybackControllerTest)
#include "PlaybackControllerTest.moc"
