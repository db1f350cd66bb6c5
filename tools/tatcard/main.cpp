// tatcard: the command-line companion for camera cards.
//
//   tatcard demo DIR [...]                   makes a demonstration card in folder DIR
//   tatcard ls DIR [--category WORD]         lists recordings (event, rec, parking, manual, all)
//   tatcard info DIR NAME                    describes one recording
//   tatcard rm DIR NAME                      deletes one recording as the camera does
//   tatcard export DIR NAME OUT.avi          writes a recording's pictures and sound to AVI
//   tatcard export DIR --to FOLDER [...]     writes several recordings to FOLDER/NAME.avi
//   tatcard config DIR [--set KEY=VALUE...]  prints or changes the camera's settings
//   tatcard gpx DIR NAME [OUT.gpx]           writes a recording's route as GPX
//   tatcard trips DIR [--json] [--gap S]     lists the drives: recordings that follow closely
//   tatcard csv DIR NAME [OUT.csv]           writes a recording's fixes and G-sensor samples
//   tatcard verify MANIFEST                  checks a clip export against its evidence record
//   tatcard import DIR --front F ...         makes a recording from media files
//   tatcard play DIR NAME [...]              plays a recording headless and prints figures
//   tatcard bench DIR NAME [--size WxH]      decodes every picture as fast as it can
//   tatcard hwdec                            the hardware decoders and devices there are
//   tatcard clip SOURCE ... --out FILE.mp4   exports an incident clip with its evidence record
//   tatcard --help | --version               the usage, the version
//
// The commands that code, decode or show pictures (demo, import, play, bench, hwdec, clip) are in
// the program tatcard-media beside this one, which tatcard runs in its place: listing, describing
// and exporting then start without loading FFmpeg and Qt (a few milliseconds instead of tens).
#include "CardCommands.h"
#include "CommandLine.h"
#include "ConfigCommand.h"
#include "FolderCommands.h"
#include "TrackCommands.h"
#include "TripCommands.h"
#include "VerifyCommand.h"
#include "base/ProgramVersion.h"
#include "storage/TatCardFinder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A folder of ordinary video files or one video file, rather than the camera's storage.
bool IsDashcamSource(const std::string& path) {
    const SourceKind kind = ClassifySource(path);
    return kind == SourceKind::kFolder || kind == SourceKind::kFile;
}

