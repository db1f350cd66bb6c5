#include "NmeaSideFile.h"

#include "NmeaChecksum.h"
#include "NmeaText.h"
#include "base/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace nmea {

namespace {

// The comma-separated field `index` of a sentence (0 is the type), without the checksum.
std::string_view Field(std::string_view sentence, size_t index) {
    const size_t star = sentence.find('*');
    if (star != std::string_view::npos)
        sentence = sentence.substr(0, star);
    for (size_t i = 0; i < index; ++i) {
        const size_t comma = sentence.find(',');
        if (comma == std::string_view::npos)
            return {};
        sentence.remove_prefix(comma + 1);
    }
    return sentence.substr(0, sentence.find(','));
}

std::optional<double> Number(std::string_view field) {
    double value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int Pair(std::string_view text, size_t at) {
    if (text.size() < at + 2 || !ascii::IsDigit(text[at]) || !ascii::IsDigit(text[at + 1]))
        return -1;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// Milliseconds since 1970 of an RMC's UTC time (hhmmss[.sss]) and date (ddmmyy); nullopt when
// either does not read.
std::optional<int64_t> RmcMillis(std::string_view sentence) {
    const std::string_view time = Field(sentence, 1);
    const std::string_view date = Field(sentence, 9);
    const int hour = Pair(time, 0);
    const int minute = Pair(time, 2);
    const int second = Pair(time, 4);
    const int day = Pair(date, 0);
    const int month = Pair(date, 2);
    const int year = Pair(date, 4);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60 ||
        day < 1 || day > 31 || month < 1 || month > 12 || year < 0 || date.size() != 6)
        return std::nullopt;
    double fraction = 0;
    if (time.size() > 6 && time[6] == '.') {
        const auto f = Number(time.substr(6));
        if (f && *f >= 0 && *f < 1)
            fraction = *f;
    }
    // Days from the civil date (2000-2099), as CivilTime counts them.
    const int64_t y = (month <= 2 ? 2000 + year - 1 : 2000 + year);
    const int64_t era = y / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return seconds * 1000 + static_cast<int64_t>(std::lround(fraction * 1000));
}

bool IsRmc(std::string_view sentence) {
    static constexpr std::string_view kTalkers[] = {"GP", "GN", "GL", "GA", "BD"};
    if (sentence.size() < 7 || sentence[0] != '$' || sentence.substr(3, 4) != "RMC,")
        return false;
    return std::find(std::begin(kTalkers), std::end(kTalkers), sentence.substr(1, 2)) !=
           std::end(kTalkers);
}

} // namespace

TelemetryTrack ReadSideFile(std::string_view text) {
    TelemetryTrack track;
    std::optional<int64_t> first;
    int64_t last = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = line.substr(0, line.find('\0'));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);

        std::optional<int64_t> stamp;
        if (!line.empty() && line.front() == '[') {
            const size_t close = line.find(']');
            if (close == std::string_view::npos)
                continue;
            int64_t ms = 0;
            const auto [at, ec] = std::from_chars(line.data() + 1, line.data() + close, ms);
            if (ec != std::errc() || at != line.data() + close || ms < 0)
                continue;
            stamp = ms;
            line.remove_prefix(close + 1);
        }
        const size_t dollar = line.find('$');
        if (dollar == std::string_view::npos)
            continue;
        line.remove_prefix(dollar);

        if (IsRmc(line)) {
            if (!ChecksumMatches(line))
                continue;
            if (!stamp)
                stamp = RmcMillis(line);
            if (!stamp)
                continue;
        } else if (line.substr(0, 9) == "$GSENSOR,") {
            if (line.find('*') != std::string_view::npos && !ChecksumMatches(line))
                continue;
        } else {
            continue;
        }
        if (stamp) {
            if (!first)
                first = *stamp;
            last = *stamp - *first;
        }
        if (line[1] == 'G' && line.substr(0, 9) == "$GSENSOR,") {
            const auto x = Number(Field(line, 1));
            const auto y = Number(Field(line, 2));
            const auto z = Number(Field(line, 3));
            if (!x || !y || !z)
                continue;
            const double scale =
                std::max({std::fabs(*x), std::fabs(*y), std::fabs(*z)}) > 20 ? 0.001 : 1.0;
            track.accelerations.push_back({last, *x * scale, *y * scale, *z * scale});
        } else {
            // Read field by field: an empty course (a car standing still) keeps its place.
            CGPSData fix;
            if (ParseRmcSentence(line, fix))
                track.fixes.push_back({last, fix});
        }
    }
    track.SortByTime();
    return track;
}

} // namespace nmea
