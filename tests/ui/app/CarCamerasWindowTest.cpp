// A car's recordings in the window: the car readout following the play time (speed, gear,
// pedals, wheel, signals, assist) after seeks and with the other unit, nothing shown for a clip
// without data; the grid of more than two cameras (keys 1 to 6, a click on a picture, the main
// camera kept in the profile across a restart); snapshots named by the cameras; and the six
// panes of a six-camera car folder each showing its own camera, and the shipped program's
// screenshot of it, also when given one camera's file. Beside them, each camera's colour in its
// pane for a front and rear pair, the rear at a rate of its own.
#include "tests/support/CarSeiClips.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"
#include "ui/app/AppProfile.h"
#include "ui/app/CSamplePlayerDlg.h"
#include "ui/app/CameraPanes.h"
#include "ui/app/SnapshotCommand.h"
#include "ui/logic/CameraGrid.h"
#include "ui/logic/MainLayout.h"
#include "ui/logic/StatusText.h"
#include "ui/widgets/CarReadoutWidget.h"
#include "ui/widgets/PictureWidget.h"

#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kCarCameras = {"front",          "back",        "left_repeater",
                                              "right_repeater", "left_pillar", "right_pillar"};
// One plain colour per camera, far apart.
const char* const kColours[] = {"0xFF0000", "0x00FF00", "0x0000FF",
                                "0xFFFF00", "0xFF00FF", "0x00FFFF"};
const QRgb kRgb[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),
                     qRgb(255, 255, 0), qRgb(255, 0, 255), qRgb(0, 255, 255)};

constexpr const char* kName = "2024-03-05_09-07-02";

// The car's state with packet k: every field moves with k.
TimedCarState StateOf(int k) {
    TimedCarState s;
    s.frameNumber = static_cast<uint64_t>(k);
    s.speedMps = 10.0 + 0.25 * k;
    s.gear = k < 30 ? CarGear::kReverse : CarGear::kDrive;
    s.acceleratorPercent = static_cast<double>(k);
    s.brake = k < 10;
    s.steeringDegrees = 2.0 * k - 60.0;
    s.blinkerLeft = k >= 45;
    s.assist = k >= 30 ? DriveAssist::kAutosteer : DriveAssist::kOff;
    return s;
}

// A car's recording in TeslaCam/SavedClips of `cameras` cameras, two seconds at 30 fps, each
// camera a plain colour (kColours), the front one with the car's message before each picture
// (StateOf) unless withData is false. packetTimesMs: the front pictures' times, file order.
bool MakeCarFolder(const TempDir& dir, int cameras, bool withData,
                   std::vector<int64_t>* packetTimesMs = nullptr, double seconds = 2.0) {
    const std::string folder = dir.File(std::string("TeslaCam/SavedClips/") + kName + "/");
    ClipSpec spec;
    spec.audioRate = 0;
    spec.seconds = seconds;
    for (int c = 0; c < cameras; ++c) {
        spec.color = kColours[c];
        const std::string file =
            folder + kName + "-" + kCarCameras[static_cast<size_t>(c)] + ".mp4";
        if (c == 0 && withData) {
            std::vector<TimedCarState> states;
            for (int k = 0; k < 60; ++k)
                states.push_back(StateOf(k));
            if (!carsei::MakeCarClip(file, states, spec, packetTimesMs))
                return false;
        } else if (!MakeClip(file, spec)) {
            return false;
        }
    }
    return true;
}

struct Window {
    std::unique_ptr<CSamplePlayerDlg> dlg;
    QString profile;

