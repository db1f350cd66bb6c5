#pragma once

#include <string>
#include <vector>

// tatcard verify: checks a clip export's files against its evidence manifest
// (evidence::VerifyManifest) and prints what it found.

// verify MANIFEST: one line per file, outputs first, each led by "ok", "DIFFERS", "missing"
// or "UNREADABLE", then a summary line, on standard output. Status 0 when every output matches
// and no source that is there differs (or cannot be read); 1 otherwise; 2 for a command line
// it cannot use or a manifest it cannot read (the reason on standard error).
int VerifyCommand(const std::vector<std::string>& args);
