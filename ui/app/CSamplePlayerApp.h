#pragma once
#include "CSamplePlayerDlg.h"

#include <optional>
#include <string>
#include <vector>

// The program: reads the command line, chooses the language, shows the main window and runs
// until it closes.
class CSamplePlayerApp {
public:
    static constexpr const char* kUsage =
        "usage: varnelplayer [PATH | --card DIR] [--play NAME | --trip N] [--verbose]\n"
        "                    [--hwdec auto|vaapi|cuda|no]\n"
        "                    [--screenshot FILE [--after MS]] [--help] [--version]\n"
        "  PATH          open the camera card in folder PATH, a folder of dash-cam video\n"
        "                files (searched through), or one video file (played at once,\n"
        "                with the other cameras of its recording beside it)\n"
        "  --card DIR    the same for a folder (also: environment TATVIEW_CARD); without\n"
        "                either, cards and dash-cam folders in mounted removable volumes\n"
        "                are found\n"
        "  --verbose     diagnostic lines on standard output\n"
        "  --hwdec WORD  decode on a VAAPI or CUDA device, auto the first that answers\n"
        "                (default: the profile's Video/hwdec, else auto), or no; without\n"
        "                a device one line says so and software decodes\n"
        "  --play NAME   open the card and play recording NAME at once\n"
        "  --trip N      show the drives and play drive N at once (1 the oldest, as\n"
        "                tatcard trips numbers them)\n"
        "  --screenshot FILE [--after MS]\n"
        "                save a picture of the window to FILE (PNG) MS milliseconds after it\n"
        "                is shown (default 1500) and quit\n"
        "  --help        this text\n"
        "  --version     the version\n"
        "Qt's own options (-platform NAME, ...) are taken too.\n";

    struct Invocation {
        CSamplePlayerDlg::Options window;
        std::string play;       // a recording to play at once
        int trip = 0;           // a drive to play at once (1 the oldest); 0: none
        std::string screenshot; // empty: run normally
        int screenshotAfterMs = 1500;
    };

    // What the arguments ask for (without the program name); nothing, with one
    // line in complaint, for arguments it does not know. help is set for --help.
    static std::optional<Invocation> ParseArguments(const std::vector<std::string>& args,
                                                    bool& help, std::string& complaint);

    // What the program answers before the window system starts: the usage for --help or
    // -h, the version for --version, and the complaint about arguments it does not know when
    // none of them looks like one of Qt's own options (one leading dash). Returns the exit
    // status with the text in `out` (stdout) or `error` (stderr); -1 when the window starts.
    static int AnswerWithoutWindow(const std::vector<std::string>& args, std::string& out,
                                   std::string& error);

    // Runs the program; the process's exit status.
    static int Run(int argc, char** argv);
};
