#pragma once

#include "sources/VRecordingSource.h"
#include "storage/FolderScanner.h"

#include <memory>

#include <string>
#include <vector>

// tatcard's reading commands for a folder of ordinary dash-cam files or one video file (a
// source that is not the camera's storage). Output on standard output, one line on standard
// error and a non-zero status for a failure, like the card's commands.

// The source of a path (the card, a dash-cam folder, a video file) for the reading commands,
// without the media parsers; null after "tatcard: no recordings in PATH" on standard error.
std::shared_ptr<VRecordingSource> OpenSourceOrTell(const std::string& path);

// The recordings of a folder (scanned) or of one video file (itself); empty for anything
// else.
std::vector<DashcamRecording> RecordingsOfSource(const std::string& path);

// Lists the recordings of one category (0 event, 1 normal, 2 parking, 3 manual) or of all
// (kAllCategories): name, size, category word, start and cameras; no file is opened. With
// json, one JSON array of {"name","category","start","channels","duration_s","size_bytes",
// "damaged"}, the length and the damage read quickly from each played file (QuickDuration;
// duration_s is null when it cannot be read so).
int ListFolderRecordings(const std::string& path, int category, bool json);

// The recording's files, category, start, length and damage.
int DescribeFolderRecording(const std::string& path, const std::string& name);

// Copies recordings' original files (RecordingCopier) into folder: the names given, or with
// none every recording of the category (0 … 3, or kAllCategories). A line per recording copied
// and a summary on standard output, a line per recording not copied whole on standard error;
// status 1 when any recording was not copied whole.
int CopyFolderRecordings(const std::string& path, const std::string& folder, int category,
                         const std::vector<std::string>& names);

// text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);
// A local date and time as ISO 8601 without a zone: 2024-03-05T09:07:02.
std::string IsoLocalTime(const CivilTime& time);
