#pragma once

#include "player/api/VMediaParser.h"
#include "telemetry/TelemetryTrack.h"

#include <string>

// The telemetry a recording carries in its text packets (the camera's storage, this
// program's AVI exports): every packet of the recording is read through the parser and its
// GPS and G-sensor lines collected (TextChannelTrack), each at its packet's time. The parser
// is started, and left started; the recording is closed again. False when it does not open.
//
// Blocking, on the caller's thread; reads the whole recording.
bool ReadPacketTrack(VMediaParser& parser, const std::string& openName, TelemetryTrack& track);
