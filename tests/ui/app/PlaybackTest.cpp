// Playing the demo card in the window as a user does: OPEN, the filters, a double click, the
// picture, time, speed, graph and map, NEXT and PRE at the ends, the position slider and the
// volume.
#include "tests/support/TempDir.h"
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

#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace {

// The card made once for the suite by the ctest set-up step (six seconds per recording).
std::string TestCard() {
    const char* card = std::getenv("TATVIEW_TEST_CARD");
    return card != nullptr ? card : "";
}

struct Player {
    TempDir dir;
    std::unique_ptr<CSamplePlayerDlg> dlg;
    QStringList messages;

    explicit Player(const std::string& card = TestCard()) {
        CSamplePlayerDlg::Options options;
        options.scanRemovable = false;
        options.cardFolder = card;
        options.configPath = QString::fromStdString(dir.File("config.cfg"));
        options.profileFolder = QString::fromStdString(dir.File("profile"));
        options.audio = AudioOutputFactory::Choice::Null;
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
    // Waits (running the event loop, so the status refresh runs) until done() or the time
    // is up.
    static bool WaitUntil(const std::function<bool()>& done, int ms) {
        for (int waited = 0; waited < ms; waited += 20) {
            if (done())
                return true;
            QTest::qWait(20);
        }
        return done();
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
        QVERIFY(
            Player::WaitUntil([&] { return p.Label(ControlId::CurrentTime) >= "00:00:03"; }, 8000));
        QVERIFY(p.Front()->isVisible());
        QCOMPARE(p.Front()->size(), QSize(640, 360));
        // The map, shown from the first valid fix on, lies over the rear picture.
        QCOMPARE(p.dlg->Control(ControlId::RearPicture)->isVisible(),
                 !p.dlg->Control(ControlId::MapSize)->isEnabled());
        QVERIFY2(p.Front()->PresentedCount() > 30,
                 qPrintable(QString::number(p.Front()->PresentedCount())));
        QVERIFY2(whiteFrames.load() >= 2, "the white picture of each whole second was shown");
        QVERIFY(!IsWhite(p.Front()->CurrentImage()) || whiteFrames.load() > 0);

        CGPSData fix;
        QVERIFY(p.dlg->Controller().Telemetry().NewestFix(fix));
        if (fix.valid) {
            QCOMPARE(p.Label(ControlId::Speed).toStdString(),
                     StatusText::SpeedText(fix.GetSpeed()));
            QVERIFY(p.dlg->Control(ControlId::MapSize)->isEnabled());
        }
        const int64_t seconds = p.dlg->Controller().CurrentMs() / 1000;
        const auto series = p.dlg->Status().GraphSeries();
        QVERIFY(Player::WaitUntil(
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
        bool answered = false;
        QVERIFY(Player::WaitUntil(
            [&] {
                if (!p.Map().Ready())
                    return false;
                p.Map().ReadMarker([&](const MapPageState& s) {
                    state = s;
                    answered = true;
                });
                return Player::WaitUntil([&] { return answered; }, 2000) && state.ready;
            },
            15000));
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
        QVERIFY(Player::WaitUntil([&] { return p.dlg->Controller().CurrentMs() > 500; }, 5000));
        p.MoveSlider(ControlId::Position, 5);
        QVERIFY(Player::WaitUntil([&] { return p.dlg->Controller().CurrentRow() == 0; }, 8000));
        QVERIFY(p.dlg->Control(ControlId::Pause)->isVisible());
        QCOMPARE(p.List()->currentItem(), p.List()->topLevelItem(0));

        p.DoubleClick(2);
        QCOMPARE(p.dlg->Controller().CurrentRow(), 2);
        QTest::keyClick(p.dlg.get(), Qt::Key_PageDown); // PRE in the last row
        QCOMPARE(p.dlg->Controller().CurrentRow(), -1);
        QVERIFY(p.dlg->Control(ControlId::Play)->isVisible());
        QCOMPARE(p.Label(ControlId::CurrentTime), QStringLiteral("00:00:00"));
        QVERIFY(Player::WaitUntil([&] { return !p.dlg->Controller().Loaded(); }, 1000));
    }

    void positionSliderSeeksAndVolumeZeroTicksMute() {
        Player p;
        p.dlg->Controller().PollCard();
        p.dlg->Controller().ListRecordings(1);
        p.DoubleClick(0);
        QVERIFY(Player::WaitUntil([&] { return p.dlg->Controller().CurrentMs() > 300; }, 5000));
        p.MoveSlider(ControlId::Position, 4);
        QVERIFY(Player::WaitUntil([&] { return p.dlg->Controller().CurrentMs() >= 4000; }, 3000));
        QVERIFY(Player::WaitUntil(
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
        QVERIFY(Player::WaitUntil([&] { return p.messages.contains(told); }, 8000));
        QCOMPARE(p.messages.size(), 1);
        // Then the row above plays, as at the end of a recording.
        QVERIFY(Player::WaitUntil([&] { return p.dlg->Controller().CurrentRow() == 0; }, 2000));
        const auto series = p.dlg->Status().GraphSeries();
        QVERIFY(Player::WaitUntil(
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
};

QTEST_MAIN(PlaybackTest)
#include "PlaybackTest.moc"
