#pragma once

#include "sources/SourceOpening.h"

class DiagLog;

namespace sources {

// The options of a program that plays: dash-cam folders' recordings read through the
// libavformat parser (CDashcamParser). Referencing this links the media libraries in.
Options WithMediaParsers(const DiagLog* diag);

} // namespace sources
