#pragma once

#include "clips/ClipEncoder.h"
#include "clips/ClipPlan.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class VRecordingSource;

// The lossless copy of a clip: the recordings' own coded pictures, unchanged, one MP4 file per
// camera, no overlay.
//
// Each camera's file starts at that camera's key frame at or before the clip's start (its first
// key frame when it has none before) and ends with the last picture before the clip's end: in
// decoding order up to the last packet presented before the end, so that every picture shown
// decodes (a stream with reordered pictures may then carry up to a few later ones). Its times
// count from that key frame. Across a boundary of the drive, the packets of the following
// recording's file are appended, their times moved on by where that recording starts on the
// drive's line (ClipPlan). The sound of a camera's file runs from its first picture to the
// clip's end.
//
//   A folder's recordings (FolderSource): their original files remuxed with libavformat, video
//   and sound packets copied byte for byte. Sound MP4 cannot hold (PCM of an AVI file) is left
//   out. The recordings of one drive must be coded alike (codec, size, parameter sets).
//   A card's recordings (any other source: packets through its parser): the Annex B access
//   units the parser delivers, unchanged but for MP4's length prefixes, the parameter sets taken
//   from the first key frame (extract_extradata); their times are the card's, which count
//   pictures in the order they are stored. The card's PCM sound, which MP4 cannot hold, is
//   coded losslessly as ALAC: it decodes to the very samples on the card. It goes with the
//   front camera's file.
//
// Threads: the exporting thread, blocking; progress is called there and cancel read there.
namespace clips {

// One camera's file of a lossless copy.
struct CameraFile {
    int channel = 0;       // the camera: 0 front, 1 rear, 2 … (CameraName)
    std::string path;      // where it is written (a temporary file the caller renames)
    std::string shownPath; // the name errors give (the target the caller renames to)
};

struct LosslessOutcome {
    bool ok = false;
    bool cancelled = false;
    std::string error;        // for people, with the reason and the file
    int64_t frames = 0;       // pictures of the first camera's file
    int64_t lengthMs = 0;     // the first camera's file: from its key frame to its end
    int64_t startShiftMs = 0; // how far before the clip's start the first camera's file starts
    int64_t pictures = 0;     // pictures of every file together
    std::string codec;        // the pictures' codec ("h264", "hevc")
    bool sound = false;       // a file carries sound
    bool soundCoded = false;  // that sound was coded (ALAC) rather than copied
};

// The cameras a lossless copy makes a file for, the first camera first: a folder's recording,
// each camera whose file the clip's first recording has (dashcam::Channel order: front, rear,
// interior, other); a card's recording, its channels (front, then rear). Empty for an unknown
// recording.
std::vector<int> LosslessChannels(const VRecordingSource& source, const ClipPlan& plan);

// Copies the plan's span into the files (one per channel LosslessChannels gives, in its order),
// with the sound where `sound` asks for it. On failure or cancel the files may be left part
// written: the caller removes them.
LosslessOutcome LosslessCopy(const std::shared_ptr<VRecordingSource>& source, const ClipPlan& plan,
                             bool sound, const std::vector<CameraFile>& files,
                             const ProgressFn& progress, const std::atomic<bool>& cancel);

} // namespace clips