    Window(const std::string& folder, const TempDir& dir) {
        const CSamplePlayerDlg::Options options = TestWindowOptions(folder, dir);
        profile = options.profileFolder;
        dlg = std::make_unique<CSamplePlayerDlg>(options);
        dlg->SetMessageSink([](const QString&) {});
        dlg->show();
        QTest::qWait(10);
    }
    PlaybackController& Controller() { return dlg->Controller(); }
    CameraPanes& Cameras() { return dlg->Cameras(); }
    CarReadoutWidget& Readout() const {
        return *static_cast<CarReadoutWidget*>(dlg->Control(ControlId::CarReadout));
    }
    QString SpeedLabel() const {
        return static_cast<QLabel*>(dlg->Control(ControlId::Speed))->text();
    }
    // Plays the car's recording, its telemetry read, and pauses.
    bool PlayAndPause() {
        if (!Controller().PlayRecording(kName))
            return false;
        const bool read = WaitUntil(
            [&] { return Controller().FolderTrack() != nullptr && Controller().CurrentMs() > 200; },
            8000);
        dlg->OnPause();
        return read;
    }
    void Key(Qt::Key key) { QTest::keyClick(dlg.get(), key); }
};

// The state the readout should show at a play time: that of the last picture at or before it.
std::optional<TimedCarState> ExpectedAt(const std::vector<int64_t>& times, int64_t playMs) {
    std::optional<TimedCarState> found;
    int64_t best = -1;
    for (size_t k = 0; k < times.size(); ++k)
        if (times[k] <= playMs && times[k] >= best) {
            best = times[k];
            found = StateOf(static_cast<int>(k));
        }
    return found;
}

// The share of a picture's sample points near the colour.
double ShareOf(const QImage& image, QRgb colour) {
    if (image.isNull())
        return 0;
    int near = 0;
    int all = 0;
    for (int gy = 1; gy < 8; ++gy)
        for (int gx = 1; gx < 8; ++gx) {
            const QRgb p = image.pixel(gx * image.width() / 8, gy * image.height() / 8);
            near += std::abs(qRed(p) - qRed(colour)) < 60 &&
                    std::abs(qGreen(p) - qGreen(colour)) < 60 &&
                    std::abs(qBlue(p) - qBlue(colour)) < 60;
            ++all;
        }
    return static_cast<double>(near) / all;
}

QRect RectOf(const Rect& r) {
    return {r.x, r.y, r.w, r.h};
}

} // namespace

class CarCamerasWindowTest : public QObject {
    Q_OBJECT
private slots:
    void carReadoutFollowsThePlayTimeAcrossSeeksAndUnits() {
        TempDir dir;
        std::vector<int64_t> times;
        QVERIFY(MakeCarFolder(dir, 2, true, &times));
        QCOMPARE(times.size(), size_t{60});
        Window w(dir.Path().string(), dir);
        QVERIFY(w.PlayAndPause());

        // What the window shows once the readout caught up with the paused time.
        const auto showsStateAtPlayTime = [&] {
            return WaitUntil(
                [&] {
                    const std::optional<TimedCarState> s =
                        ExpectedAt(times, w.Controller().CurrentMs());
                    const CarReadout& r = w.Readout().Readout();
                    return s && r.shown && w.Readout().isVisible() &&
                           std::abs(r.speedKmh - *s->speedMps * 3.6) < 1e-6;
                },
                3000);
        };
        for (const int64_t ms : {1500, 300, 1200}) { // forward, back, forward
            w.Controller().SeekToMs(ms);
            QVERIFY2(showsStateAtPlayTime(), std::to_string(ms).c_str());
            const TimedCarState s = *ExpectedAt(times, w.Controller().CurrentMs());
            const CarReadout& r = w.Readout().Readout();
            QCOMPARE(r.gear, std::string(CarGearName(*s.gear)));
            QCOMPARE(r.acceleratorPercent, static_cast<int>(std::lround(*s.acceleratorPercent)));
            QCOMPARE(r.brake, *s.brake);
            QCOMPARE(r.steeringDegrees, *s.steeringDegrees);
            QCOMPARE(r.blinkerLeft, *s.blinkerLeft);
            QCOMPARE(r.assist, std::string(*s.assist == DriveAssist::kOff ? "" : "autosteer"));
            // The car's speed in the status line, where no receiver gives one.
            QCOMPARE(w.SpeedLabel(),
                     QString::fromStdString(StatusText::SpeedText(*s.speedMps * 3.6)));
            // The left arrow is lit green while the signal blinks, grey otherwise.
            const QImage shown = w.Readout().grab().toImage();
            const QRgb arrow = shown.pixel(8, 16);
            QCOMPARE(qGreen(arrow) > 150 && qRed(arrow) < 120, *s.blinkerLeft);
        }
        // The other unit, for the readout and the status line alike.
        w.Key(Qt::Key_U);
        QVERIFY(WaitUntil([&] { return w.Readout().Readout().unitText == "mph"; }, 3000));
        const TimedCarState s = *ExpectedAt(times, w.Controller().CurrentMs());
        QCOMPARE(w.SpeedLabel(),
                 QString::fromStdString(StatusText::SpeedText(*s.speedMps * 3.6, SpeedUnit::kMph)));
        QCOMPARE(w.Readout().Readout().speedText,
                 std::to_string(static_cast<int>(*s.speedMps * 3.6 / 1.609344)));
        // Two cameras keep their panes: the digits do nothing.
        const QRect front = w.dlg->Control(ControlId::FrontPicture)->geometry();
        w.Key(Qt::Key_2);
        QCOMPARE(w.dlg->Control(ControlId::FrontPicture)->geometry(), front);
        QCOMPARE(front, RectOf(kLargeSlot));
        QVERIFY(!w.Cameras().Grid());
    }

