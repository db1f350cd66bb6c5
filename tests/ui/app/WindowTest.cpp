// The main window as a user meets it: where every control sits in both layouts, what the keys
// do, the settings file, the two languages and the card coming and going.
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"
#include "ui/app/AppProfile.h"
#include "ui/app/CSamplePlayerApp.h"
#include "ui/app/CSamplePlayerDlg.h"
#include "ui/logic/MainLayout.h"
#include "ui/widgets/CBitmapSlider.h"
#include "ui/widgets/PictureWidget.h"

#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <utility>

namespace {

struct Window {
    TempDir dir;
    std::unique_ptr<CSamplePlayerDlg> dlg;

    explicit Window(uint16_t language = 0x09, const std::string& config = {}) {
        if (!config.empty())
            std::ofstream(dir.File("config.cfg")) << config;
        CSamplePlayerDlg::Options options = TestWindowOptions(dir.File("no-card"), dir);
        options.languageId = language;
        dlg = std::make_unique<CSamplePlayerDlg>(options);
        dlg->show();
        QTest::qWait(20);
    }
    QRect Geometry(int id) const { return dlg->Control(id)->geometry(); }
    bool Visible(int id) const { return dlg->Control(id)->isVisible(); }
    int Slider(int id) const { return static_cast<CBitmapSlider*>(dlg->Control(id))->GetPos(); }
    std::string ConfigText() const { return ReadFileText(dir.File("config.cfg")); }
};

QRect ToQRect(const Rect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void pictureAreaTakesThreeAndFourBytePicturesAndIsEmptyWhileHidden() {
        QWidget parent;
        PictureWidget area(&parent);
        area.setGeometry(0, 0, 4, 2);
        parent.show();
        area.SyncSize();
        QCOMPARE(area.Size().width, 4);
        QCOMPARE(area.PictureChannels(), 4);
        Picture bgr, bgra;
        bgr.Allocate(4, 2, 3);
        bgra.Allocate(4, 2, 4);
        for (int32_t i = 0; i < 8; ++i) {
            const uint8_t b = static_cast<uint8_t>(10 * i), g = static_cast<uint8_t>(200 - i),
                          r = static_cast<uint8_t>(i * i);
            std::memcpy(bgr.pixels.data() + 3 * i, std::array<uint8_t, 3>{b, g, r}.data(), 3);
            std::memcpy(bgra.pixels.data() + 4 * i, std::array<uint8_t, 4>{b, g, r, 255}.data(), 4);
        }
        area.Present(bgr);
        const QImage fromThree = area.CurrentImage();
        area.Present(bgra);
        QCOMPARE(area.CurrentImage(), fromThree);
        QCOMPARE(fromThree.pixel(3, 1), qRgb(49, 193, 70));
        // Hidden (the map lies over it): nothing to convert pictures for.
        area.hide();
        area.SyncSize();
        QCOMPARE(area.Size().width, 0);
        area.show();
        area.SyncSize();
        QCOMPARE(area.Size().height, 2);
    }

    void normalLayoutPutsEveryControlAtItsRectangle() {
        Window w;
        QCOMPARE(w.dlg->size(), QSize(975, 635));
        for (const ControlPlacement& p : LayoutControls(LayoutMode::Normal, 975, 635)) {
            if (p.rect && p.id != ControlId::Graph && p.id != ControlId::Pause)
                QCOMPARE(w.Geometry(p.id), ToQRect(*p.rect));
        }
        QCOMPARE(w.Geometry(ControlId::List), QRect(650, 65, 320, 150));
        QCOMPARE(w.Geometry(ControlId::Quit), QRect(946, 5, 25, 25));
        QCOMPARE(w.Geometry(ControlId::Pause), QRect(261, 473, 15, 17));
        QVERIFY(w.Visible(ControlId::Play));
        QVERIFY(!w.Visible(ControlId::Pause));
        QVERIFY(w.Visible(ControlId::FullScreen));
        QVERIFY(!w.Visible(ControlId::RestoreSize));
        QVERIFY(w.Visible(ControlId::SelectAll));
        QVERIFY(!w.dlg->Control(ControlId::MapSize)->isEnabled());
        QVERIFY2(!w.Visible(ControlId::FrontPicture), "no recording, no picture");
    }

    void fullScreenFollowsTheClientSizeAndEnterGoesBack() {
        Window w;
        QTest::keyClick(w.dlg.get(), Qt::Key_Return);
        QCOMPARE(w.dlg->Layout(), LayoutMode::FullScreen);
        // The offscreen screen is 800 × 800 and holds a maximised window to it; give the
        // window the client sizes of bigger screens directly.
        w.dlg->setWindowState(Qt::WindowNoState);
        for (const QSize size : {QSize(1920, 1040), QSize(1280, 800)}) {
            w.dlg->setFixedSize(size);
            QTest::qWait(10);
            for (const ControlPlacement& p :
                 LayoutControls(LayoutMode::FullScreen, size.width(), size.height())) {
                if (p.rect)
                    QCOMPARE(w.Geometry(p.id), ToQRect(*p.rect));
            }
        }
        w.dlg->setFixedSize(1920, 1040);
        QTest::qWait(10);
        QCOMPARE(w.Geometry(ControlId::FrontPicture), QRect(320, 134, 1280, 720));
        w.dlg->setFixedSize(1280, 800);
        QTest::qWait(10);
        QCOMPARE(w.Geometry(ControlId::RearPicture), QRect(0, 29, 1280, 691));
        QVERIFY(!w.Visible(ControlId::List));
        QVERIFY(w.Visible(ControlId::RestoreSize));
        QVERIFY(!w.Visible(ControlId::FullScreen));
        QVERIFY(!w.Visible(ControlId::Graph));

        QSignalSpy moves(w.dlg.get(), &CSamplePlayerDlg::systemMoveRequested);
        QTest::mousePress(w.dlg.get(), Qt::LeftButton, {}, QPoint(600, 300));
        QCOMPARE(moves.count(), 0);

        QTest::keyClick(w.dlg.get(), Qt::Key_Return);
        QCOMPARE(w.dlg->Layout(), LayoutMode::Normal);
        QCOMPARE(w.dlg->size(), QSize(975, 635));
        QCOMPARE(w.Geometry(ControlId::Open), QRect(28, 473, 19, 17));
        QVERIFY(w.Visible(ControlId::List));
        QTest::mousePress(w.dlg.get(), Qt::LeftButton, {}, QPoint(300, 10));
        QCOMPARE(moves.count(), 1);
    }

    void keysOutsideTheTableAreSwallowedAndArrowsMoveTheVolume() {
        Window w;
        QCOMPARE(w.Slider(ControlId::Volume), 50);
        QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
        QTest::keyClick(w.dlg.get(), Qt::Key_Tab);
        QVERIFY2(w.dlg->isVisible(), "Escape does not close the window");
        QCOMPARE(w.dlg->Layout(), LayoutMode::Normal);
        QCursor::setPos(w.dlg->mapToGlobal(QPoint(100, 100)));
        QTest::keyClick(w.dlg.get(), Qt::Key_Up);
        QCOMPARE(w.Slider(ControlId::Volume), 55);
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(w.dlg.get(), Qt::Key_Up);
        QCOMPARE(w.Slider(ControlId::Volume), 99);
        QTest::keyClick(w.dlg.get(), Qt::Key_Down);
        QCOMPARE(w.Slider(ControlId::Volume), 94);
        // Keys sent to a child control go through the same table.
        QTest::keyClick(w.dlg->Control(ControlId::Position), Qt::Key_Down);
        QCOMPARE(w.Slider(ControlId::Volume), 89);
    }

    void settingsFileFirstRunClampingAndQuit() {
        {
            Window w;
            QCOMPARE(w.Slider(ControlId::Volume), 50);
            QCOMPARE(w.Slider(ControlId::Brightness), 0);
            QVERIFY(std::filesystem::exists(w.dir.File("config.cfg")));
            // Quit answered No: nothing closes, the settings are saved anyway.
            QString asked;
            w.dlg->SetQuitQuestion([&](const QString& text, const QString&) {
                asked = text;
                return false;
            });
            static_cast<CBitmapSlider*>(w.dlg->Control(ControlId::Volume))->SetPos(70);
            w.dlg->OnQuit();
            QCOMPARE(asked, QStringLiteral("Are you sure you want to quit?"));
            QVERIFY(w.dlg->isVisible());
            QVERIFY(w.ConfigText().find("volume=70") != std::string::npos);
            w.dlg->SetQuitQuestion([](const QString&, const QString&) { return true; });
            w.dlg->OnQuit();
            QVERIFY(!w.dlg->isVisible());
        }
        Window clamped(0x09, "[config]\r\nvolume=150\r\nbrightness=-9\r\n");
        QCOMPARE(clamped.Slider(ControlId::Volume), 99);
        QCOMPARE(clamped.Slider(ControlId::Brightness), -5);
    }

    void mapSettingsTakeALocalFileAndTheCacheSize() {
        TempDir dir;
        const QString folder = QString::fromStdString(dir.File("profile"));
        AppProfile profile(folder);
        QCOMPARE(profile.MapCacheMegabytes(), 200);
        QCOMPARE(profile.MapCacheFolder(), folder + QStringLiteral("/map-cache"));
        QVERIFY(AppProfile().MapCacheFolder().endsWith(QStringLiteral("/tatview/map")));
        const auto set = [&](const char* key, const QVariant& value) {
            QSettings settings(profile.FilePath(), QSettings::IniFormat);
            settings.setValue(QString::fromLatin1(key), value);
        };
        for (const auto& [value, megabytes] : std::vector<std::pair<QVariant, int>>{
                 {0, 0}, {1500, 1500}, {-1, 200}, {2001, 200}, {QStringLiteral("lots"), 200}}) {
            set("Map/CacheMegabytes", value);
            QCOMPARE(profile.MapCacheMegabytes(), megabytes);
        }
        set("Map/TileUrl", QStringLiteral("mbtiles:/srv/maps/korea.mbtiles"));
        QCOMPARE(profile.MapTiles().urlTemplate, std::string("mbtiles:/srv/maps/korea.mbtiles"));
        set("Map/TileUrl", QStringLiteral("mbtiles:korea.mbtiles"));
        QCOMPARE(profile.MapTiles().urlTemplate, DefaultTileSource().urlTemplate);
    }

    void koreanAndEnglishTexts() {
        Window english(0x09);
        auto* list = static_cast<QTreeWidget*>(english.dlg->Control(ControlId::List));
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Type"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Date"));
        QCOMPARE(english.dlg->windowTitle(), QStringLiteral("VarnelPlayer"));
        Window korean(0x12);
        list = static_cast<QTreeWidget*>(korean.dlg->Control(ControlId::List));
        QCOMPARE(list->headerItem()->text(0), QString::fromUtf8("종류"));
        QCOMPARE(list->headerItem()->text(2), QString::fromUtf8("날짜"));
        QCOMPARE(list->columnWidth(2), 130);
        QCOMPARE(korean.dlg->windowTitle(), QStringLiteral("VarnelPlayer"));
        QString asked;
        korean.dlg->SetQuitQuestion([&](const QString& text, const QString& caption) {
            asked = caption + "|" + text;
            return false;
        });
        korean.dlg->OnQuit();
        QCOMPARE(asked, QString::fromUtf8("선택|종료 하시겠습니까?"));
    }

    void cardComingAndGoingIsNoticedByThePoll() {
        Window w;
        w.dlg->Controller().PollCard();
        QCOMPARE(w.dlg->Controller().CardDrive(), uint8_t{0});
        // A card appears in the folder the window was given.
        std::string out;
        const std::string card = w.dir.File("no-card");
        QCOMPARE(RunCommand("'" TATCARD_PATH "' demo '" + card + "' --seconds 1 >/dev/null", &out),
                 0);
        w.dlg->Controller().PollCard();
        QVERIFY(w.dlg->Controller().CardDrive() > 0);
        auto* list = static_cast<QTreeWidget*>(w.dlg->Control(ControlId::List));
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{"EVT", "EVENT_X_D"}));
        static_cast<QLabel*>(w.dlg->Control(ControlId::CurrentTime))->setText("00:00:07");
        std::filesystem::remove_all(card);
        w.dlg->Controller().PollCard();
        QCOMPARE(w.dlg->Controller().CardDrive(), uint8_t{0});
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(static_cast<QLabel*>(w.dlg->Control(ControlId::CurrentTime))->text(),
                 QStringLiteral("00:00:00"));
    }

    void commandLine() {
        bool help = false;
        std::string complaint;
        auto parsed = CSamplePlayerApp::ParseArguments(
            {"--card", "/media/x", "--verbose", "--play", "REC_20240305_090000_D"}, help,
            complaint);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->window.cardFolder, std::string("/media/x"));
        QVERIFY(parsed->window.verbose);
        QCOMPARE(parsed->play, std::string("REC_20240305_090000_D"));
        QVERIFY(!CSamplePlayerApp::ParseArguments({"--play"}, help, complaint));
        QVERIFY(!CSamplePlayerApp::ParseArguments({"--card"}, help, complaint));
        QVERIFY(!CSamplePlayerApp::ParseArguments({"--frobnicate"}, help, complaint));
        QVERIFY(CSamplePlayerApp::ParseArguments({"--help"}, help, complaint).has_value());
        QVERIFY(help);

        // --hwdec: one of its words, else the profile's setting (auto when it has none).
        QVERIFY(!parsed->window.hwdec.has_value());
        parsed = CSamplePlayerApp::ParseArguments({"--hwdec", "cuda"}, help, complaint);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->window.hwdec, std::optional<HwDecode>(HwDecode::kCuda));
        QVERIFY(!CSamplePlayerApp::ParseArguments({"--hwdec", "nvdec"}, help, complaint));
        QVERIFY(!CSamplePlayerApp::ParseArguments({"--hwdec"}, help, complaint));
        {
            TempDir profileDir;
            const AppProfile profile(QString::fromStdString(profileDir.Path().string()));
            QCOMPARE(profile.HwDecoding(), HwDecode::kAuto);
            for (const auto& [word, choice] : {std::pair{"no", HwDecode::kNo},
                                               {"VAAPI", HwDecode::kVaapi},
                                               {"junk", HwDecode::kAuto}}) {
                QSettings(profile.FilePath(), QSettings::IniFormat)
                    .setValue(QStringLiteral("Video/hwdec"), QString::fromLatin1(word));
                QCOMPARE(profile.HwDecoding(), choice);
            }
        }

        // PATH: a folder is opened as --card is; one video file is also played at once.
        TempDir dir;
        parsed = CSamplePlayerApp::ParseArguments({dir.Path().string()}, help, complaint);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->window.cardFolder, dir.Path().string());
        QVERIFY(parsed->play.empty());
        WriteFileText(dir.File("EVENT_20240305_090702_D.avi"), "x");
        parsed = CSamplePlayerApp::ParseArguments({dir.File("EVENT_20240305_090702_D.avi")}, help,
                                                  complaint);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->play, std::string("EVENT_20240305_090702_D"));
        QVERIFY(!CSamplePlayerApp::ParseArguments({"a", "b"}, help, complaint));

        // Answered before the window system starts (no display needed).
        std::string out;
        std::string error;
        QCOMPARE(CSamplePlayerApp::AnswerWithoutWindow({"--card", "/x", "--help"}, out, error), 0);
        QCOMPARE(out, std::string(CSamplePlayerApp::kUsage));
        out.clear();
        QCOMPARE(CSamplePlayerApp::AnswerWithoutWindow({"--version"}, out, error), 0);
        QVERIFY(out.rfind("varnelplayer ", 0) == 0);
        QCOMPARE(CSamplePlayerApp::AnswerWithoutWindow({"--frobnicate"}, out, error), 2);
        QCOMPARE(error, std::string("varnelplayer: unknown argument --frobnicate (varnelplayer "
                                    "--help shows the usage)\n"));
        // Qt's own options are Qt's to take first.
        QCOMPARE(CSamplePlayerApp::AnswerWithoutWindow({"-platform", "offscreen"}, out, error), -1);
        QCOMPARE(CSamplePlayerApp::AnswerWithoutWindow({"--card", "/x"}, out, error), -1);
        QCOMPARE(CSamplePlayerApp::AnswerWithoutWindow({dir.Path().string()}, out, error), -1);
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
