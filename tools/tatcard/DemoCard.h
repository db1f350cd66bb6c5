#pragma once

#include "DemoSignals.h"

#include <cstdio>
#include <string>
#include <vector>

// A demonstration card: the camera's configuration and a day of recordings in all four
// categories, one of them cut off by a power loss.

// The camera's configuration text (profile format, CRLF line ends) with every key of
// blackbox.cfg.
std::string DemoConfigText();

// The recordings of the demonstration card. With seconds > 0 every recording lasts that
// long instead (for quick checks).
std::vector<RecordingPlan> DemoPlans(int seconds = 0);

// Makes the card in folder root (created when missing; a folder that already holds a card is
// refused); progress lines go to log when given. False with error set on failure.
bool MakeDemoCard(const std::string& root, const std::vector<RecordingPlan>& plans,
                  const DemoFormat& format, std::FILE* log, std::string* error);
