#pragma once

#include "clips/CopyProgress.h"
#include "clips/LosslessCopy.h"

#include <atomic>
#include <memory>
#include <vector>

class VRecordingSource;

// The lossless copy of recordings read through the source's parser (a card's; LosslessCopy.h):
// the drive read once as one recording (tripplan::MakeParser), each camera's access units
// written into its MP4 file as they come, the PCM sound coded as ALAC into the front camera's
// file. The exporting thread.
namespace clips {

LosslessOutcome RemuxParserPackets(const std::shared_ptr<VRecordingSource>& source,
                                   const ClipPlan& plan, bool sound,
                                   const std::vector<CameraFile>& files, CopyProgress& progress,
                                   const std::atomic<bool>& cancel);

} // namespace clips
