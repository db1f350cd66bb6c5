#include "NmeaText.h"

#include "FixMaker.h"
#include "NmeaChecksum.h"
#include "base/AsciiText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

namespace {

constexpr std::array<std::string_view, 5> kTalkers = {"GP", "GN", "GL", "GA", "BD"};
// The sentence type and the fields up to the date.
constexpr size_t kRmcFields = 10;
constexpr double kKnotsToKmh = 1.852;

bool Pair(std::string_view field, size_t at, int32_t& out) {
    if (field.size() < at + 2 || !ascii::IsDigit(field[at]) || !ascii::IsDigit(field[at + 1]))
        return false;
    out = (field[at] - '0') * 10 + (field[at + 1] - '0');
    return true;
}

// An empty field is 0; otherwise the whole field must be a finite decimal number.
bool Number(std::string_view field, double& out) {
    out = 0;
    if (field.empty())
        return true;
    double value = 0;
    const auto result =
        std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != field.data() + field.size() ||
        !std::isfinite(value))
        return false;
    out = value;
    return true;
}

std::string_view TrimLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\n'))
        line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    return line;
}

// The "[digits]" stamp at the start of the line: its value, and the line after it.
int64_t TakeStamp(std::string_view& line) {
    if (line.empty() || line.front() != '[')
        return -1;
    const size_t close = line.find(']');
    // At most 18 digits, which an int64_t always holds.
    if (close == std::string_view::npos || close < 2 || close > 19)
        return -1;
    int64_t value = 0;
    for (size_t i = 1; i < close; ++i) {
        const char c = line[i];
        if (!ascii::IsDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    line.remove_prefix(close + 1);
    return value;
}

} // namespace

bool ParseRmcSentence(std::string_view sentence, CGPSData& out, FixMaker* maker) {
    sentence = TrimLine(sentence);
    if (!sentence.empty() && sentence.front() == '$')
        sentence.remove_prefix(1);
    if (sentence.size() < 6 || sentence.substr(2, 4) != "RMC,")
        return false;
    bool knownTalker = false;
    for (const std::string_view talker : kTalkers)
        knownTalker = knownTalker || sentence.substr(0, 2) == talker;
    if (!knownTalker)
        return false;
    const size_t star = sentence.find('*');
    if (star != std::string_view::npos) {
        if (nmea::StatedChecksum(sentence) != nmea::Checksum(sentence))
            return false;
        sentence = sentence.substr(0, star);
    }

    std::array<std::string_view, kRmcFields> fields{};
    size_t count = 0;
    while (count < kRmcFields) {
        const size_t comma = sentence.find(',');
        fields[count++] = sentence.substr(0, comma);
        if (comma == std::string_view::npos)
            break;
        sentence.remove_prefix(comma + 1);
    }
    if (count < kRmcFields)
        return false;

    UtcStamp utc;
    const std::string_view time = fields[1];
    const std::string_view date = fields[9];
    if (!time.empty() &&
        !(Pair(time, 0, utc.hour) && Pair(time, 2, utc.minute) && Pair(time, 4, utc.second)))
        return false;
    if (!date.empty()) {
        int32_t year = 0;
        if (!(Pair(date, 0, utc.day) && Pair(date, 2, utc.month) && Pair(date, 4, year)))
            return false;
        utc.year = year < 70 ? 2000 + year : 1900 + year;
    }
    double latitude = 0;
    double longitude = 0;
    double knots = 0;
    double course = 0;
    if (!Number(fields[3], latitude) || !Number(fields[5], longitude) ||
        !Number(fields[7], knots) || !Number(fields[8], course))
        return false;
    if (fields[4] == "S")
        latitude = -latitude;
    if (fields[6] == "W")
        longitude = -longitude;
    FixMaker local;
    FixMaker& use = maker != nullptr ? *maker : local;
    out = use.MakeFromNmea(utc, fields[2] == "A", latitude, longitude, knots * kKnotsToKmh, course);
    return true;
}

std::vector<StampedFix> ReadNmeaLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<StampedFix> fixes;
    FixMaker maker;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = TrimLine(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        StampedFix stamped;
        stamped.stampMs = TakeStamp(line);
        if (ParseRmcSentence(line, stamped.fix, &maker))
            fixes.push_back(stamped);
    }
    return fixes;
}

std::vector<TimedFix> TimedFixesFromNmea(std::string_view text, int64_t startStampMs) {
    const std::vector<StampedFix> stamped = ReadNmeaLines(text);
    std::vector<TimedFix> timed;
    timed.reserve(stamped.size());
    int64_t firstStamp = startStampMs;
    std::optional<int64_t> firstUtc;
    for (const StampedFix& line : stamped) {
        int64_t timeMs = 0;
        if (line.stampMs >= 0) {
            if (firstStamp < 0)
                firstStamp = line.stampMs;
            timeMs = line.stampMs - firstStamp;
        } else {
            const std::optional<int64_t> utc = FixUtcSeconds(line.fix);
            if (!utc)
                continue;
            if (!firstUtc)
                firstUtc = utc;
            timeMs = (*utc - *firstUtc) * 1000;
        }
        if (timeMs < 0)
            continue;
        timed.push_back(TimedFix{timeMs, line.fix});
    }
    return timed;
}
