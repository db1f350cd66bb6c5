#pragma once

#include <string>
#include <string_view>

// The unit speeds and distances are shown in. Stored values stay metric everywhere; only
// display texts and exported extras (CSV columns, GPX extensions) follow the unit.
enum class SpeedUnit { kKmh, kMph };

namespace speedunit {

// The default for a locale name as the environment gives it ("en_US.UTF-8", "en_GB", "C"):
// miles for the English of the United States, the United Kingdom and the other places that
// sign roads in miles (Liberia, Myanmar, and US territories); km/h for everything else.
SpeedUnit DefaultForLocale(std::string_view locale);
// The default from the environment: LC_ALL, else LC_MEASUREMENT, else LANG.
SpeedUnit DefaultFromEnvironment();

// The settings word ("kmh", "mph") and back; an unknown word gives the fallback.
const char* Word(SpeedUnit unit);
SpeedUnit FromWord(std::string_view word, SpeedUnit fallback);
// The other unit (the `u` key).
SpeedUnit Toggle(SpeedUnit unit);

// A speed in km/h in the unit (mph: / 1.609344); a distance in km likewise (miles).
double Speed(double kmh, SpeedUnit unit);
double Distance(double km, SpeedUnit unit);
// The unit's short names: "km/h" / "mph", "km" / "mi".
const char* SpeedName(SpeedUnit unit);
const char* DistanceName(SpeedUnit unit);

} // namespace speedunit
