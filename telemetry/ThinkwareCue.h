#pragma once

#include "CGPSData.h"
#include "FixMaker.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// One cue of the telemetry subtitle track (tx3g) some cameras write into the front video:
// parts separated by ';', "gsensori,<range>,<sens>,X,Y,Z" (X, Y, Z in units of which <sens>
// make one g), an RMC sentence without its '$' ("GNRMC,..."), and others ("CAR,...") that
// are not read.
struct ThinkwareCue {
    std::optional<CGPSData> fix;
    bool hasAcceleration = false;
    double x = 0; // g
    double y = 0;
    double z = 0;

    // The cue of a text sample: u16 BE text length, then the text. Empty when the sample is
    // not such a text.
    static ThinkwareCue FromSample(const uint8_t* data, size_t size, FixMaker& maker);
    // The cue of its text.
    static ThinkwareCue FromText(std::string_view text, FixMaker& maker);
};