constexpr char kUsage[] =
    "usage: tatcard COMMAND ...\n"
    "  tatcard demo DIR [--seconds N] [--front WxH] [--fps N]\n"
    "                                         make a demonstration card in folder DIR:\n"
    "                                         recordings of N s each with --seconds, front\n"
    "                                         pictures of WxH (1280x720 by default) and N\n"
    "                                         frames a second (30 by default; 10 to 60)\n"
    "  tatcard ls DIR [--category WORD] [--json]\n"
    "                                         list recordings; WORD is event, rec, parking,\n"
    "                                         manual or all (the default). Marked rows: a\n"
    "                                         recording never closed (incomplete) and one\n"
    "                                         under 512 KiB, which the window does not list;\n"
    "                                         --json prints one JSON array of {name,\n"
    "                                         category, start, channels, duration_s,\n"
    "                                         size_bytes, damaged}\n"
    "                                         DIR is the card (a folder holding\n"
    "                                         TATSTORE/VOLUME.TAT), or a folder of dash-cam\n"
    "                                         video files (searched through), or one video\n"
    "                                         file (with the other cameras of its recording\n"
    "                                         beside it); info, play and bench take its\n"
    "                                         recordings by the names ls prints\n"
    "  tatcard info DIR NAME                  describe one recording\n"
    "  tatcard rm DIR NAME                    delete a recording as the camera does: its\n"
    "                                         entry is marked deleted (the next recording\n"
    "                                         takes its place) and its file removed\n"
    "  tatcard export DIR NAME OUT.avi        write a recording's front and rear pictures\n"
    "                                         and its sound to an AVI file\n"
    "  tatcard export DIR --to FOLDER [--category WORD] [NAME...]\n"
    "                                         write recordings to FOLDER/NAME.avi: the NAMEs\n"
    "                                         given, or every recording the window lists\n"
    "                                         for WORD (event, rec, parking, manual or all,\n"
    "                                         the default)\n"
    "                                         (for a dash-cam folder: each recording's\n"
    "                                         original files, copied into FOLDER); FOLDER\n"
    "                                         and the folders above it are made if missing\n"
    "                                         Both forms refuse targets inside the card's\n"
    "                                         storage, write to a temporary file that replaces\n"
    "                                         the target only when finished, and exit with 1\n"
    "                                         when a recording is not exported whole (each is\n"
    "                                         named on standard error; a read that fails\n"
    "                                         part-way keeps the part before it)\n"
    "  tatcard config DIR                     print the camera's settings as KEY=VALUE lines,\n"
    "                                         as the viewer's settings dialog shows them\n"
    "  tatcard config DIR --set KEY=VALUE...  change them in DIR/SETTING/blackbox.cfg as the\n"
    "                                         dialog's Save does (made from the camera's\n"
    "                                         configuration first when the camera has taken\n"
    "                                         the last save; tat_update=1 afterwards). KEY:\n"
    "                                         mic_in, voice_out, front_led (0 or 1);\n"
    "                                         mic_volume, voice_volume, acc_level,\n"
    "                                         motion_level (1 to 5); power_off_vlt (0, 11800,\n"
    "                                         12000 or 12200); local_time (-12 to 12); set=1\n"
    "                                         sends the PC's clock to the camera, with year,\n"
    "                                         month, day, hour, min, sec in its place where\n"
    "                                         given. An unknown key or a value out of range\n"
    "                                         changes nothing and exits with 2\n"
    "  tatcard gpx DIR NAME [OUT.gpx]         the recording's route as GPX 1.1: one track\n"
    "                                         of its plausible fixes (no status V, no\n"
    "                                         coordinates off the earth, no jump faster\n"
    "                                         than 300 km/h), UTC times, speed in m/s in the\n"
    "                                         Garmin TrackPointExtension; standard output\n"
    "                                         without OUT\n"
    "  tatcard gpx DIR --trip N [--gap S] [OUT.gpx]\n"
    "  tatcard csv DIR --trip N [--gap S] [OUT.csv]\n"
    "                                         (csv: --units mph gives speed_mph in place\n"
    "                                         of speed_kmh)\n"
    "                                         one track of trip N (as tatcard trips numbers\n"
    "                                         them), its recordings back to back\n"
    "  tatcard trips DIR [--json] [--gap S] [--units kmh|mph]\n"
    "                                         the drives: runs of recordings each starting\n"
    "                                         at most S seconds (10) after the one before\n"
    "                                         ends, whatever their category; numbered from\n"
    "                                         1, the oldest; start, length, recordings,\n"
    "                                         distance, top and average speed (units from\n"
    "                                         the locale unless given), events; --json:\n"
    "                                         one JSON array, metric\n"
    "  tatcard csv DIR NAME [OUT.csv]         the recording's G-sensor samples and fixes as\n"
    "                                         CSV, one row each in time order: time_ms, kind\n"
    "                                         (gsensor, fix, nofix), x_g, y_g, z_g, lat, lon,\n"
    "                                         speed_kmh; a car's own data (TeslaCam front\n"
    "                                         videos) adds car rows and a column per field:\n"
    "                                         gear, accelerator_pct, brake, steering_deg,\n"
    "                                         blinker_left, blinker_right, assist,\n"
    "                                         heading_deg, accel_x/y/z_mps2, frame;\n"
    "                                         standard output without OUT\n"
    "  tatcard verify MANIFEST                check a clip export against its evidence\n"
    "                                         record (NAME.manifest.json): each output file\n"
    "                                         beside it and each source recording still\n"
    "                                         there, by size and SHA-256; one line per file\n"
    "                                         (ok, DIFFERS, missing) and a summary; exits\n"
    "                                         with 0 when every output matches and no source\n"
    "                                         that is there differs, 1 otherwise, 2 when the\n"
    "                                         manifest cannot be read\n"
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
    "                                         time the recording started (local clock).\n"
    "                                         An import that was interrupted is replaced\n"
    "                                         when run again; a recording under 512 KiB is\n"
    "                                         made with a warning (the window leaves it out)\n"
    "  tatcard play DIR NAME [OPTIONS]        play a recording through the player with\n"
    "                                         headless pictures and real sound (silent at\n"
    "                                         the recording's pace without a sound server)\n"
    "                                         and print one line of figures:\n"
    "                                         play frames= duration_ms= wall_ms= cpu_ms=\n"
    "                                         interval_p50_ms= interval_p95_ms=\n"
    "                                         interval_p99_ms= av_offset_mean_ms=\n"
    "                                         av_offset_drift_ms= [seek_first_frame_ms=\n"
    "                                         [seek_p95_ms=]] [frame_step_ms=]\n"
    "                                         [on_time_pct= skipped=]: seek and step\n"
    "                                         figures are medians over the run; with\n"
    "                                         --speed, on_time_pct is the share of front\n"
    "                                         frames shown within a period of their time,\n"
    "                                         skipped those too late to show\n"
    "      --seek-ms MS[,MS...]               seek to each MS (repeatable)\n"
    "      --step S                           step S seconds, negative: back (repeatable)\n"
    "      --pause-ms MS                      pause for MS (repeatable)\n"
    "      --frame-step N                     pause, step N frames one at a time (negative:\n"
    "                                         back), then play on (repeatable)\n"
    "                                         the steps run in the order given, each\n"
    "      --gap-ms MS                        MS after the previous one (default 3000)\n"
    "      --limit-ms MS                      stop after MS instead of at the end\n"
    "      --speed X                          play at X times the pace: 0.25 to 8 (the\n"
    "                                         sound keeps its pitch from 0.5 to 2 and is\n"
    "                                         silent outside)\n"
    "      --size WxH                         front picture size (default 640x360); the\n"
    "                                         other cameras at half of it. A recording of\n"
    "                                         more than two cameras adds cameras= and, for\n"
    "                                         each camera C (0 the front),\n"
    "                                         cameraC_presented= cameraC_dropped=\n"
    "      --full-decode                      decode every camera whole (no lower cost\n"
    "                                         for the cameras beside the front)\n"
    "      --decode-ahead N                   front pictures decoded at a time while on\n"
    "                                         time, 1 to 16 (default 4; 1: each just\n"
    "                                         before its moment)\n"
    "      --null-audio                       play silently even when a server answers\n"
    "      --trip N                           play trip N (tatcard play DIR --trip N) across\n"
    "                                         its recordings; adds recordings= boundaries=\n"
    "                                         boundary_max_ms= (the largest front interval\n"
    "                                         at a boundary) sound_gap_ms= (the longest\n"
    "                                         hole filled in the sound)\n"
    "      --gap S                            the trips' gap in seconds (default 10)\n"
    "      --show                             show the pictures in a window\n"
    "      --hwdec auto|vaapi|cuda|no         decode on a VAAPI or CUDA device (auto: the\n"
    "                                         first that answers; default no); without one,\n"
    "                                         one line says so and software decodes\n"
    "      --verbose                          the player's diagnostic lines\n"
    "  tatcard bench DIR NAME [--size WxH] [--hwdec auto|vaapi|cuda|no]\n"
    "                                         decode and convert every front and rear\n"
    "                                         picture as fast as possible to WxH (default\n"
    "                                         640x360) and print frames, wall_ms, cpu_ms, fps\n"
    "  tatcard hwdec                          the hardware decoders FFmpeg was built with\n"
    "                                         and whether a VAAPI and a CUDA device answer\n"
    "  tatcard clip SOURCE --from NAME@MM:SS[.mmm] --to NAME@MM:SS[.mmm] --out FILE.mp4\n"
    "  tatcard clip SOURCE --event NAME --out FILE.mp4\n"
    "                                         export an incident clip: from --from to --to\n"
    "                                         (the end may lie in a later recording of the\n"
    "                                         same drive), or with --event from 30 s before\n"
    "                                         the event recording's start to 10 s after it;\n"
    "                                         beside FILE.mp4 its route (FILE.gpx), its\n"
    "                                         telemetry (FILE.csv) and its evidence record\n"
    "                                         (FILE.manifest.json, which tatcard verify\n"
    "                                         checks, and FILE.report.txt); the folder must\n"
    "                                         exist; older files are replaced only once the\n"
    "                                         new ones are whole; a source file or the card's\n"
    "                                         storage is never written to. Prints the files\n"
    "                                         written; Ctrl+C stops it leaving nothing\n"
    "      --layout front|pip|side|grid       how the cameras are laid out (pip)\n"
    "      --no-overlay                       no time, speed, place, name and G-forces\n"
    "      --crf N                            quality, 20 (best) to 28 (23)\n"
    "      --preset P                         x264's preset (veryfast)\n"
    "      --lossless                         the recordings' own pictures copied from the\n"
    "                                         key frame at or before --from, one file per\n"
    "                                         camera (FILE.mp4 the front, FILE-rear.mp4 ...),\n"
    "                                         no overlay; a card's sound coded as ALAC, which\n"
    "                                         decodes to the same samples\n"
    "      --no-sound                         leave the sound out\n"
    "      --units kmh|mph                    the CSV's speed column (kmh)\n"
    "      --gap S                            the drives' gap in seconds (default 10)\n"
    "      --lang en|ko                       the report's language (en)\n"
    "  tatcard --help                         this text\n"
    "  tatcard --version                      the program's version\n";

