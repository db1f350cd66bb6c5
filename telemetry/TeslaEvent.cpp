#include "TeslaEvent.h"

#include "FixMaker.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace teslaevent {

namespace {

constexpr size_t kMaxText = 64 * 1024;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The number after "key": (quoted or not); nullopt when there is none.
std::optional<double> NumberOf(std::string_view json, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\"";
    const size_t at = json.find(quoted);
    if (at == std::string_view::npos)
        return std::nullopt;
    size_t i = at + quoted.size();
    while (i < json.size() && IsSpace(json[i]))
        ++i;
    if (i >= json.size() || json[i] != ':')
        return std::nullopt;
    ++i;
    while (i < json.size() && IsSpace(json[i]))
        ++i;
    if (i < json.size() && json[i] == '"')
        ++i;
    double value = 0;
    const auto result = std::from_chars(json.data() + i, json.data() + json.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<TimedFix> ReadEventJson(std::string_view json) {
    json = json.substr(0, kMaxText);
    const std::optional<double> latitude = NumberOf(json, "est_lat");
    const std::optional<double> longitude = NumberOf(json, "est_lon");
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return std::nullopt;
    FixMaker maker;
    return TimedFix{0, maker.Make(UtcStamp{}, true, *latitude, *longitude, 0, 0)};
}

} // namespace teslaevent
