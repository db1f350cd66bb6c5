// Playing the demo card in the window as a user does: OPEN, the filters, a double click, the
// picture, time, speed, graph and map, NEXT and PRE at the ends, the position slider (released
// and dragged) and the volume, frame steps and the playing speed; and recordings of a dash-cam
// folder: their side file's telemetry following the play time, and those that end early.
#include "telemetry/NmeaChecksum.h"
#include "tests/support/AviTestFiles.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/H264Samples.h"
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"
#include "ui/app/CSamplePlayerDlg.h"
#include "ui/app/StatusPresenter.h"
#include "ui/app/ZoomFeed.h"
#include "ui/logic/MainLayout.h"
#include "ui/logic/StatusText.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/CGraphStatic.h"
#include "ui/widgets/CMapView.h"
#include "ui/widgets/CZoomDlg.h"
#include "ui/widgets/CxSkinButton.h"
#include "ui/widgets/PictureWidget.h"
#include "ui/widgets/SpeedControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace {

// The card made once for the suite by the ctest set-up step (six seconds per recording).
struct Player {
    TempDir dir;
    std::unique_ptr<CSamplePlayerDlg> dlg;
    QStringList messages;

    explicit Player(const std::string& card = TestCard()) {
        CSamplePlayerDlg::Options options = TestWindowOptions(card, dir);
        dlg = std::make_unique<CSamplePlayerDlg>(options);
        dlg->SetMessageSink([this](const QString& text) { messages << text; });
        dlg->show();
        QTest::qWait(10);
    }
    QTreeWidget* List() const { return static_cast<QTreeWidget*>(dlg->Control(ControlId::List)); }
    QString Label(int id) const { return static_cast<QLabel*>(dlg->Control(id))->text(); }
    PictureWidget* Front() const {
        return static_cast<PictureWidget*>(dlg->Control(ControlId::FrontPicture));
    }
    CBitmapSlider* Slider(int id) const { return static_cast<CBitmapSlider*>(dlg->Control(id)); }
    const CGraphStatic& Graph() const {
        return *static_cast<CGraphStatic*>(dlg->Control(ControlId::Graph));
    }
    CMapView& Map() const { return *static_cast<CMapView*>(dlg->Control(ControlId::Map)); }
    // Reads the map page's state until the page is ready and `wanted` holds for it (15 s at
    // most, each read given 2 s); false when it never did. state: the last state read.
    bool WaitForMap(MapPageState& state,
                    const std::function<bool(const MapPageState&)>& wanted) const {
        return WaitUntil(
            [&] {
                if (!Map().Ready())
                    return false;
                // The page may answer after this read has stopped waiting: the answer then
                // goes to a flag that outlives the read.
                auto answered = std::make_shared<bool>(false);
                Map().ReadMarker([&state, answered](const MapPageState& s) {
                    state = s;
                    *answered = true;
                });
                return WaitUntil([&] { return *answered; }, 2000) && state.ready && wanted(state);
            },
            15000);
    }
    void DoubleClick(int row) {
        QTreeWidget* list = List();
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        // A double click: a click, then the second press as a double-click event and its
        // release (without the release the button would count as still held, and the status
        // refresh waits while it is).
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Presses the slider at the pixel of a position and lets go there.
    void MoveSlider(int id, int position) {
        CBitmapSlider* slider = Slider(id);
        const QPoint at(slider->Geometry().PixelOf(position), slider->height() / 2);
        QTest::mousePress(slider, Qt::LeftButton, {}, at);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
        QTest::qWait(20);
    }
};

bool IsWhite(const QImage& image) {
    if (image.isNull())
        return false;
    int white = 0;
    for (int gy = 1; gy < 8; ++gy)
        for (int gx = 1; gx < 8; ++gx)
            white += qGray(image.pixel(gx * image.width() / 8, gy * image.height() / 8)) > 200;
    return white >= 45;
}

} // namespace

class PlaybackTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!TestCard().empty(), "TATVIEW_TEST_CARD names no card"); }

    void openListsTheCardsRecordingsNewestFirst() {
        Player p;
        p.dlg->OnOpen();
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages.front().startsWith("Does not recognize SD Card."));
        p.dlg->Controller().PollCard();
        QVERIFY(p.dlg->Controller().CardDrive() > 0);
        QTest::keyClick(p.dlg.get(), Qt::Key_F2);
        QCOMPARE(p.messages.size(), 1);
        QTreeWidget* list = p.List();
        QVERIFY(list->topLevelItemCount() >= 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("REC"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("REC_20240306_081500_D"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("2024.03.06 08:15:00"));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("0"));
        for (int r = 0; r < list->topLevelItemCount(); ++r)
            QVERIFY(list->topLevelItem(r)->text(1) != QStringLiteral("REC_20240305_093000_D"));
        QTest::mouseClick(static_cast<QWidget*>(p.dlg->Control(ControlId::FilterEvent)),
                          Qt::LeftButton);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("EVT"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("EVENT_20240305_092233_S"));
        QCOMPARE(list->topLevelItem(1)->text(3), QString());
    }

    void doubleClickPlaysPictureTimeSpeedAndGraph() {
        Player p;
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(0);
        std::atomic<int> whiteFrames{0};
        p.Front()->SetObserver([&](const QImage& image) { whiteFrames += IsWhite(image); });
        p.DoubleClick(0); // EVENT_20240305_174503_D
        QCOMPARE(p.dlg->Controller().CurrentRow(), 0);
        QVERIFY(!p.dlg->Control(ControlId::Play)->isVisible());
        QVERIFY(p.dlg->Control(ControlId::Pause)->isVisible());
        QCOMPARE(p.Label(ControlId::Length), QStringLiteral("00:00:06"));
        QVERIFY(WaitUntil([&] { return p.Label(ControlId::CurrentTime) >= "00:00:03"; }, 8000));
        QVERIFY(p.Front()->isVisible());
        QCOMPARE(p.Front()->size(), QSize(640, 360));
        // The map, shown from the first valid fix on, lies over the rear picture.
        QCOMPARE(p.dlg->Control(ControlId::RearPicture)->isVisible(),
                 !p.dlg->Control(ControlId::MapSize)->isEnabled());
        QVERIFY2(p.Front()->PresentedCount() > 30,
                 qPrintable(QString::number(p.Front()->PresentedCount())));
        QVERIFY2(whiteFrames.load() >= 2, "the white picture of each whole second was shown");
        QVERIFY(!IsWhite(p.Front()->CurrentImage()) || whiteFrames.load() > 0);

        // A card's telemetry comes as the engine's text lines.
        QVERIFY(p.dlg->Controller().FolderTrack() == nullptr);
        CGPSData fix;
        QVERIFY(p.dlg->Controller().Telemetry().NewestFix(fix));
        if (fix.valid) {
            QCOMPARE(p.Label(ControlId::Speed).toStdString(),
                     StatusText::SpeedText(fix.GetSpeed()));
            QVERIFY(p.dlg->Control(ControlId::MapSize)->isEnabled());
        }
        const int64_t seconds = p.dlg->Controller().CurrentMs() / 1000;
        const auto series = p.dlg->Status().GraphSeries();
        QVERIFY(WaitUntil(
            [&] {
                const int64_t expected = StatusText::GraphCount(
                    p.dlg->Controller().CurrentMs() / 1000,
                    static_cast<int64_t>(p.dlg->Controller().Telemetry().SensorCount()));
                return p.Graph().SampleCount(series[0]) == expected && expected >= seconds;
            },
            1000));
        p.Front()->SetObserver({});

        // Paused, the next refresh leaves the marker on the newest valid fix; the page says so.
        p.dlg->OnPause();
        QTest::qWait(300);
        std::optional<CGPSData> lastValid;
        for (const CGPSData& f : p.dlg->Controller().Telemetry().GpsFixes())
            if (f.valid)
                lastValid = f;
        QVERIFY2(lastValid.has_value(), "the event recording has valid fixes from its start");
        QVERIFY(p.dlg->Control(ControlId::Map)->isVisible());
        MapPageState state;
        QVERIFY(p.WaitForMap(state, [](const MapPageState&) { return true; }));
        QVERIFY(std::abs(state.marker.latitude - lastValid->LatitudeDegrees()) < 1e-6);
        QVERIFY(std::abs(state.marker.longitude - lastValid->LongitudeDegrees()) < 1e-6);
        QVERIFY(state.routePoints >= 2);
    }

    void nextAtTheEndPlaysTheRowAboveAndPreInTheLastRowStops() {
        Player p;
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(0);
        p.DoubleClick(1);
        QCOMPARE(p.dlg->Controller().CurrentRow(), 1);
        // Near the end: the recording ends and the row above starts.
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentMs() > 500; }, 5000));
        p.MoveSlider(ControlId::Position, 5);
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentRow() == 0; }, 8000));
        QVERIFY(p.dlg->Control(ControlId::Pause)->isVisible());
        QCOMPARE(p.List()->currentItem(), p.List()->topLevelItem(0));

        p.DoubleClick(2);
        QCOMPARE(p.dlg->Controller().CurrentRow(), 2);
        QTest::keyClick(p.dlg.get(), Qt::Key_PageDown); // PRE in the last row
        QCOMPARE(p.dlg->Controller().CurrentRow(), -1);
        QVERIFY(p.dlg->Control(ControlId::Play)->isVisible());
        QCOMPARE(p.Label(ControlId::CurrentTime), QStringLiteral("00:00:00"));
        QVERIFY(WaitUntil([&] { return !p.dlg->Controller().Loaded(); }, 1000));
    }

    void positionSliderSeeksAndVolumeZeroTicksMute() {
        Player p;
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(1);
        p.DoubleClick(0);
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentMs() > 300; }, 5000));
        p.MoveSlider(ControlId::Position, 4);
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentMs() >= 4000; }, 3000));
        QVERIFY(WaitUntil(
            [&] { return p.Label(ControlId::CurrentTime) >= QStringLiteral("00:00:04"); }, 1000));

        auto* mute = static_cast<CxSkinButton*>(p.dlg->Control(ControlId::Mute));
        QVERIFY(!mute->isChecked());
        p.MoveSlider(ControlId::Volume, 0);
        QCOMPARE(p.Slider(ControlId::Volume)->GetPos(), 0);
        QVERIFY(mute->isChecked());
        QCOMPARE(p.dlg->Controller().DeviceVolume(), 0u);
        p.MoveSlider(ControlId::Volume, 50);
        QVERIFY(!mute->isChecked());
        QVERIFY(p.Slider(ControlId::Volume)->GetPos() > 40);
        QCOMPARE(p.dlg->Controller().DeviceVolume(),
                 StatusText::DeviceVolume(p.Slider(ControlId::Volume)->GetPos()));
        QTest::mouseClick(mute, Qt::LeftButton);
        QCOMPARE(p.dlg->Controller().DeviceVolume(), 0u);

        // The zoom window shows the part of the picture under the pointer.
        QTest::mouseClick(static_cast<QWidget*>(p.dlg->Control(ControlId::Zoom)), Qt::LeftButton);
        CZoomDlg& zoom = p.dlg->Zoom().Window();
        QVERIFY(zoom.isVisible());
        QCOMPARE(zoom.geometry(), QRect(850, 465, 320, 250));
        p.dlg->Zoom().Feed(p.Front()->mapToGlobal(QPoint(5, 5)));
        QCOMPARE(zoom.Picture().size(), QSize(320, 240));
        QTest::keyClick(&zoom, Qt::Key_Escape);
        QVERIFY(!zoom.isVisible());
    }
    // A recording whose file lost its end is told and then ends as any other; a card pulled
    // out during playback takes the speed, the graph and the map with it.
    void cutShortRecordingIsToldAndCardRemovalClearsTheStatus() {
        TempDir copy;
        const std::string card = copy.File("card");
        std::filesystem::copy(TestCard(), card, std::filesystem::copy_options::recursive);
        const std::string cut = card + "/TATSTORE/EVENT/EVENT_20240305_092233_S.TRD";
        std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 3);
        Player p(card);
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(0);
        QVERIFY(p.dlg->Controller().PlayRow(1)); // EVENT_20240305_092233_S
        const QString told =
            QStringLiteral("EVENT_20240305_092233_S: the recording could not be read to its end");
        QVERIFY(WaitUntil([&] { return p.messages.contains(told); }, 8000));
        QCOMPARE(p.messages.size(), 1);
        // Then the row above plays, as at the end of a recording.
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentRow() == 0; }, 2000));
        const auto series = p.dlg->Status().GraphSeries();
        QVERIFY(WaitUntil(
            [&] {
                return p.Graph().SampleCount(series[0]) > 0 &&
                       p.Label(ControlId::Speed) != QStringLiteral("Km/h");
            },
            6000));

        std::filesystem::rename(card + "/TATSTORE", card + "/GONE");
        p.dlg->Controller().PollCard();
        QCOMPARE(p.Label(ControlId::Speed), QStringLiteral("Km/h"));
        for (int id : series)
            QCOMPARE(p.Graph().SampleCount(id), 0);
        QVERIFY(!p.dlg->Control(ControlId::MapSize)->isEnabled());
        QCOMPARE(p.Label(ControlId::CurrentTime), QStringLiteral("00:00:00"));
        QTest::qWait(500); // the engine's end, if it comes, is not a read error to tell
        QCOMPARE(p.messages.size(), 1);
    }

    // A dash-cam folder's recording with an NMEA side file: the speed, the graph and the map
    // follow the play time through seeks either way, the G-forces unrounded, the route drawn
    // whole without the fixes that cannot be.
    void folderTelemetryFollowsThePlayTime() {
        TempDir dir;
        const std::string record = dir.File("BlackVue/Record/");
        ClipSpec clip;
        clip.seconds = 6;
        QVERIFY(MakeClip(record + "20240305_090702_NF.mp4", clip));
        // A fix and a G-sensor line each second, 18.5 m apart at 10 + 2s knots, x = 0.30 +
        // 0.01 s g; a spike far away at 3.5 s and a fix without a position at 4.5 s.
        const int64_t start = 1709629622000;
        const auto rmc = [](int second, const char* status, double minutes, double knots) {
            char body[128];
            std::snprintf(body, sizeof body,
                          "GNRMC,0907%02d.00,%s,%09.4f,N,12658.0000,E,%.1f,90.0,050324,,,A",
                          2 + second, status, minutes, knots);
            return nmea::WithChecksum(body);
        };
        std::string side;
        for (int s = 0; s < 6; ++s) {
            const std::string stamp = "[" + std::to_string(start + s * 1000) + "]";
            side += stamp + rmc(s, "A", 3733.0 + 0.01 * s, 10.0 + 2 * s) + "\n";
            side += stamp + "$GSENSOR,0.3" + std::to_string(s) + ",-0.15,1.02\n";
        }
        side += "[" + std::to_string(start + 3500) + "]" + rmc(3, "A", 3800.0, 12.0) + "\n";
        side += "[" + std::to_string(start + 4500) + "]" + rmc(4, "V", 0, 0) + "\n";
        WriteFileText(record + "20240305_090702_N.gps", side);

        Player p(dir.Path().string());
        PlaybackController& controller = p.dlg->Controller();
        controller.PollCard();
        controller.ListRecordings(4);
        QCOMPARE(controller.Rows(), std::vector<std::string>{"20240305_090702_N"});
        p.DoubleClick(0);
        QVERIFY(WaitUntil(
            [&] { return controller.FolderTrack() != nullptr && controller.CurrentMs() > 300; },
            5000));
        p.dlg->OnPause();

        const auto series = p.dlg->Status().GraphSeries();
        const auto newest = [&](int axis) {
            return p.Graph().Model().Series(series[static_cast<size_t>(axis)])->Newest(0);
        };
        // What the window shows once paused at second `second`.
        const auto shows = [&](int second) {
            const QString speed =
                QString::fromStdString(StatusText::SpeedText((10.0 + 2 * second) * 1.852));
            return WaitUntil(
                [&] {
                    return controller.CurrentMs() / 1000 == second &&
                           p.Label(ControlId::Speed) == speed &&
                           p.Graph().SampleCount(series[0]) == second + 1 &&
                           std::abs(newest(0) - ((0.30 + 0.01 * second) * 64 + 150)) < 1e-9;
                },
                3000);
        };
        // A click on the position slider in the middle of the second's pixels.
        const auto seek = [&](int second) {
            CBitmapSlider* slider = p.Slider(ControlId::Position);
            const SliderGeometry& geometry = slider->Geometry();
            const QPoint at((geometry.PixelOf(second) + geometry.PixelOf(second + 1)) / 2,
                            slider->height() / 2);
            QTest::mouseClick(slider, Qt::LeftButton, {}, at);
        };
        seek(4);
        QVERIFY(shows(4));
        QCOMPARE(p.Label(ControlId::Speed), QStringLiteral("33Km/h"));
        QCOMPARE(newest(0), 0.34 * 64 + 150); // 171.76, where 1/64 g would give 172
        QCOMPARE(newest(1), -0.15 * 64 + 100);
        QCOMPARE(newest(2), 1.02 * 64 + 50);
        seek(1); // back
        QVERIFY(shows(1));
        seek(3);
        QVERIFY(shows(3));
        QVERIFY(p.dlg->Control(ControlId::MapSize)->isEnabled());

        // The page: the marker on the fix of second 3, the route of the six good fixes.
        MapPageState state;
        QVERIFY(p.WaitForMap(state, [](const MapPageState& s) { return s.routePoints == 6; }));
        QVERIFY(std::abs(state.marker.latitude - (37.0 + 33.03 / 60.0)) < 1e-6);
        QVERIFY(std::abs(state.marker.longitude - (126.0 + 58.0 / 60.0)) < 1e-6);
        QCOMPARE(controller.Telemetry().GpsCount(), size_t{0});
    }

    // A dash-cam folder's recordings that cannot be read to their end are told as the card's
    // are: an MPEG-TS file and an AVI export, each cut short by a power cut.
    void folderRecordingsCutShortAreToldAsTheCardsAre() {
        TempDir dir;
        const std::string ts = dir.File("DCIM/2024_0305_100000_0001F.TS");
        QVERIFY(MakeClip(ts, {}));
        QVERIFY(CutFile(ts, static_cast<long long>(std::filesystem::file_size(ts) / 2)));
        const std::string avi = dir.File("DCIM/EVENT_20240305_090702_D.avi");
        TestLayout layout;
        layout.twoChannel = false;
        layout.frontWidth = 160;
        layout.frontHeight = 90;
        std::vector<TestPacket> packets;
        for (const std::vector<uint8_t>& unit : H264Samples(160, 90, 60, 30))
            packets.push_back({0, unit});
        WriteTestAvi(avi, layout, packets);
        QVERIFY(CutFile(avi, static_cast<long long>(std::filesystem::file_size(avi) / 2)));

        Player p(dir.Path().string());
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(4); // newest first: the TS file, then the AVI
        QCOMPARE(p.dlg->Controller().Rows(),
                 (std::vector<std::string>{"2024_0305_100000_0001", "EVENT_20240305_090702_D"}));
        QVERIFY(p.dlg->Controller().PlayRow(1));
        // Told, then the row above plays as at the end of a recording, and is told too.
        const QString told = QStringLiteral(": the recording could not be read to its end");
        QVERIFY(WaitUntil([&] { return p.messages.size() == 2; }, 10000));
        QCOMPARE(p.messages,
                 (QStringList{"EVENT_20240305_090702_D" + told, "2024_0305_100000_0001" + told}));
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentRow() == -1; }, 3000));
        QCOMPARE(p.messages.size(), 2);
    }

    void draggingThePositionThumbShowsPicturesThatFollowIt() {
        Player p;
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(1);
        p.DoubleClick(0);
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentMs() > 300; }, 5000));
        p.dlg->OnPause();
        QTest::qWait(50);
        CBitmapSlider* slider = p.Slider(ControlId::Position);
        const int y = slider->height() / 2;
        const int64_t shownBefore = p.Front()->PresentedCount();
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->Geometry().PixelOf(0), y));
        // Across the recording and back in one second, a move every 100 ms.
        QElapsedTimer timer;
        timer.start();
        const int seconds[] = {1, 2, 3, 4, 5, 4, 3, 2, 1, 2};
        int64_t lastShown = p.Front()->PresentedCount();
        int followed = 0;
        for (const int second : seconds) {
            // Straight to the slider (the offscreen platform does not move its pointer), in the
            // middle of the second's pixels.
            const SliderGeometry& geometry = slider->Geometry();
            const QPointF to((geometry.PixelOf(second) + geometry.PixelOf(second + 1)) / 2, y);
            QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(slider, &move);
            QVERIFY(slider->IsDragging());
            QVERIFY(
                WaitUntil([&] { return p.dlg->Controller().CurrentMs() / 1000 == second; }, 300));
            followed += WaitUntil([&] { return p.Front()->PresentedCount() > lastShown; }, 100);
            lastShown = p.Front()->PresentedCount();
            QTest::qWait(20);
        }
        const double perSecond = followed * 1000.0 / static_cast<double>(timer.elapsed());
        QVERIFY2(perSecond >= 5.0, qPrintable(QString::number(perSecond)));
        // The time text follows the thumb while it is held; the paused engine does not play.
        QVERIFY(WaitUntil(
            [&] { return p.Label(ControlId::CurrentTime) == QStringLiteral("00:00:02"); }, 500));
        QVERIFY(!p.dlg->Controller().Playing());
        QTest::mouseRelease(
            slider, Qt::LeftButton, {},
            QPoint((slider->Geometry().PixelOf(2) + slider->Geometry().PixelOf(3)) / 2, y));
        // Let go over second 2: its first picture is on screen.
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentMs() == 2000; }, 2000));
        QVERIFY(p.Front()->PresentedCount() > shownBefore + 5);
    }

    void frameAndSpeedKeysAndEveryOtherKeySwallowed() {
        Player p;
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(1);
        p.DoubleClick(0);
        QVERIFY(WaitUntil([&] { return p.dlg->Controller().CurrentMs() > 1300; }, 5000));

        // "." while playing pauses and shows the next frame; "," the one before.
        QTest::keyClick(p.dlg.get(), Qt::Key_Period);
        QVERIFY(p.dlg->Control(ControlId::Play)->isVisible());
        QTest::qWait(100);
        const int64_t at = p.dlg->Controller().CurrentMs();
        const int64_t shown = p.Front()->PresentedCount();
        QTest::keyClick(p.dlg.get(), Qt::Key_Period);
        // A frame is 33 or 34 ms of the time, as the milliseconds are whole.
        const auto near = [&](int64_t ms) {
            return std::abs(p.dlg->Controller().CurrentMs() - ms) <= 1;
        };
        QVERIFY(WaitUntil([&] { return near(at + 33); }, 2000));
        QVERIFY(WaitUntil([&] { return p.Front()->PresentedCount() == shown + 1; }, 1000));
        QTest::keyClick(p.dlg.get(), Qt::Key_Comma);
        QTest::keyClick(p.dlg.get(), Qt::Key_Comma);
        QVERIFY(WaitUntil([&] { return near(at - 33); }, 2000));
        QVERIFY(WaitUntil(
            [&] {
                return p.Label(ControlId::CurrentTime).toStdString() ==
                       StatusText::TimeText(p.dlg->Controller().CurrentMs() / 1000);
            },
            1000));
        QVERIFY(!p.dlg->Controller().Playing());

        // "]" and "[" step through the speeds; the control shows them and takes clicks.
        auto* speed = static_cast<SpeedControl*>(p.dlg->Control(ControlId::PlaySpeed));
        QVERIFY(speed->isVisible());
        QTest::keyClick(p.dlg.get(), Qt::Key_BracketRight);
        QCOMPARE(p.dlg->Controller().Speed(), 200);
        QCOMPARE(speed->Speed(), 200);
        QTest::keyClick(p.dlg.get(), Qt::Key_BracketLeft);
        QTest::keyClick(p.dlg.get(), Qt::Key_BracketLeft);
        QCOMPARE(p.dlg->Controller().Speed(), 50);
        QTest::mouseClick(speed, Qt::LeftButton, {},
                          QPoint(speed->width() - 3, speed->height() / 2));
        QCOMPARE(p.dlg->Controller().Speed(), 100);
        QTest::mouseClick(speed, Qt::LeftButton, {}, QPoint(3, speed->height() / 2));
        QCOMPARE(speed->Speed(), 50);

        // Keys outside the table change nothing.
        const int64_t still = p.dlg->Controller().CurrentMs();
        for (const Qt::Key key : {Qt::Key_Minus, Qt::Key_Plus, Qt::Key_Slash, Qt::Key_A,
                                  Qt::Key_Semicolon, Qt::Key_Home})
            QTest::keyClick(p.dlg.get(), key);
        QTest::qWait(100);
        QCOMPARE(p.dlg->Controller().CurrentMs(), still);
        QCOMPARE(p.dlg->Controller().Speed(), 50);
        QVERIFY(!p.dlg->Controller().Playing());
        QVERIFY(p.messages.isEmpty());
    }
};

QTEST_MAIN(PlaybackTest)
#include "PlaybackTest.moc"
