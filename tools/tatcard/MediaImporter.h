#pragma once

#include "DemoRecorder.h"

#include <string>

// Recordings made from ordinary media files: the pictures of a front and an optional rear
// video, the sound of the front video and the fixes of a GPS log, laid out the way the
// camera records.

struct ImportSources {
    std::string front;  // any video libavformat reads
    std::string rear;   // empty for a front-only recording
    std::string gpsLog; // NMEA sentences, one a line; empty for none
};

struct ImportResult {
    int frontFrames = 0;
    int rearFrames = 0;
    int audioBlocks = 0;
    int gpsLines = 0;
    bool frontCopied = false; // H.264 taken over rather than coded again
    bool rearCopied = false;
};

// Records the sources into the sink as recording `name` (whose channel letter must agree
// with whether there is a rear video). Per front frame, in this order:
//   1. the front picture (type 0 for a key frame, 2 otherwise),
//   2. the rear picture with the same number, while the rear video lasts (extra rear
//      pictures are left out),
//   3. every 240 ms sound block whose span ends at or before this frame's time,
//   4. the GPS lines whose time has come (the log's first fix is the first frame).
// Sound and GPS lines that fall after the last front frame are left out. The recording is
// begun only once every source has been opened and has given its first picture; a failure
// after that abandons it, so it never stands on the card as complete. False with error set
// on failure.
bool ImportRecording(const std::string& name, const ImportSources& sources, VRecordingSink& sink,
                     ImportResult* result, std::string* error, int encoderThreads = 0);