// export DIR NAME OUT.avi, or export DIR --to FOLDER [--category WORD] [NAME...].
int Export(const std::vector<std::string>& args) {
    if (std::find(args.begin(), args.end(), "--to") == args.end()) {
        if (args.size() != 4)
            return BadArguments("export needs a card folder, a recording name and an AVI file");
        if (IsDashcamSource(args[1]))
            return BadArguments("a dash-cam folder's recordings are copied as their files: "
                                "export DIR --to FOLDER [NAME...]");
        return ExportRecording(args[1], args[2], args[3]);
    }
    std::string card;
    std::string folder;
    int category = kAllCategories;
    bool categoryGiven = false;
    std::vector<std::string> names;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--to" || word == "--category") {
            if (i + 1 == args.size())
                return BadArguments(word == "--to" ? "--to needs a folder"
                                                   : "--category needs event, rec, parking, "
                                                     "manual or all");
            const std::string& value = args[++i];
            if (word == "--to") {
                folder = value;
            } else {
                category = CategoryFromWord(value);
                categoryGiven = true;
                if (category < 0)
                    return BadArguments("unknown category " + value);
            }
        } else if (word.rfind("--", 0) == 0) {
            return BadArguments("unexpected argument " + word);
        } else if (card.empty()) {
            card = word;
        } else {
            names.push_back(word);
        }
    }
    if (card.empty() || folder.empty())
        return BadArguments("export --to needs a card folder and a target folder");
    if (categoryGiven && !names.empty())
        return BadArguments("export --to takes recording names or --category, not both");
    if (IsDashcamSource(card))
        return CopyFolderRecordings(card, folder, category, names);
    return ExportRecordings(card, folder, category, names);
}