    void aClipWithoutCarDataShowsNoReadout() {
        TempDir dir;
        QVERIFY(MakeCarFolder(dir, 2, false));
        Window w(dir.Path().string(), dir);
        QVERIFY(w.PlayAndPause());
        w.Controller().SeekToMs(1000);
        QTest::qWait(400);
        QVERIFY(!w.Readout().isVisible());
        QVERIFY(!w.Readout().Readout().shown);
        QCOMPARE(w.SpeedLabel(), QStringLiteral("Km/h"));
    }

    // A front and rear pair without GPS, the rear at a rate of its own with B-frames and one
    // key frame (its first packet comes before the front's): the rear picture shows in the
    // small slot from the start, each pane the colour of its own camera.
    void aPairWithoutGpsShowsItsRearInTheSmallSlot() {
        TempDir dir;
        ClipSpec spec;
        spec.seconds = 4.0;
        spec.color = kColours[0];
        QVERIFY(MakeClip(dir.File("Record/20240305_090702_NF.mp4"), spec));
        spec.color = kColours[1];
        spec.audioRate = 0;
        spec.rate = "25"; // a rear camera at its own rate
        spec.keyInterval = 250;
        QVERIFY(MakeClip(dir.File("Record/20240305_090702_NR.mp4"), spec));
        Window w(dir.File("Record/20240305_090702_NF.mp4"), dir);
        QVERIFY(w.Controller().PlayRecording("20240305_090702_N"));
        QVERIFY(WaitUntil([&] { return w.Controller().CurrentMs() > 1000; }, 8000));
        QCOMPARE(w.Controller().ChannelCount(), 2);
        QWidget* rear = w.dlg->Control(ControlId::RearPicture);
        QVERIFY(rear->isVisible());
        QCOMPARE(rear->geometry(), RectOf(kSmallSlot));
        QCOMPARE(ShareOf(w.Cameras().Picture(0)->CurrentImage(), kRgb[0]), 1.0);
        QCOMPARE(ShareOf(w.Cameras().Picture(1)->CurrentImage(), kRgb[1]), 1.0);
        QCOMPARE(ShareOf(w.dlg->grab().toImage().copy(RectOf(kSmallSlot)), kRgb[1]), 1.0);
    }

