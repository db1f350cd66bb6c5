// The window's download of a card, timed: the named recordings, or every recording the window
// lists, go through the download controller (its exporting thread, its progress window and the
// queued progress updates) on the offscreen platform, into a folder. Prints one line:
//   download files=N complete=N ms=T
//
//   download_bench CARD FOLDER [NAME...]
#include "sources/SourceOpening.h"
#include "storage/CTATLibrary.h"
#include "ui/logic/RecordingList.h"
#include "ui/widgets/DownloadController.h"

#include <QApplication>
#include <QEventLoop>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: download_bench CARD FOLDER [NAME...]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TatCardSource source;
    source.cardFolder = argv[1];
    source.scanRemovable = false;
    CTATLibrary library(source);
    const uint8_t drive = library.PollCardDrive();
    if (drive == 0) {
        std::fprintf(stderr, "download_bench: no card in %s\n", argv[1]);
        return 1;
    }
    library.MountCard();
    const std::vector<std::string> names =
        argc > 3 ? std::vector<std::string>(argv + 3, argv + argc)
                 : RecordingList::ListNames(library, drive, RecordingList::kFilterAll);
    const std::shared_ptr<VRecordingSource> recordings = sources::Open(argv[1], {});
    if (!recordings) {
        std::fprintf(stderr, "download_bench: %s cannot be read\n", argv[1]);
        return 1;
    }

    QWidget window;
    const QString folder = QString::fromLocal8Bit(argv[2]);
    DownloadController download(
        [&recordings] { return recordings; },
        DownloadController::TargetFolder{[] { return QString(); }, [](const QString&) {}}, 0x09,
        &window);
    download.SetAskFolder([&folder](const QString&, const QString&) { return folder; });
    QEventLoop loop;
    QObject::connect(&download, &DownloadController::finished, &loop, &QEventLoop::quit);

    const auto start = std::chrono::steady_clock::now();
    if (!download.ChooseFolderAndStart(names))
        return 1;
    loop.exec();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    size_t complete = 0;
    for (const ExportReport& report : download.Reports())
        complete += report.outcome == ExportReport::Outcome::kComplete;
    std::printf("download files=%zu complete=%zu ms=%.1f\n", names.size(), complete, took.count());
    return complete == names.size() ? 0 : 1;
}
