#pragma once

#include "clips/ClipEncoder.h"
#include "clips/ClipRequest.h"

#include <atomic>

// The whole export of an incident clip: the marks planned onto their drive, the clip written
// (re-encoded, or copied losslessly one file per camera) into temporary files in the target's
// folder and renamed when whole, then its route (GPX), its telemetry (CSV) and its evidence
// record (manifest and report) beside it.
//
// Never writes over a source file: a target that is one of the clip's sources fails at once.
// On failure or cancel nothing of this export is left (temporary files removed) and any older
// file at the target stays as it was. Recordings that cannot be read to the clip's end
// give a clip as far as they read, with its record, told by ClipResult::cutShort.
//
// Blocking, on the exporting thread (the window runs it on a thread of its own); progress is
// called on that thread and cancel read there. The request's source must allow NewParser and
// LoadTrack from this thread (every source does).
namespace clips {

ClipResult Export(const ClipRequest& request, const ProgressFn& progress,
                  const std::atomic<bool>& cancel);

} // namespace clips
