#include "SpeedUnit.h"

#include "base/AsciiText.h"

#include <array>
#include <cstdlib>

namespace speedunit {

namespace {

constexpr double kKmPerMile = 1.609344;

// The territories whose roads are signed in miles (ISO 3166-1 alpha-2), as the header lists
// them.
constexpr std::array<std::string_view, 29> kMileTerritories{
    "US", "PR", "GU", "VI", "AS", "MP", "UM",                         // the United States
    "GB", "IM", "JE", "GG", "AI", "VG", "KY", "FK", "MS", "SH", "TC", // the United Kingdom
    "LR", "MM",                                                       // Liberia, Myanmar
    "AG", "BS", "BZ", "DM", "GD", "KN", "LC", "VC", "WS",             // Caribbean and Pacific
};

// The territory of a locale name: what follows the language and '_' (or '-') up to the
// codeset or modifier; empty when there is none.
std::string_view TerritoryOf(std::string_view locale) {
    const size_t languageEnd = locale.find_first_of("_-.@");
    if (languageEnd == std::string_view::npos ||
        (locale[languageEnd] != '_' && locale[languageEnd] != '-'))
        return {};
    const std::string_view rest = locale.substr(languageEnd + 1);
    return rest.substr(0, rest.find_first_of(".@"));
}

} // namespace

SpeedUnit DefaultForLocale(std::string_view locale) {
    const std::string_view territory = TerritoryOf(locale);
    if (territory.size() != 2)
        return SpeedUnit::kKmh;
    for (const std::string_view miles : kMileTerritories)
        if (ascii::EqualsIgnoreCase(territory, miles))
            return SpeedUnit::kMph;
    return SpeedUnit::kKmh;
}

SpeedUnit DefaultFromEnvironment(const char* lcAll, const char* lcMeasurement, const char* lang) {
    for (const char* value : {lcAll, lcMeasurement, lang})
        if (value != nullptr && value[0] != '\0')
            return DefaultForLocale(value);
    return SpeedUnit::kKmh;
}

SpeedUnit DefaultFromEnvironment() {
    return DefaultFromEnvironment(std::getenv("LC_ALL"), std::getenv("LC_MEASUREMENT"),
                                  std::getenv("LANG"));
}

const char* Word(SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? "mph" : "kmh";
}

SpeedUnit FromWord(std::string_view word, SpeedUnit fallback) {
    if (ascii::EqualsIgnoreCase(word, "kmh"))
        return SpeedUnit::kKmh;
    if (ascii::EqualsIgnoreCase(word, "mph"))
        return SpeedUnit::kMph;
    return fallback;
}

SpeedUnit Toggle(SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? SpeedUnit::kKmh : SpeedUnit::kMph;
}

double Speed(double kmh, SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? kmh / kKmPerMile : kmh;
}

double Distance(double km, SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? km / kKmPerMile : km;
}

const char* SpeedName(SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? "mph" : "km/h";
}

const char* DistanceName(SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? "mi" : "km";
}

} // namespace speedunit
