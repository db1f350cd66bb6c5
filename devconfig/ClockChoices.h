#pragma once

#include "storage/CivilTime.h"

#include <optional>
#include <vector>

// The six clock lists of the settings dialog (PC time synchronisation) and the values they
// stand for: year 2013 through the PC's year (at least through 2024), month 1 to 12, day 1 to
// 31, hour 1 to 24, minute and second 0 to 59. Entry i of a list shows Values()[i] as a
// decimal number.
enum class ClockField { Year, Month, Day, Hour, Minute, Second };

namespace ClockChoices {

inline constexpr int kFirstYear = 2013;
inline constexpr int kLastListedYear = 2024; // the list's end when the PC's year is earlier

// The values of a field's list; currentYear (the PC's) extends the year list.
std::vector<int> Values(ClockField field, int currentYear);

// The entry showing value, or nothing when the list has none (hour 0, a year before 2013).
std::optional<int> IndexOf(ClockField field, int value, int currentYear);

// The field of a time, and the time with the field changed.
int Get(const CivilTime& time, ClockField field);
void Set(CivilTime& time, ClockField field, int value);

} // namespace ClockChoices
