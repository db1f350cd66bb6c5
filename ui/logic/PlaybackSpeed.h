#pragma once

#include <array>
#include <string>

// The playing speeds the window offers, in percent of the recording's pace, and their texts.
namespace PlaybackSpeed {

constexpr std::array<int, 6> kSpeeds = {25, 50, 100, 200, 400, 800};
constexpr int kNormal = 100;

// The next offered speed above (below) `percent`; the fastest (slowest) stays.
int Faster(int percent);
int Slower(int percent);
// "0.25x", "0.5x", "1x", "2x", ...: the factor with no trailing zeros.
std::string Text(int percent);

} // namespace PlaybackSpeed
