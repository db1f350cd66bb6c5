#pragma once

#include "formats/CRecordingExporter.h"
#include "storage/FolderScanner.h"

#include <string>

// The download of a dash-cam folder's recording: its original files (every camera's video
// file and its side files) copied unchanged into a folder, under the same rules as the export
// to AVI. Each file is written under a temporary name beside its target (created exclusively,
// flushed to the device) and renamed over the target only when it is whole, so a target holds
// either its old contents or the whole copy; a failed or cancelled copy leaves no temporary
// file and an older target as it was. A file keeps its name; a side file whose name does not
// hold the recording's name (Tesla's event.json) gets "<recording>_" in front, so that the
// recordings of one download never take each other's places. A target that is the original
// itself is refused.
//
// Progress goes in KiB of the whole recording (written, total); returning false cancels.
// Whatever is copied whole before a failure or a cancel stays. Any thread; one copy at a time
// per object.
class RecordingCopier {
public:
    static constexpr size_t kChunkBytes = 1u << 20;

    ExportReport CopyToFolder(const DashcamRecording& recording, const std::string& folder,
                              const ExportProgress& progress);

    // The name the file of that recording gets in the target folder.
    static std::string TargetName(const DashcamRecording& recording, const std::string& file);
};