// config DIR, or config DIR --set KEY=VALUE...
int Config(const std::vector<std::string>& args) {
    std::string card;
    std::vector<std::string> assignments;
    bool set = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--set" && !set)
            set = true;
        else if (set && word.rfind("--", 0) != 0)
            assignments.push_back(word);
        else if (card.empty() && word.rfind("--", 0) != 0)
            card = word;
        else
            return BadArguments("unexpected argument " + word);
    }
    if (card.empty())
        return BadArguments("config needs a card folder");
    if (!set)
        return PrintSettings(card);
    if (assignments.empty())
        return BadArguments("--set needs KEY=VALUE");
    return SetSettings(card, assignments);
}

int List(std::vector<std::string> args) {
    int category = kAllCategories;
    std::string dir;
    const auto json = std::find(args.begin(), args.end(), "--json");
    const bool asJson = json != args.end();
    if (asJson)
        args.erase(json);
    const std::string complaint = ReadFolderAndOptions(
        args, {"--category"},
        [&](const std::string&, const std::string* word) -> std::string {
            if (word == nullptr)
                return "--category needs event, rec, parking, manual or all";
            category = CategoryFromWord(*word);
            return category < 0 ? "unknown category " + *word : "";
        },
        dir);
    if (!complaint.empty())
        return BadArguments(complaint);
    if (dir.empty())
        return BadArguments("ls needs a card folder");
    if (IsDashcamSource(dir))
        return ListFolderRecordings(dir, category, asJson);
    return ListRecordings(dir, category, asJson);
}

