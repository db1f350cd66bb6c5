#pragma once

#include "Manifest.h"
#include "ReportTexts.h"
#include "base/FileIo.h"

#include <string>

// The evidence record for people: "<clip>.report.txt", plain UTF-8 text in the user's
// language, saying what the manifest says (program, clip, settings, every file with its size
// and SHA-256) and how to check the files.
//
// Threads: no state of its own; any thread.
namespace evidence {

// "<folder>/<stem>.report.txt" for the clip "<folder>/<stem>.<extension>".
std::string ReportPathFor(const std::string& clipPath);

// The report of the manifest; manifestName is the manifest's file name, for the command line
// that checks it.
std::string ReportText(const Manifest& manifest, ReportLanguage language,
                       const std::string& manifestName);

// Writes ReportText to path in one replacement of the file (as WriteManifest does).
fileio::Result WriteReport(const std::string& path, const Manifest& manifest,
                           ReportLanguage language, const std::string& manifestName);

} // namespace evidence
