// tatcard-media: tatcard's commands that code, decode or show pictures. tatcard runs it in its
// own place for these commands (see main.cpp); it takes the same command lines:
//
//   tatcard-media demo DIR [--seconds N]
//   tatcard-media import DIR --front F ...
//   tatcard-media play DIR NAME [...]
//   tatcard-media bench DIR NAME [--size WxH]
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
