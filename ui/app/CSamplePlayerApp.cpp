#include "CSamplePlayerApp.h"

#include "base/ProgramVersion.h"
#include "player/decoder/CFFMH264_Decoder.h"
#include "player/decoder/HwDecode.h"
#include "player/decoder/ScalerGathers.h"
#include "storage/FolderScanner.h"
#include "storage/TatCardFinder.h"
#include "ui/logic/Language.h"
#include "ui/widgets/LocalTileSchemeHandler.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Passes every message on but the X11 platform's note that it has no OpenGL, which is what
// the window asked for (see Run).
void QuietAboutNoOpenGl(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg &&
        text.startsWith(QStringLiteral("QXcbIntegration: Cannot create platform OpenGL context")))
        return;
    if (g_previousHandler != nullptr)
        g_previousHandler(type, context, text);
}

} // namespace

std::optional<CSamplePlayerApp::Invocation>
CSamplePlayerApp::ParseArguments(const std::vector<std::string>& args, bool& help,
                                 std::string& complaint) {
    Invocation invocation;
    CSamplePlayerDlg::Options& options = invocation.window;
    help = false;
    bool pathGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--verbose") {
            options.verbose = true;
        } else if (a == "--hwdec") {
            options.hwdec = i + 1 < args.size() ? ParseHwDecode(args[i + 1]) : std::nullopt;
            if (!options.hwdec) {
                complaint = "--hwdec takes auto, vaapi, cuda or no";
                return std::nullopt;
            }
            ++i;
        } else if (a == "--card") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                complaint = "--card needs a folder";
                return std::nullopt;
            }
            options.cardFolder = args[++i];
        } else if (a.rfind("--card=", 0) == 0 && a.size() > 7) {
            options.cardFolder = a.substr(7);
        } else if (a == "--play") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                complaint = "--play needs a recording name";
                return std::nullopt;
            }
            invocation.play = args[++i];
        } else if (a == "--trip") {
            char* end = nullptr;
            const long trip = i + 1 < args.size() ? std::strtol(args[i + 1].c_str(), &end, 10) : 0;
            if (i + 1 >= args.size() || end == nullptr || *end != '\0' || trip < 1 ||
                trip > 1000000) {
                complaint = "--trip needs a drive number from 1";
                return std::nullopt;
            }
            ++i;
            invocation.trip = static_cast<int>(trip);
        } else if (a == "--screenshot") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                complaint = "--screenshot needs a file";
                return std::nullopt;
            }
            invocation.screenshot = args[++i];
        } else if (a == "--after") {
            char* end = nullptr;
            const long ms = i + 1 < args.size() ? std::strtol(args[i + 1].c_str(), &end, 10) : -1;
            if (end == nullptr || *end != '\0' || ms < 0 || ms > 600000) {
                complaint = "--after needs a number of milliseconds";
                return std::nullopt;
            }
            invocation.screenshotAfterMs = static_cast<int>(ms);
            ++i;
        } else if (a.rfind("--", 0) != 0 && !a.empty() && !pathGiven) {
            // PATH: a card, a dash-cam folder or one video file, played at once.
            options.cardFolder = a;
            pathGiven = true;
            if (ClassifySource(a) == SourceKind::kFile && invocation.play.empty())
                invocation.play = folderscan::SingleFile(a).name;
        } else {
            complaint = "unknown argument " + a;
            return std::nullopt;
        }
    }
    options.languageId = LanguageIdFromEnvironment(std::getenv("LC_ALL"),
                                                   std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    return invocation;
}

int CSamplePlayerApp::AnswerWithoutWindow(const std::vector<std::string>& args, std::string& out,
                                          std::string& error) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            out = kUsage;
            return 0;
        }
        if (a == "--version") {
            out = std::string("varnelplayer ") + ProgramVersion() + "\n";
            return 0;
        }
    }
    bool help = false;
    std::string complaint;
    if (ParseArguments(args, help, complaint))
        return -1;
    const bool qtOption = std::any_of(args.begin(), args.end(), [](const std::string& a) {
        return a.size() > 1 && a[0] == '-' && a[1] != '-';
    });
    if (qtOption)
        return -1; // told once Qt has taken its own options out
    error = "varnelplayer: " + complaint + " (varnelplayer --help shows the usage)\n";
    return 2;
}

int CSamplePlayerApp::Run(int argc, char** argv) {
    {
        std::vector<std::string> args(argv + 1, argv + argc);
        std::string out;
        std::string error;
        const int status = AnswerWithoutWindow(args, out, error);
        if (status >= 0) {
            std::fputs(out.c_str(), stdout);
            std::fputs(error.c_str(), stderr);
            return status;
        }
    }
    MarkGathersSlow(); // before the engine's threads make their scaling contexts
    // The map's embedded browser shares its GL contexts with the window. Its small pane is
    // composited in software: on machines without a GPU (a virtual display, a remote session)
    // OpenGL compositing falls back to a CPU rasterizer that redraws the whole view and costs
    // several times the playback itself. QT_QUICK_BACKEND set by the user still decides.
    // Composited in software, the window needs no OpenGL at all: on X11 it then does without
    // the OpenGL driver, whose loading and the browser's shared context made on it cost the
    // window a third of a second and 50 MiB at every start (QT_XCB_GL_INTEGRATION set by the
    // user still decides).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) {
        qputenv("QT_QUICK_BACKEND", "software");
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
            qputenv("QT_XCB_GL_INTEGRATION", "none");
            g_previousHandler = qInstallMessageHandler(&QuietAboutNoOpenGl);
        }
    }
    // The map's local tiles come through a URL scheme of our own, known to the browser only
    // when registered before the application exists.
    LocalTileSchemeHandler::RegisterScheme();
    // Qt takes its own options (-platform, ...) out of argv first.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnelplayer"));
    QApplication::setOrganizationName(QStringLiteral("tatview"));
    QApplication::setDesktopFileName(QStringLiteral("varnelplayer"));
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    bool help = false;
    std::string complaint;
    const auto invocation = ParseArguments(args, help, complaint);
    if (!invocation) {
        std::fprintf(stderr, "varnelplayer: %s (varnelplayer --help shows the usage)\n",
                     complaint.c_str());
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    CFFMH264_Decoder::SetLibraryMessages(invocation->window.verbose);
    CSamplePlayerDlg window(invocation->window);
    bool saved = true;
    if (!invocation->screenshot.empty()) {
        const QString path = QString::fromStdString(invocation->screenshot);
        QTimer::singleShot(invocation->screenshotAfterMs, &window, [&window, &saved, path] {
            saved = window.grab().save(path, "PNG");
            window.done(0);
        });
    }
    window.show();
    if (!invocation->play.empty() && !window.Controller().PlayRecording(invocation->play))
        std::fprintf(stderr, "varnelplayer: no recording %s on the card\n",
                     invocation->play.c_str());
    if (invocation->trip > 0 && !window.PlayTripNumber(invocation->trip))
        std::fprintf(stderr, "varnelplayer: no drive %d\n", invocation->trip);
    window.exec();
    if (!saved) {
        std::fprintf(stderr, "varnelplayer: cannot write %s\n", invocation->screenshot.c_str());
        return 1;
    }
    return 0;
}