    // The grid's choice of the main camera through the window. The engine's channels are
    // announced to the panes as the window does when a recording of six cameras opens.
    void gridKeysAndClicksChooseTheMainCameraAndTheProfileKeepsIt() {
        TempDir dir;
        QVERIFY(MakeCarFolder(dir, 2, true));
        {
            Window w(dir.Path().string(), dir);
            QVERIFY(w.PlayAndPause());
            w.Cameras().RecordingOpened(6, kCarCameras);
            QVERIFY(w.Cameras().Grid());
            w.Key(Qt::Key_4); // the right repeater
            QCOMPARE(w.Cameras().Main(), 3);
            QCOMPARE(w.Controller().MainCamera(), 3);
            const cameragrid::Places places =
                cameragrid::Layout(LayoutMode::Normal, 6, 3, PaneMode::Hidden, {});
            for (int c = 0; c < 6; ++c) {
                PictureWidget* picture = w.Cameras().Picture(c);
                QCOMPARE(picture->geometry(), RectOf(places.cameras[static_cast<size_t>(c)].rect));
                QVERIFY(picture->isVisible());
            }
            QCOMPARE(w.Cameras().Picture(3)->geometry(), RectOf(kLargeSlot));
            // A click on a small picture: the left pillar.
            QTest::mouseClick(w.Cameras().Picture(4), Qt::LeftButton, {}, QPoint(5, 5));
            QCOMPARE(w.Cameras().Main(), 4);
            QCOMPARE(w.Cameras().Picture(4)->geometry(), RectOf(kLargeSlot));
            QVERIFY(w.Cameras().Picture(3)->width() < kLargeSlot.w);
            // The keypad's digits as well; a camera it lacks is ignored.
            QTest::keyClick(w.dlg.get(), Qt::Key_2, Qt::KeypadModifier);
            QCOMPARE(w.Cameras().Main(), 1);
            w.Cameras().RecordingOpened(4, kCarCameras);
            w.Key(Qt::Key_6);
            QCOMPARE(w.Cameras().Main(), 1); // four cameras have no sixth
            // Full screen: the main camera above the grid.
            w.Key(Qt::Key_Return);
            QTRY_COMPARE(w.dlg->Layout(), LayoutMode::FullScreen);
            w.Key(Qt::Key_3);
            const Rect picture = FullScreenPicture(w.dlg->width(), w.dlg->height());
            const cameragrid::Places full =
                cameragrid::Layout(LayoutMode::FullScreen, 4, 2, PaneMode::Hidden, picture);
            QCOMPARE(w.Cameras().Picture(2)->geometry(), RectOf(full.cameras[2].rect));
            QCOMPARE(w.Cameras().Picture(0)->geometry(), RectOf(full.cameras[0].rect));
            w.Key(Qt::Key_Return);
            QTRY_COMPARE(w.dlg->Layout(), LayoutMode::Normal);
            QCOMPARE(AppProfile(w.profile).MainCamera(), QStringLiteral("left_repeater"));
        }
        // After a restart the profile's camera is the main one again.
        Window again(dir.Path().string(), dir);
        QVERIFY(again.PlayAndPause());
        again.Cameras().RecordingOpened(6, kCarCameras);
        QCOMPARE(again.Cameras().Main(), 2);
        QCOMPARE(again.Controller().MainCamera(), 2);
        // A recording without that camera starts with the front.
        again.Cameras().RecordingOpened(3, {"front", "back", "cabin"});
        QCOMPARE(again.Cameras().Main(), 0);
    }

    void snapshotsAreNamedByTheCarsCameras() {
        QCOMPARE(SnapshotCommand::TargetsOf("/p/shot.jpg", kCarCameras),
                 (QStringList{"/p/shot_front.jpg", "/p/shot_back.jpg", "/p/shot_left_repeater.jpg",
                              "/p/shot_right_repeater.jpg", "/p/shot_left_pillar.jpg",
                              "/p/shot_right_pillar.jpg"}));
        // Two cameras keep their names.
        QCOMPARE(SnapshotCommand::TargetsOf("/p/shot", std::vector<std::string>{"front", "back"}),
                 (QStringList{"/p/shot_front.jpg", "/p/shot_rear.jpg"}));
        // A two-camera car recording in the window writes front and rear.
        TempDir dir;
        QVERIFY(MakeCarFolder(dir, 2, true));
        Window w(dir.Path().string(), dir);
        QVERIFY(w.PlayAndPause());
        QTest::qWait(300);
        w.dlg->Snapshot().SetAskPath(
            [&](const QString&) { return QString::fromStdString(dir.File("car.jpg")); });
        w.dlg->OnCapture();
        QVERIFY(fs::exists(dir.File("car_front.jpg")));
        QVERIFY(fs::exists(dir.File("car_rear.jpg")));
        QCOMPARE(ShareOf(QImage(QString::fromStdString(dir.File("car_rear.jpg"))), kRgb[1]), 1.0);
    }

