// tatcard-media: tatcard's commands that code, decode or show pictures. tatcard runs it in its
// own place for these commands (see main.cpp); it takes the same command lines:
//
//   tatcard-media demo DIR [--seconds N] [--front WxH] [--fps N]
//   tatcard-media import DIR --front F ...
//   tatcard-media play DIR NAME [...]
//   tatcard-media bench DIR NAME [--size WxH]
//   tatcard-media clip SOURCE --from NAME@MM:SS --to NAME@MM:SS | --event NAME ... --out FILE
#include "ClipCommand.h"
#include "CommandLine.h"
#include "DemoCard.h"
#include "ImportCommand.h"
#include "PlaybackCommands.h"
#include "base/ProgramVersion.h"
#include "player/decoder/ScalerGathers.h"
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
    "usage: tatcard-media demo|import|play|bench|hwdec|clip ...\n"
    "  tatcard's commands that code, decode or show pictures; tatcard runs this program in\n"
    "  its own place for them, with the same command line (tatcard --help describes them)\n"
    "  tatcard-media --help                   this text\n"
    "  tatcard-media --version                the program's version\n";

// "WxH" with both in 16 … 4096 and even (H.264's 4:2:0 pictures); false otherwise.
bool ParsePictureSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    char* end = nullptr;
    const long w = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x)
        return false;
    const long h = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end != '\0' || w < 16 || h < 16 || w > 4096 || h > 4096 || w % 2 != 0 || h % 2 != 0)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

int Demo(const std::vector<std::string>& args) {
    // demo DIR [--seconds N] [--front WxH] [--fps N]: N seconds shortens every recording (for
    // quick checks); --front and --fps change the front pictures' size and every channel's
    // frame rate (1920x1080 at 60 fps for the high-definition cards).
    int seconds = 0;
    DemoFormat format;
    std::string dir;
    const std::string complaint = ReadFolderAndOptions(
        args, {"--seconds", "--front", "--fps"},
        [&](const std::string& option, const std::string* value) -> std::string {
            if (value == nullptr)
                return "unexpected argument " + option;
            if (option == "--front")
                return ParsePictureSize(*value, format.frontWidth, format.frontHeight)
                           ? ""
                           : "--front takes WIDTHxHEIGHT, even numbers from 16 to 4096";
            if (option == "--fps") {
                format.framesPerSecond = std::atoi(value->c_str());
                return format.framesPerSecond < 10 || format.framesPerSecond > 60
                           ? "--fps takes a number of frames a second from 10 to 60"
                           : "";
            }
            seconds = std::atoi(value->c_str());
            return seconds <= 0 || seconds > 600 ? "--seconds takes a number from 1 to 600" : "";
        },
        dir);
    if (!complaint.empty())
        return BadArguments(complaint);
    if (dir.empty())
        return BadArguments("demo needs a folder");
    const auto began = std::chrono::steady_clock::now();
    std::string error;
    if (!MakeDemoCard(dir, DemoPlans(seconds), format, stdout, &error))
        return CommandFailed(error);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    std::printf("demo card in %s made in %.1f s\n", dir.c_str(), took.count());
    return 0;
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
        std::printf("tatcard-media %s\n", ProgramVersion());
        return 0;
    }
    MarkGathersSlow(); // before any command makes a scaling context
    if (command == "demo")
        return Demo(args);
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
    if (command == "hwdec")
        return HwdecCommand(args);
    if (command == "clip")
        return ClipCommand(args);
    return BadArguments("unknown command " + command);
}
