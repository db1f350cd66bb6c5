#include "NmeaLog.h"

#include "base/AsciiText.h"
#include "telemetry/NmeaChecksum.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr int64_t kDayMs = 24LL * 3600 * 1000;

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

int Digits(std::string_view text, size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

} // namespace

std::optional<std::string> AsGpsRmc(std::string_view sentence) {
    sentence = Trimmed(sentence);
    // "$", a two-letter talker, "RMC,".
    if (sentence.size() < 7 || sentence[0] != '$' || !ascii::IsUpper(sentence[1]) ||
        !ascii::IsUpper(sentence[2]) || sentence.substr(3, 4) != "RMC,")
        return std::nullopt;
    const size_t star = sentence.find('*');
    std::string_view body =
        sentence.substr(1, star == std::string_view::npos ? sentence.npos : star - 1);
    // A checksum, when there is one, is the line's last two characters.
    if (star != std::string_view::npos &&
        (sentence.size() != star + 3 || nmea::StatedChecksum(sentence) != nmea::Checksum(sentence)))
        return std::nullopt;
    if (body.find_first_of("$*") != std::string_view::npos)
        return std::nullopt;
    return nmea::WithChecksum("GP" + std::string(body.substr(2)));
}

std::optional<int64_t> RmcTimeOfDay(std::string_view sentence) {
    const size_t comma = sentence.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    std::string_view field = sentence.substr(comma + 1);
    field = field.substr(0, field.find_first_of(",*"));
    if (field.size() < 6)
        return std::nullopt;
    for (size_t i = 0; i < 6; ++i) {
        if (!ascii::IsDigit(field[i]))
            return std::nullopt;
    }
    const int hours = Digits(field, 0);
    const int minutes = Digits(field, 2);
    const int seconds = Digits(field, 4);
    if (hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    int64_t ms = ((hours * 60LL + minutes) * 60 + seconds) * 1000;
    if (field.size() > 6) {
        // A fraction of a second: ".s", ".ss", ".sss" or longer (read to the millisecond).
        if (field[6] != '.')
            return std::nullopt;
        int64_t scale = 100;
        for (size_t i = 7; i < field.size(); ++i) {
            if (!ascii::IsDigit(field[i]))
                return std::nullopt;
            ms += (field[i] - '0') * scale;
            scale /= 10;
        }
    }
    return ms;
}

std::vector<TimedGpsLine> GpsLinesFromLog(std::string_view text) {
    std::vector<TimedGpsLine> lines;
    bool first = true;
    int64_t previousOfDay = 0;
    int64_t previous = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::optional<std::string> sentence = AsGpsRmc(raw);
        if (!sentence)
            continue;
        const std::optional<int64_t> ofDay = RmcTimeOfDay(*sentence);
        if (!ofDay)
            continue;
        int64_t at = 0;
        if (!first) {
            int64_t step = *ofDay - previousOfDay;
            if (step < -kDayMs / 2)
                step += kDayMs; // past midnight
            else if (step > kDayMs / 2)
                step -= kDayMs; // a late line from before midnight
            at = previous + step;
        }
        first = false;
        previousOfDay = *ofDay;
        previous = at;
        TimedGpsLine line;
        line.milliseconds = at;
        line.line = "G";
        line.line.append(*sentence);
        lines.push_back(std::move(line));
    }
    std::stable_sort(lines.begin(), lines.end(), [](const TimedGpsLine& a, const TimedGpsLine& b) {
        return a.milliseconds < b.milliseconds;
    });
    return lines;
}

bool ReadGpsLog(const std::string& path, std::vector<TimedGpsLine>& lines, std::string* error) {
    std::error_code ec;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, ec))
        in.open(path, std::ios::binary);
    std::ostringstream text;
    if (in.is_open())
        text << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        if (error != nullptr) {
            *error = "cannot read ";
            error->append(path);
        }
        return false;
    }
    lines = GpsLinesFromLog(text.str());
    return true;
}
