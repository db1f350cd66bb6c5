// Saving pictures and exporting recordings from the window as a user does: the capture button
// with its file name, replacing and failing; ticking rows, FileDownload, the progress window,
// Cancel, names that cannot be file names, Select All. Files are read back with ffprobe.
#include "tests/support/TempDir.h"
#include "tests/ui/app/WindowTestSupport.h"
#include "ui/app/AppProfile.h"
#include "ui/app/CSamplePlayerDlg.h"
#include "ui/app/SnapshotCommand.h"
#include "ui/logic/MainLayout.h"
#include "ui/widgets/CProgressDlg.h"
#include "ui/widgets/DownloadController.h"
#include "ui/widgets/RecordingListView.h"

#include <QCheckBox>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

// "width,height" of the first video stream of a file.
std::string PictureSize(const std::string& path) {
    return Probe("-select_streams v:0 -show_entries stream=width,height", path);
}

struct Window {
    TempDir dir;
    std::unique_ptr<CSamplePlayerDlg> dlg;
    QStringList messages;

    Window() {
        CSamplePlayerDlg::Options options = TestWindowOptions(TestCard(), dir);
        dlg = std::make_unique<CSamplePlayerDlg>(options);
        dlg->SetMessageSink([this](const QString& text) { messages << text; });
        dlg->show();
        dlg->Controller().PollCard();
        QTest::qWait(10);
    }
    RecordingListView* List() const {
        return static_cast<RecordingListView*>(dlg->Control(ControlId::List));
    }
    void Click(int id) const {
        QTest::mouseClick(static_cast<QWidget*>(dlg->Control(id)), Qt::LeftButton);
    }
    // Plays a row of a filter and waits until pictures of both channels have been decoded.
    void PlayRow(int filter, int row) {
        dlg->Controller().ListRecordings(filter);
        QVERIFY(dlg->Controller().PlayRow(row));
        QVERIFY(WaitUntil([&] { return dlg->Controller().CurrentMs() > 700; }, 5000));
    }
    void Tick(int row) const { List()->topLevelItem(row)->setCheckState(0, Qt::Checked); }
    void DownloadTo(const std::string& folder) {
        dlg->Download().SetAskFolder(
            [folder](const QString&, const QString&) { return QString::fromStdString(folder); });
        Click(ControlId::Download);
        QVERIFY(WaitUntil([&] { return !dlg->Download().Busy(); }, 20000));
    }
};

} // namespace

class SaveAndExportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!TestCard().empty(), "TATVIEW_TEST_CARD names no card"); }

    void namesOfTheSavedPictures() {
        QCOMPARE(SnapshotCommand::DefaultName(2024, 3, 5, 9, 7, 2),
                 QStringLiteral("Capture_202435_972.jpg"));
        QCOMPARE(
            SnapshotCommand::TargetsOf("/p/Capture_2024315_1430.jpg", 2),
            (QStringList{"/p/Capture_2024315_1430_front.jpg", "/p/Capture_2024315_1430_rear.jpg"}));
        QCOMPARE(SnapshotCommand::TargetsOf("/p/shot", 1), QStringList{"/p/shot_front.jpg"});
        QCOMPARE(SnapshotCommand::TargetsOf("/p/shot.jpeg", 1), QStringList{"/p/shot_front.jpg"});
        QCOMPARE(SnapshotCommand::TargetsOf("/p.q/shot", 1), QStringList{"/p.q/shot_front.jpg"});
        QCOMPARE(SnapshotCommand::TargetsOf("/p/a.b.jpg", 1), QStringList{"/p/a.b_front.jpg"});
    }

    void captureWritesBothPicturesAtTheirRecordedSizeAndResumes() {
        Window w;
        w.PlayRow(0, 0); // EVENT_20240305_174503_D: front and rear
        const std::string shot = w.dir.File("shot.jpeg");
        QString suggested;
        bool pausedWhileAsking = false;
        w.dlg->Snapshot().SetAskPath([&](const QString& path) {
            suggested = path;
            pausedWhileAsking = !w.dlg->Controller().Playing();
            return QString::fromStdString(shot);
        });
        w.Click(ControlId::Snapshot);
        QVERIFY(pausedWhileAsking);
        QVERIFY(QFileInfo(suggested).fileName().startsWith("Capture_"));
        QVERIFY(suggested.endsWith(".jpg"));
        QCOMPARE(PictureSize(w.dir.File("shot_front.jpg")), std::string("1280,720\n"));
        QCOMPARE(PictureSize(w.dir.File("shot_rear.jpg")), std::string("640,360\n"));
        QVERIFY(!fs::exists(w.dir.File("shot._front.jpg")));
        QVERIFY(w.dlg->Controller().Playing());
        QVERIFY(w.dlg->Control(ControlId::Pause)->isVisible());
        QVERIFY(w.messages.isEmpty());

        // The files that would be replaced are asked about; No writes nothing.
        const auto before = fs::last_write_time(w.dir.File("shot_front.jpg"));
        QString asked;
        w.dlg->Snapshot().SetAskYesNo([&](const QString& text) {
            asked = text;
            return false;
        });
        w.Click(ControlId::Snapshot);
        QVERIFY(asked.contains("shot_front.jpg") && asked.contains("shot_rear.jpg"));
        QCOMPARE(fs::last_write_time(w.dir.File("shot_front.jpg")), before);

        // Cancelled: nothing is written; paused before, paused after.
        w.dlg->OnPause();
        w.dlg->Snapshot().SetAskPath([](const QString&) { return QString(); });
        const auto files = std::distance(fs::directory_iterator(w.dir.Path()), {});
        w.Click(ControlId::Snapshot);
        QCOMPARE(std::distance(fs::directory_iterator(w.dir.Path()), {}), files);
        QVERIFY(!w.dlg->Controller().Playing());
    }

    void aRearUnderTheMapIsSnapshottedAtThePausedMoment() {
        // The map lies over the rear from the first fix on, so the rear is not decoded as it
        // plays; a snapshot still holds its picture of the moment, at each of two positions.
        Window w;
        w.PlayRow(0, 0); // EVENT_20240305_174503_D: front, rear and GPS
        QVERIFY(WaitUntil([&] { return w.dlg->Control(ControlId::MapSize)->isEnabled(); }, 5000));
        QVERIFY(!w.dlg->Control(ControlId::RearPicture)->isVisible());
        w.dlg->OnPause();
        std::vector<std::vector<uint8_t>> rears;
        for (const int64_t ms : {1000, 4000}) {
            w.dlg->Controller().SeekToMs(ms);
            QVERIFY(
                WaitUntil([&] { return w.dlg->Controller().CurrentMs() / 500 == ms / 500; }, 5000));
            QTest::qWait(200);
            const std::string shot = w.dir.File("at" + std::to_string(ms) + ".jpg");
            w.dlg->Snapshot().SetAskPath(
                [&](const QString&) { return QString::fromStdString(shot); });
            w.Click(ControlId::Snapshot);
            const std::string rear = w.dir.File("at" + std::to_string(ms) + "_rear.jpg");
            QCOMPARE(PictureSize(rear), std::string("640,360\n"));
            rears.push_back(ReadFileBytes(rear));
        }
        QVERIFY2(rears[0] != rears[1], "the rear snapshots are of two different moments");
        QVERIFY(w.messages.isEmpty());
    }

    void aPictureThatCannotBeWrittenIsToldAndOneChannelGivesOneFile() {
        Window w;
        w.PlayRow(0, 1); // EVENT_20240305_092233_S: front only
        w.dlg->Snapshot().SetAskPath(
            [&](const QString&) { return QString::fromStdString(w.dir.File("one")); });
        w.Click(ControlId::Snapshot);
        QVERIFY(fs::exists(w.dir.File("one_front.jpg")));
        QVERIFY(!fs::exists(w.dir.File("one_rear.jpg")));
        w.dlg->Snapshot().SetAskPath(
            [&](const QString&) { return QString::fromStdString(w.dir.File("gone/two.jpg")); });
        w.Click(ControlId::Snapshot);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages.front().startsWith("The picture could not be saved:"));
        QVERIFY(w.messages.front().contains("two_front.jpg"));
    }

    void downloadExportsTheTickedRowsAsPlayableFiles() {
        Window w;
        w.dlg->Controller().ListRecordings(4);
        w.Click(ControlId::Download);
        QCOMPARE(w.messages, QStringList{"Choose the file to be saved."});
        for (int row : {0, 1, 2})
            w.Tick(row);
        const std::vector<std::string> names = w.List()->CheckedNames();
        const std::string folder = w.dir.File("out");
        fs::create_directory(folder);
        w.DownloadTo(folder);
        QCOMPARE(w.messages.size(), 1);
        QCOMPARE(w.dlg->Download().Progress().FileValue(), 3);
        QVERIFY(!w.dlg->Download().Progress().isVisible());
        QCOMPARE(w.dlg->windowTitle(),
                 QString::fromStdString("Make File 002/003 [" + names[2] + "]"));
        for (const std::string& name : names) {
            const std::string file = folder + "/" + name + ".avi";
            const bool twoChannels = name.back() == 'D';
            const QString streams =
                QString::fromStdString(Probe("-show_entries stream=codec_type", file));
            QCOMPARE(streams.count("video"), twoChannels ? 2 : 1);
            QCOMPARE(streams.count("audio"), 1);
            // The route beside it: the demo card's recordings carry GPS lines.
            QVERIFY(QString::fromStdString(ReadFileText(folder + "/" + name + ".gpx"))
                        .contains("<trkpt lat=\"37."));
        }
        QCOMPARE(AppProfile(QString::fromStdString(w.dir.File("profile"))).TargetFolder(),
                 QString::fromStdString(folder));
    }

    void cancelDuringTheSecondFileKeepsItPlayableAndStartsNoThird() {
        Window w;
        w.dlg->Controller().ListRecordings(4);
        for (int row : {0, 1, 2})
            w.Tick(row);
        const std::vector<std::string> names = w.List()->CheckedNames();
        w.dlg->Download().SetObserver([&](int file, int64_t written) {
            if (file == 1 && written == 60)
                w.dlg->Download().Progress().Cancel();
        });
        w.DownloadTo(w.dir.Path().string());
        const auto& reports = w.dlg->Download().Reports();
        QCOMPARE(reports.size(), size_t{2});
        QVERIFY(reports[0].outcome == ExportReport::Outcome::kComplete);
        QVERIFY(reports[1].outcome == ExportReport::Outcome::kCancelled);
        const std::string second = w.dir.File(names[1] + ".avi");
        const std::string frames =
            Probe("-count_frames -select_streams v:0 -show_entries stream=nb_read_frames", second);
        QVERIFY2(std::atoi(frames.c_str()) >= 60 && std::atoi(frames.c_str()) < 180,
                 frames.c_str());
        QVERIFY(!fs::exists(w.dir.File(names[2] + ".avi")));
        QVERIFY(w.messages.isEmpty());
        // The download is over: the button works again.
        w.dlg->Download().SetObserver({});
        w.Click(ControlId::Download);
        QVERIFY(WaitUntil([&] { return !w.dlg->Download().Busy(); }, 20000));
        QCOMPARE(w.dlg->Download().Reports().size(), size_t{3});
    }

    void closingTheWindowDuringADownloadStopsItFirst() {
        Window w;
        w.dlg->Controller().ListRecordings(4);
        w.Tick(0);
        w.Tick(1);
        std::atomic<int> frames{0};
        w.dlg->Download().SetObserver([&](int, int64_t) {
            ++frames;
            QThread::msleep(2); // a slow card
        });
        w.dlg->Download().SetAskFolder(
            [&](const QString&, const QString&) { return QString::fromStdString(w.dir.File("")); });
        w.Click(ControlId::Download);
        QVERIFY(WaitUntil([&] { return frames.load() > 10; }, 5000));
        QVERIFY(w.dlg->Download().Busy());
        w.dlg.reset(); // the exporting thread ends before the player and its parser go
        QVERIFY(frames.load() < 400);
        // The file it was writing is kept as Cancel keeps it: closed and playable.
        int files = 0;
        for (const auto& entry : fs::directory_iterator(w.dir.Path()))
            if (entry.path().extension() == ".avi") {
                ++files;
                QCOMPARE(Probe("-select_streams v:0 -show_entries stream=codec_name",
                               entry.path().string()),
                         std::string("h264\n"));
            }
        QCOMPARE(files, 1);
    }

    void namesThatCannotBeFileNamesAreSkippedAndTold() {
        Window w;
        w.dlg->Controller().ListRecordings(0);
        w.Tick(0);
        auto* odd = new QTreeWidgetItem(QStringList{"EVT", "../EVENT_20240305_092233_S"});
        odd->setCheckState(0, Qt::Checked);
        w.List()->addTopLevelItem(odd);
        const std::string folder = w.dir.File("out");
        fs::create_directory(folder);
        w.DownloadTo(folder);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages.front().startsWith("These recordings were not exported in full:"));
        QVERIFY(w.messages.front().contains("../EVENT_20240305_092233_S: skipped"));
        QCOMPARE(
            std::count_if(fs::directory_iterator(folder), {},
                          [](const auto& entry) { return entry.path().extension() == ".avi"; }),
            1);
        QVERIFY(!fs::exists(w.dir.File("EVENT_20240305_092233_S.avi")));
    }

    void selectAllTicksAndClearsEveryRow() {
        Window w;
        w.dlg->OnOpen();
        auto* box = static_cast<QCheckBox*>(w.dlg->Control(ControlId::SelectAll));
        QVERIFY(box->isVisible());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(w.List()->CheckedNames().size(), w.dlg->Controller().Rows().size());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(w.List()->CheckedNames().empty());
        QTest::mouseClick(box, Qt::LeftButton);
        w.dlg->OnFilter(0); // a new list starts unticked, and so does the box
        QVERIFY(w.List()->CheckedNames().empty());
        QVERIFY(!box->isChecked());
    }
};

QTEST_MAIN(SaveAndExportTest)
#include "SaveAndExportTest.moc"