    // The whole path for six cameras: the engine plays every camera into its own pane. Passes
    // once the engine and the folder source play more than two cameras.
    void carFolderAllSixPanesShowTheirCamera() {
        TempDir dir;
        QVERIFY(MakeCarFolder(dir, 6, true));
        Window w(dir.Path().string(), dir);
        QVERIFY(w.PlayAndPause());
        QCOMPARE(w.Controller().ChannelCount(), 6);
        QVERIFY(w.Cameras().Grid());
        QCOMPARE(w.Cameras().Words(), kCarCameras);
        QTest::qWait(500);
        for (int c = 0; c < 6; ++c) {
            PictureWidget* picture = w.Cameras().Picture(c);
            QVERIFY2(picture->isVisible(), std::to_string(c).c_str());
            QVERIFY2(ShareOf(picture->CurrentImage(), kRgb[c]) > 0.9, std::to_string(c).c_str());
        }
        // One snapshot per camera, named by its word, of its colour.
        w.dlg->Snapshot().SetAskPath(
            [&](const QString&) { return QString::fromStdString(dir.File("six.jpg")); });
        w.dlg->OnCapture();
        for (int c = 0; c < 6; ++c) {
            const std::string file =
                dir.File("six_" + kCarCameras[static_cast<size_t>(c)] + ".jpg");
            QVERIFY2(ShareOf(QImage(QString::fromStdString(file)), kRgb[c]) > 0.9, file.c_str());
        }
    }

    // The shipped program's screenshot of a six-camera car folder: the car readout beside the
    // graph and the main camera's colour in the large slot.
    void programScreenshotOfACarFolderShowsTheReadout() {
        TempDir dir;
        QVERIFY(MakeCarFolder(dir, 6, true, nullptr, 4.0));
        const QImage image =
            Screenshot(dir, {QString::fromStdString(dir.Path().string()), "--play", kName});
        QVERIFY(!image.isNull());
        QCOMPARE(ShareOf(image.copy(RectOf(kLargeSlot)), kRgb[0]), 1.0);
        // The readout: its speed's white digits somewhere in its box.
        const Rect box = *FindPlacement(LayoutMode::Normal, ControlId::CarReadout, 0, 0)->rect;
        const QImage readout = image.copy(RectOf(box));
        int white = 0;
        for (int y = 0; y < readout.height(); ++y)
            for (int x = 0; x < readout.width(); ++x)
                white += qGray(readout.pixel(x, y)) > 200;
        QVERIFY2(white > 50, std::to_string(white).c_str());
    }

    // One camera's file given to the shipped program opens the car's whole recording: the
    // front camera, not the file given, fills the large slot.
    void programGivenOneCamerasFileShowsTheWholeCar() {
        TempDir dir;
        QVERIFY(MakeCarFolder(dir, 6, true, nullptr, 4.0));
        const std::string file = dir.File(std::string("TeslaCam/SavedClips/") + kName + "/" +
                                          kName + "-left_repeater.mp4");
        const QImage image = Screenshot(dir, {QString::fromStdString(file)});
        QVERIFY(!image.isNull());
        QCOMPARE(ShareOf(image.copy(RectOf(kLargeSlot)), kRgb[0]), 1.0);
    }

private:
    // The window's picture 1.5 s after the shipped program started with `arguments`, its
    // settings in `dir`; a null image when it did not exit cleanly.
    static QImage Screenshot(const TempDir& dir, QStringList arguments) {
        const QString shot = QString::fromStdString(dir.File("shot.png"));
        QProcess program;
        program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("config")));
        program.setProcessEnvironment(environment);
        arguments << "--screenshot" << shot << "--after"
                  << "1500";
        program.start(VARNELPLAYER_PATH, arguments);
        if (!program.waitForFinished(60000) || program.exitCode() != 0)
            return {};
        return QImage(shot);
    }
};

QTEST_MAIN(CarCamerasWindowTest)
#include "CarCamerasWindowTest.moc"
