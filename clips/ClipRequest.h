#pragma once

#include "evidence/ReportTexts.h"
#include "storage/TripGrouping.h"
#include "telemetry/SpeedUnit.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class VRecordingSource;

// What an incident clip export is asked to make, and what it made. Plain values; the caller
// owns them and may hand them between threads by copy.
namespace clips {

// How the cameras' pictures are laid out in a re-encoded clip.
enum class Layout {
    kFront, // the front camera alone
    kPip,   // the front with the rear in its lower right corner, a quarter of the width
    kSide,  // the cameras side by side, each at the front's height
    kGrid,  // every camera in a grid (2 × 1 for two, 2 × 2 up to four, 3 × 2 up to six)
};

// The layout's word on the command line and in the evidence record: "front", "pip", "side",
// "grid"; and back (nullopt for an unknown word).
const char* LayoutWord(Layout layout);
std::optional<Layout> LayoutFromWord(std::string_view word);

// One end of a clip: a recording of the source and the milliseconds from its start.
struct ClipMark {
    std::string recording;
    int64_t offsetMs = 0;
    bool operator==(const ClipMark&) const = default;
};

// The quality range the dialog and the command line offer.
inline constexpr int kMinCrf = 20;
inline constexpr int kMaxCrf = 28;
inline constexpr int kDefaultCrf = 23;
// The x264 preset used unless another is asked for: fast enough for a 1080p front and a 720p
// rear with the overlay in real time on two cores.
inline constexpr const char* kDefaultPreset = "veryfast";
// The x264 presets accepted, fastest first.
const std::vector<std::string>& Presets();

struct ClipRequest {
    // The recordings' source; shared with the window, which keeps it while the export runs.
    std::shared_ptr<VRecordingSource> source;
    ClipMark from; // the clip's start and end; the end may lie in a later recording of the
    ClipMark to;   // same drive (recordings joined as the trip view joins them, gapMs)
    int64_t gapMs = trips::kDefaultGapMs;
    Layout layout = Layout::kPip;
    bool overlay = true;   // time, speed, place, recording name and G-forces drawn in
    bool lossless = false; // packets copied from the key frame at or before `from`, one file
                           // per camera, no overlay; crf, preset and layout are then unused
    int crf = kDefaultCrf;
    std::string preset = kDefaultPreset;
    bool sound = true;
    SpeedUnit units = SpeedUnit::kKmh;
    evidence::ReportLanguage language = evidence::ReportLanguage::kEnglish;
    // The clip's file ("incident.mp4"). A lossless copy writes the front camera there and each
    // further camera beside it as "<stem>-rear.mp4", "<stem>-camera3.mp4", ...
    std::string outPath;
};

// How far an export has come: pictures written of the pictures the clip holds, and the
// seconds it expects to take yet (negative while it cannot tell).
struct ClipProgress {
    int64_t framesDone = 0;
    int64_t framesTotal = 0;
    double secondsLeft = -1;
};

struct ClipResult {
    bool ok = false;
    bool cancelled = false; // stopped by the caller; nothing was written (ok is false)
    std::string error;      // why it failed, for people: "No space left on device (writing
                            // /media/x/incident.mp4)"; empty when ok or cancelled
    // Every file written, the clip first, then the other cameras' (lossless), the GPX, the
    // CSV, the manifest and the report. Empty unless ok.
    std::vector<std::string> written;
    int64_t frames = 0;       // front pictures in the clip
    int64_t lengthMs = 0;     // from the clip's first front picture to its end
    int64_t startShiftMs = 0; // lossless: how far before `from` the copy starts (its key frame)
    // The span asked for, from the clip's first front picture (lossless: its key frame) to
    // `to`. A clip whose recordings could not be read that far (a damaged or cut-off file) is
    // written as far as they read, with the record's end where the pictures end, ok set and
    // cutShort set: lengthMs then falls short of askedMs by more than kCutShortToleranceMs.
    int64_t askedMs = 0;
    bool cutShort = false;
};

// How far a clip may fall short of its span before it counts as cut short: a few pictures'
// rounding at either end, far less than any damage.
inline constexpr int64_t kCutShortToleranceMs = 200;

// The camera names of the outputs and the evidence record: "front", "rear", then "camera3"...
std::string CameraName(int channel);

} // namespace clips
