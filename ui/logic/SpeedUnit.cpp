#include "SpeedUnit.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace speedunit {

namespace {

constexpr double kKmPerMile = 1.609344;

// Territories whose roads are signed in miles: the United States and its territories (Puerto
// Rico, Guam, the Virgin Islands, American Samoa, the Northern Marianas, the outlying
// islands), the United Kingdom, Liberia and Myanmar.
constexpr std::array<std::string_view, 10> kMileTerritories = {"US", "PR", "GU", "VI", "AS",
                                                               "MP", "UM", "GB", "LR", "MM"};

bool SameWord(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

SpeedUnit DefaultForLocale(std::string_view locale) {
    // language[_TERRITORY][.codeset][@modifier]
    const size_t end = locale.find_first_of(".@");
    const std::string_view name = locale.substr(0, end);
    const size_t separator = name.find_first_of("_-");
    if (separator == std::string_view::npos)
        return SpeedUnit::kKmh;
    const std::string_view territory = name.substr(separator + 1);
    for (const std::string_view miles : kMileTerritories)
        if (SameWord(territory, miles))
            return SpeedUnit::kMph;
    return SpeedUnit::kKmh;
}

SpeedUnit DefaultFromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_MEASUREMENT", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return DefaultForLocale(value);
    }
    return SpeedUnit::kKmh;
}

const char* Word(SpeedUnit unit) {
    return unit == SpeedUnit::kMph ? "mph" : "kmh";
}

SpeedUnit FromWord(std::string_view word, SpeedUnit fallback) {
    if (SameWord(word, "kmh"))
        return SpeedUnit::kKmh;
    if (SameWord(word, "mph"))
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
