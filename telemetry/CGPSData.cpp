#include "CGPSData.h"

#include "base/AsciiText.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <ctime>
#include <system_error>

namespace {

// The firmware's readers look at no more than this many characters of a sentence.
constexpr size_t kMaxSentenceChars = 1027;

constexpr double kKnotsToKmh = 1.852;

// Hands out the comma-separated fields of a sentence one by one. Runs of commas count as one
// separator and empty fields are skipped, as the camera's own readers do.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : m_rest(text) {}

    bool Next(std::string_view& field) {
        const size_t start = m_rest.find_first_not_of(',');
        if (start == std::string_view::npos) {
            m_rest = {};
            return false;
        }
        m_rest.remove_prefix(start);
        const size_t end = m_rest.find(',');
        field = m_rest.substr(0, end);
        m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end);
        return true;
    }

private:
    std::string_view m_rest;
};

// The two-digit decimal number at field[at], field[at + 1]; false when the field is too short
// or either character is not a digit.
bool ReadPair(std::string_view field, size_t at, int32_t& out) {
    if (field.size() < at + 2 || !ascii::IsDigit(field[at]) || !ascii::IsDigit(field[at + 1]))
        return false;
    out = (field[at] - '0') * 10 + (field[at + 1] - '0');
    return true;
}

// The decimal number at the start of the field, read like strtod in the C locale: leading
// white space and a '+' are allowed and whatever follows the number is ignored. False when
// the field does not start with a finite number.
bool ReadNumber(std::string_view field, double& out) {
    size_t start = 0;
    while (start < field.size() && ascii::IsSpace(field[start]))
        ++start;
    if (start + 1 < field.size() && field[start] == '+' && field[start + 1] != '-')
        ++start;
    const char* first = field.data() + start;
    const char* last = field.data() + field.size();
    double value = 0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

// The value rounded to float precision; false when it does not fit a float.
bool RoundToFloat(double value, double& out) {
    if (!std::isfinite(value) || std::fabs(value) > static_cast<double>(FLT_MAX))
        return false;
    out = static_cast<double>(static_cast<float>(value));
    return true;
}

} // namespace

CGPSData::CGPSData(std::string_view sentence, int32_t user) : userValue(user) {
    std::string_view text = sentence.substr(0, sentence.find('\0'));
    if (text.size() > kMaxSentenceChars)
        text = text.substr(0, kMaxSentenceChars);

    FieldReader fields(text);
    std::string_view field;
    if (!fields.Next(field)) // the type letter and sentence identifier
        return;

    for (int index = 1; index <= 9; ++index) {
        if (!fields.Next(field))
            return; // a partly filled record; time stays 0
        double number = 0;
        switch (index) {
        case 1: // hhmmss[.sss], UTC; shown as Korean time
            if (ReadPair(field, 0, hour))
                hour += 9;
            ReadPair(field, 2, minute);
            ReadPair(field, 4, second);
            break;
        case 2:
            valid = field[0] == 'A' ? 1 : 0;
            break;
        case 3:
            if (ReadNumber(field, number))
                latitude = number;
            break;
        case 4:
            if (field[0] != 'N')
                latitude = -latitude;
            break;
        case 5:
            if (ReadNumber(field, number))
                longitude = number;
            break;
        case 6:
            if (field[0] != 'E')
                longitude = -longitude;
            break;
        case 7: // knots
            if (ReadNumber(field, number))
                RoundToFloat(number * kKnotsToKmh, speed);
            break;
        case 8:
            if (ReadNumber(field, number))
                RoundToFloat(number, course);
            break;
        case 9: // ddmmyy
            ReadPair(field, 0, day);
            ReadPair(field, 2, month);
            ReadPair(field, 4, year);
            break;
        default:
            break;
        }
    }

    // mktime normalises the hours past 23 (UTC + 9) into the next day.
    std::tm broken{};
    broken.tm_sec = second;
    broken.tm_min = minute;
    broken.tm_hour = hour;
    broken.tm_mday = day;
    broken.tm_mon = month - 1;
    broken.tm_year = (year + 30) % 100 + 70; // 70-99 → 1970-1999, 00-69 → 2000-2069
    broken.tm_isdst = 0;
    time = static_cast<int64_t>(std::mktime(&broken));
    m_complete = true;
}

double CGPSData::ToDegrees(double nmea) {
    const double x = nmea * 0.01;
    const double degrees = std::trunc(x);
    return degrees + (x - degrees) * 100.0 / 60.0;
}