// gpx|csv DIR --trip N [--gap S] [OUT].
int TripTrack(const std::vector<std::string>& args, SpeedUnit unit) {
    std::string dir;
    std::string out;
    long trip = 0;
    int64_t gapMs = trips::kDefaultGapMs;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--gap") {
            if (i + 1 == args.size() || !ParseGapSeconds(args[++i], gapMs))
                return BadArguments(kGapComplaint);
        } else if (word == "--trip") {
            if (i + 1 == args.size())
                return BadArguments("--trip needs a number");
            char* end = nullptr;
            const std::string& value = args[++i];
            const double number = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(number >= 0) || !(number <= 1e6))
                return BadArguments("--trip needs a number");
            trip = static_cast<long>(number);
        } else if (word.rfind("--", 0) == 0) {
            return BadArguments("unexpected argument " + word);
        } else if (dir.empty()) {
            dir = word;
        } else if (out.empty()) {
            out = word;
        } else {
            return BadArguments("unexpected argument " + word);
        }
    }
    if (dir.empty() || trip < 1)
        return BadArguments(args[0] + " --trip needs a source and a trip number from 1");
    return ExportTripTrack(dir, static_cast<int>(trip), gapMs, out,
                           args[0] == "gpx" ? TrackFormat::kGpx : TrackFormat::kCsv, unit);
}

// Replaces this process with tatcard-media from this program's folder, which runs the same
// command line. Returns only when that program cannot be started.
int RunMediaProgram(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        std::fprintf(stderr, "tatcard: cannot find my own folder: %s\n", error.message().c_str());
        return 1;
    }
    std::string media = (self.parent_path() / "tatcard-media").string();
    std::vector<char*> list{media.data()};
    for (char** arg = argv + 1; *arg != nullptr; ++arg)
        list.push_back(*arg);
    list.push_back(nullptr);
    execv(media.c_str(), list.data());
    std::fprintf(stderr, "tatcard: cannot run %s: %s\n", media.c_str(), std::strerror(errno));
    return 1;
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
    if (command == "--version") {
        std::printf("tatcard %s\n", ProgramVersion());
        return 0;
    }
    if (command == "demo" || command == "import" || command == "play" || command == "bench" ||
        command == "hwdec" || command == "clip")
        return RunMediaProgram(argv);
    if (command == "ls")
        return List(args);
    if (command == "info") {
        if (args.size() != 3)
            return BadArguments("info needs a card folder and a recording name");
        if (IsDashcamSource(args[1]))
            return DescribeFolderRecording(args[1], args[2]);
        return DescribeRecording(args[1], args[2]);
    }
    if (command == "rm") {
        if (args.size() != 3)
            return BadArguments("rm needs a card folder and a recording name");
        return RemoveRecording(args[1], args[2]);
    }
    if (command == "export")
        return Export(args);
    if (command == "config")
        return Config(args);
    if (command == "trips")
        return TripsCommand(args);
    if (command == "verify")
        return VerifyCommand(args);
    SpeedUnit unit = SpeedUnit::kKmh;
    if (command == "gpx" || command == "csv") {
        // --units kmh|mph: the CSV's speed column.
        const auto units = std::find(args.begin(), args.end(), "--units");
        if (units != args.end()) {
            if (units + 1 == args.end() || !ParseSpeedUnitWord(units[1], unit))
                return BadArguments(kUnitsComplaint);
            args.erase(units, units + 2);
        }
    }
    if ((command == "gpx" || command == "csv") &&
        std::find(args.begin(), args.end(), "--trip") != args.end())
        return TripTrack(args, unit);
    if (command == "gpx" || command == "csv") {
        if (args.size() != 3 && args.size() != 4)
            return BadArguments(command + " needs a card folder, a recording name and optionally "
                                          "a file");
        return ExportTrack(args[1], args[2], args.size() == 4 ? args[3] : std::string(),
                           command == "gpx" ? TrackFormat::kGpx : TrackFormat::kCsv, unit);
    }
    return BadArguments("unknown command " + command);
}
