#include "ClockChoices.h"

#include <algorithm>
#include <cstddef>

namespace {

struct Range {
    int first;
    int last;
};

Range RangeOf(ClockField field, int currentYear) {
    switch (field) {
    case ClockField::Year:
        return {ClockChoices::kFirstYear, std::max(ClockChoices::kLastListedYear, currentYear)};
    case ClockField::Month:
        return {1, 12};
    case ClockField::Day:
        return {1, 31};
    case ClockField::Hour:
        return {1, 24};
    case ClockField::Minute:
    case ClockField::Second:
        break;
    }
    return {0, 59};
}

int CivilTime::*MemberOf(ClockField field) {
    static constexpr int CivilTime::*kMembers[] = {&CivilTime::year,   &CivilTime::month,
                                                   &CivilTime::day,    &CivilTime::hour,
                                                   &CivilTime::minute, &CivilTime::second};
    return kMembers[static_cast<size_t>(field)];
}

} // namespace

namespace ClockChoices {

std::vector<int> Values(ClockField field, int currentYear) {
    const Range range = RangeOf(field, currentYear);
    std::vector<int> values;
    for (int value = range.first; value <= range.last; ++value)
        values.push_back(value);
    return values;
}

std::optional<int> IndexOf(ClockField field, int value, int currentYear) {
    const Range range = RangeOf(field, currentYear);
    if (value < range.first || value > range.last)
        return std::nullopt;
    return value - range.first;
}

int Get(const CivilTime& time, ClockField field) {
    return time.*MemberOf(field);
}

void Set(CivilTime& time, ClockField field, int value) {
    time.*MemberOf(field) = value;
}

} // namespace ClockChoices
