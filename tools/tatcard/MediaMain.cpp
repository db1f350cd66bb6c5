// tatcard-media: tatcard's commands that code, decode or show pictures. tatcard runs it in its
// own place for these commands (see main.cpp); it takes the same command lines:
//
//   tatcard-media demo DIR [--seconds N]
//   tatcard-media import DIR --front F ...
//   tatcard-media play DIR NAME [...]
//   tatcard-media bench DIR NAME [--size WxH]
#include "CommandLine.h"
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

int Demo(const std::vector<std::string>& args) {
    // demo DIR [--seconds N]: N shortens every recording (for quick checks).
    int seconds = 0;
    std::string dir;
    const std::string complaint = ReadFolderAndOptions(
        args, {"--seconds"},
        [&](const std::string& option, const std::string* value) -> std::string {
            if (value == nullptr)
                return "unexpected argument " + option;
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
    if (!MakeDemoCard(dir, DemoPlans(seconds), DemoFormat(), stdout, &error))
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
    return BadArguments("unknown command " + command);
}
