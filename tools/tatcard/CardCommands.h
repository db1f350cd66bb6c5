#pragma once

#include "storage/CTATLibrary.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The reading commands of tatcard. Each prints its result on standard output and returns the
// process exit status; a failure is one line on standard error and a non-zero status.

// The category number that stands for all four.
inline constexpr int kAllCategories = tat::kCategoryCount;

// Lists the recordings of one category (0 event, 1 continuous, 2 parking, 3 manual) or of
// all four (kAllCategories): name, size in bytes and directory entry index, in directory
// order; a recording never closed is marked "(incomplete)", a closed one under the window's
// 512 KiB list rule "(under 512 KiB: not in the window)". With json, one JSON array of
// {"name","category","start","channels","duration_s","size_bytes","damaged"} (damaged: a
// recording the camera never closed).
int ListRecordings(const std::string& card, int category, bool json = false);

// Marks recording `name` deleted in its directory and removes its file, as the camera frees
// a recording; prints "NAME: deleted". Status 1 when there is no card or no such recording,
// or the card cannot be written.
int RemoveRecording(const std::string& card, const std::string& name);

// What the library describes about one recording.
int DescribeRecording(const std::string& card, const std::string& name);

// Writes the front, rear and sound packets of a recording into the AVI file `out`. A complete
// export prints "OUT: N packets, B bytes"; anything else (refused, incomplete, failed) is one
// line on standard error and status 1, and an incomplete export leaves the part before the
// failed read in `out`.
int ExportRecording(const std::string& card, const std::string& name, const std::string& out);

// Exports recordings to folder/<name>.avi: the names given, or with none every recording the
// window lists for the category (0 … 3, or kAllCategories). Prints a line per file written and
// a summary on standard output, a line per recording not exported whole on standard error,
// and a progress line on standard error while it is a terminal. Status 1 when any recording
// was not exported whole.
int ExportRecordings(const std::string& card, const std::string& folder, int category,
                     const std::vector<std::string>& names);

// The category number of a word for --category: a category word in small letters (event,
// rec, parking, manual) or all (kAllCategories); -1 for anything else.
int CategoryFromWord(const std::string& word);

// The card's library with recording `name` described, or null after one line on standard
// error (no card, no such recording). drive: the card's drive number.
std::unique_ptr<CTATLibrary> OpenRecording(const std::string& card, const std::string& name,
                                           uint8_t& drive, TatDescription& description);
