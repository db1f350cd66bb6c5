#pragma once

#include "clips/CopyProgress.h"
#include "clips/LosslessCopy.h"

#include <atomic>
#include <vector>

class FolderSource;

// The lossless copy of a folder's recordings (LosslessCopy.h): each camera's original files
// read with libavformat and their video and sound packets copied unchanged into that camera's
// MP4 file, one camera after the other. The exporting thread.
namespace clips {

LosslessOutcome RemuxFolderFiles(const FolderSource& source, const ClipPlan& plan, bool sound,
                                 const std::vector<CameraFile>& files, CopyProgress& progress,
                                 const std::atomic<bool>& cancel);

} // namespace clips
