#pragma once

#include <string>
#include <string_view>

// The unit speeds and distances are shown in. Stored values stay metric everywhere; only
// display texts and exported extras (CSV columns, GPX extensions) follow the unit.
enum class SpeedUnit { kKmh, kMph };

// Plain functions without state; any thread (DefaultFromEnvironment() reads the environment,
// as getenv does).
namespace speedunit {

// The default for a locale name as the environment gives it ("en_US.UTF-8", "en_GB", "pt-BR",
// "C"): decided by its territory, whatever the language (es_US and en_US alike), miles where
// roads are signed in miles: the United States and its territories (PR, GU, VI, AS, MP, UM),
// the United Kingdom with the Crown dependencies (IM, JE, GG) and the overseas territories
// that sign in miles (AI, VG, KY, FK, MS, SH, TC), Liberia, Myanmar, and the Caribbean and
// Pacific states that kept miles (AG, BS, BZ, DM, GD, KN, LC, VC, WS). Km/h for every other
// territory, a name without one ("en"), "C", "POSIX" and the empty name.
SpeedUnit DefaultForLocale(std::string_view locale);
// The default from the environment: the first of LC_ALL, LC_MEASUREMENT and LANG that is set
// and not empty (null pointers count as unset); km/h when none is.
SpeedUnit DefaultFromEnvironment(const char* lcAll, const char* lcMeasurement, const char* lang);
// The same with the process's own variables.
SpeedUnit DefaultFromEnvironment();

// The settings word ("kmh", "mph") and back (any case); an unknown word gives the fallback.
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
