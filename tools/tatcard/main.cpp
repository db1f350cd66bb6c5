// tatcard: the command-line companion for camera cards.
//
//   tatcard demo DIR                         makes a demonstration card in folder DIR
//   tatcard ls DIR [--category WORD]         lists recordings (event, rec, parking, manual, all)
//   tatcard info DIR NAME                    describes one recording
//   tatcard export DIR NAME OUT.avi          writes a recording's pictures and sound to AVI
//   tatcard import DIR --front F ...         makes a recording from media files
//   tatcard play DIR NAME [...]              plays a recording headless and prints figures
//   tatcard bench DIR NAME [--size WxH]      decodes every picture as fast as it can
#include "CardCommands.h"
#include "DemoCard.h"
#include "ImportCommand.h"
#include "PlaybackCommands.h"
#ifdef TATCARD_WITH_WINDOW
#include "PlayWindow.h"
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: tatcard COMMAND ...\n"
    "  tatcard demo DIR                       make a demonstration card in folder DIR\n"
    "  tatcard ls DIR [--category WORD]       list recordings; WORD is event, rec, parking,\n"
    "                                         manual or all (the default)\n"
    "  tatcard info DIR NAME                  describe one recording\n"
    "  tatcard export DIR NAME OUT.avi        write a recording's front and rear pictures\n"
    "                                         and its sound to an AVI file\n"
    "  tatcard import DIR --front F [--rear R] [--nmea LOG] --category C --name N\n"
    "                                         make recording N on the card in DIR from video\n"
    "                                         files: F the front camera, R the rear one\n"
    "                                         (frame i of R goes with frame i of F; extra\n"
    "                                         rear frames are left out). H.264 is copied,\n"
    "                                         other video coded as H.264; the sound of F\n"
    "                                         becomes 8 kHz mono. LOG: NMEA sentences, one\n"
    "                                         a line; its RMC fixes are placed by their\n"
    "                                         time, the first fix at the first frame.\n"
    "                                         C is event, rec, parking or manual; N is\n"
    "                                         CATEGORY_YYYYMMDD_HHMMSS_D with --rear or\n"
    "                                         ..._S without (REC_20240305_090702_D), the\n"
    "                                         category word matching C and the date and\n"
    "                                         time the recording started (local clock)\n"
    "  tatcard play DIR NAME [OPTIONS]        play a recording through the player with\n"
    "                                         headless pictures and real sound (silent at\n"
    "                                         the recording's pace without a sound server)\n"
    "                                         and print one line of figures:\n"
    "                                         play frames= duration_ms= wall_ms= cpu_ms=\n"
    "                                         interval_p50_ms= interval_p95_ms=\n"
    "                                         interval_p99_ms= av_offset_mean_ms=\n"
    "                                         av_offset_drift_ms= [seek_first_frame_ms=]\n"
    "      --seek-ms MS                       seek to MS (repeatable)\n"
    "      --step S                           step S seconds, negative: back (repeatable)\n"
    "      --pause-ms MS                      pause for MS (repeatable)\n"
    "                                         the steps run in the order given, each\n"
    "      --gap-ms MS                        MS after the previous one (default 3000)\n"
    "      --limit-ms MS                      stop after MS instead of at the end\n"
    "      --size WxH                         front picture size (default 640x360)\n"
    "      --pacer steady|mean                frames on a steady schedule (default) or by\n"
    "                                         the earlier mean-compensated rule\n"
    "      --null-audio                       play silently even when a server answers\n"
    "      --show                             show the pictures in a window\n"
    "      --verbose                          the player's diagnostic lines\n"
    "  tatcard bench DIR NAME [--size WxH]    decode and convert every front and rear\n"
    "                                         picture as fast as possible to WxH (default\n"
    "                                         640x360) and print frames, wall_ms, cpu_ms, fps\n"
    "  tatcard --help                         this text\n";

int BadArguments(const std::string& why) {
    std::fprintf(stderr, "tatcard: %s (tatcard --help shows the usage)\n", why.c_str());
    return 2;
}

int Demo(const std::vector<std::string>& args) {
    // demo DIR [--seconds N]: N shortens every recording (for quick checks).
    int seconds = 0;
    std::string dir;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            seconds = std::atoi(args[++i].c_str());
            if (seconds <= 0 || seconds > 600)
                return BadArguments("--seconds takes a number from 1 to 600");
        } else if (dir.empty() && args[i].rfind("--", 0) != 0) {
            dir = args[i];
        } else {
            return BadArguments("unexpected argument " + args[i]);
        }
    }
    if (dir.empty())
        return BadArguments("demo needs a folder");
    const auto began = std::chrono::steady_clock::now();
    std::string error;
    if (!MakeDemoCard(dir, DemoPlans(seconds), DemoFormat(), stdout, &error)) {
        std::fprintf(stderr, "tatcard: %s\n", error.c_str());
        return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    std::printf("demo card in %s made in %.1f s\n", dir.c_str(), took.count());
    return 0;
}

int List(const std::vector<std::string>& args) {
    int category = 4;
    std::string dir;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--category") {
            if (i + 1 >= args.size())
                return BadArguments("--category needs event, rec, parking, manual or all");
            category = CategoryFromWord(args[++i]);
            if (category < 0)
                return BadArguments("unknown category " + args[i]);
        } else if (dir.empty() && args[i].rfind("--", 0) != 0) {
            dir = args[i];
        } else {
            return BadArguments("unexpected argument " + args[i]);
        }
    }
    if (dir.empty())
        return BadArguments("ls needs a card folder");
    return ListRecordings(dir, category);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return BadArguments("no command");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "demo")
        return Demo(args);
    if (command == "ls")
        return List(args);
    if (command == "info") {
        if (args.size() != 3)
            return BadArguments("info needs a card folder and a recording name");
        return DescribeRecording(args[1], args[2]);
    }
    if (command == "export") {
        if (args.size() != 4)
            return BadArguments("export needs a card folder, a recording name and an AVI file");
        return ExportRecording(args[1], args[2], args[3]);
    }
    if (command == "import")
        return ImportCommand(args);
    if (command == "play") {
#ifdef TATCARD_WITH_WINDOW
        return PlayCommand(args, RunWithPlayWindow);
#else
        return PlayCommand(args);
#endif
    }
    if (command == "bench")
        return BenchCommand(args);
    return BadArguments("unknown command " + command);
}
