#pragma once

#include "telemetry/SpeedUnit.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// tatcard's command lines: the line about one it cannot use, the line about a command that
// failed, the folder a command writes into, and the reading of a command that takes one folder
// and options with a value.
// Messages go to standard error, one line each, led by "tatcard: ".

// About a command line tatcard cannot use; returns exit status 2.
int BadArguments(const std::string& why);
// About a command that failed; returns exit status 1.
int CommandFailed(const std::string& why);

// Makes the folder a command writes into, and the folders above it, where they are missing, as
// mkdir -p does. False, after the line about why, when it cannot be made.
bool MakeTargetFolder(const std::string& folder);

// Called for an option with the word after it (null when the line ends there); returns the
// complaint about them, empty when they are fine.
using OptionReader =
    std::function<std::string(const std::string& option, const std::string* value)>;

// Reads a command line of one folder and options that take one value each. args[0] is the
// command; options are the option words, each followed by its value. The first other word that
// does not start with "--" is the folder; any other word is an "unexpected argument". Returns
// the first complaint, empty when there is none (folder may then still be empty).
std::string ReadFolderAndOptions(const std::vector<std::string>& args,
                                 const std::vector<std::string>& options, const OptionReader& read,
                                 std::string& folder);

// --gap S, the trips' gap: seconds from 0 to 3600, fractions allowed. False for anything else,
// gapMs then untouched; the complaint to give is kGapComplaint.
bool ParseGapSeconds(const std::string& text, int64_t& gapMs);
inline constexpr char kGapComplaint[] = "--gap takes seconds, 0 to 3600";

// --units kmh|mph. False for another word, unit then untouched; the complaint to give is
// kUnitsComplaint.
bool ParseSpeedUnitWord(const std::string& text, SpeedUnit& unit);
inline constexpr char kUnitsComplaint[] = "--units takes kmh or mph";
