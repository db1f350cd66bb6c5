#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// GPS logs of NMEA sentences, as receivers and phone apps write them, turned into the GPS
// lines of a recording.

// One GPS line of the text channel and when it falls in the recording.
struct TimedGpsLine {
    int64_t milliseconds = 0; // from the first fix of the log; may be negative
    std::string line;         // 'G' and a "$GPRMC" sentence
};

// An RMC sentence of any talker ("$GNRMC", "$GPRMC", "$GLRMC", ...) as "$GPRMC" with its
// checksum worked out again; nothing for other sentences and for ones whose checksum is
// wrong. Leading and trailing blanks are dropped.
std::optional<std::string> AsGpsRmc(std::string_view sentence);

// Milliseconds since midnight of an RMC sentence's time field (hhmmss or hhmmss.sss);
// nothing when it is empty or malformed.
std::optional<int64_t> RmcTimeOfDay(std::string_view sentence);

// The RMC sentences of a log, one a line, in time order. The first sentence with a time is
// time 0; each later one is placed by its time of day, going past midnight when the time
// falls back by more than half a day. Sentences without a time, other sentences and damaged
// ones are left out.
std::vector<TimedGpsLine> GpsLinesFromLog(std::string_view text);

// The same for a log file; false with error set when it cannot be read.
bool ReadGpsLog(const std::string& path, std::vector<TimedGpsLine>& lines, std::string* error);
