#pragma once

#include "sources/VRecordingSource.h"
#include "storage/FolderScanner.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class DiagLog;

// Making the source of a path: the camera's storage (a folder holding TATSTORE/VOLUME.TAT), a
// folder of ordinary dash-cam files, or one video file.
namespace sources {

// What a program that plays gives the sources: the reader of dash-cam folders' files (the
// libavformat one). A program that only lists, describes and copies leaves it empty, so that
// it neither links nor loads the media libraries; EngineParser and NewParser of a folder's
// recordings are then null.
struct Options {
    std::function<std::unique_ptr<VMediaParser>(const std::vector<DashcamRecording>&)> folderParser;
    const DiagLog* diag = nullptr; // diagnostic lines of the card's library; outlives the source
};

// The source of a path, its listing read; null when the path is none of the three (a missing
// path, an empty folder is a folder with no recordings). A card that is there but cannot be
// read lists nothing.
std::shared_ptr<VRecordingSource> Open(const std::string& path, const Options& options);

} // namespace sources
