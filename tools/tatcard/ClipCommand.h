#pragma once

#include "clips/ClipRequest.h"

#include <optional>
#include <string>
#include <vector>

// tatcard clip: an incident clip of a source's recordings (clips::Export) from the command line.
//
//   clip SOURCE --from NAME@MM:SS[.mmm] --to NAME@MM:SS[.mmm] | --event NAME
//        [--layout front|pip|side|grid] [--no-overlay] [--lossless] [--crf N] [--preset P]
//        [--no-sound] [--units kmh|mph] [--gap S] [--lang en|ko] --out FILE.mp4
//
// --event NAME takes the built-in span around an event recording (clips::PlanEventClip: 30 s
// before its start to 10 s after). The clip's folder must exist. Progress goes to standard error
// (one updating line on a terminal, else one line at the end); Ctrl+C or SIGTERM stops the export
// and leaves nothing of it. The files written are printed on standard output, one a line.
// Status: 0 written, 1 failed or stopped, 2 a command line it cannot use.

// The command line read: the request without its source, and what names it.
struct ClipArguments {
    std::string source;
    std::string event;          // --event NAME, else empty
    clips::ClipRequest request; // marks, settings and outPath (source left null)
};

// "NAME@MM:SS[.mmm]" as a mark; nullopt for anything else.
std::optional<clips::ClipMark> ParseClipMark(const std::string& text);

// Reads args (args[0] is "clip"); the complaint, empty when the line is fine.
std::string ParseClipArguments(const std::vector<std::string>& args, ClipArguments& out);

// Runs the command; returns the exit status.
int ClipCommand(const std::vector<std::string>& args);
