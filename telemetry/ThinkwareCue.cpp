#include "ThinkwareCue.h"

#include "NmeaText.h"
#include "base/ByteOrder.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

bool Number(std::string_view field, double& out) {
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    if (!field.empty() && field.front() == '+')
        field.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ReadSensor(std::string_view part, ThinkwareCue& cue) {
    double fields[5] = {};
    size_t count = 0;
    part.remove_prefix(part.find(',') + 1); // after "gsensori"
    while (count < 5) {
        const size_t comma = part.find(',');
        if (!Number(part.substr(0, comma), fields[count]))
            return false;
        ++count;
        if (comma == std::string_view::npos)
            break;
        part.remove_prefix(comma + 1);
    }
    const double perG = fields[1];
    if (count < 5 || !(perG > 0))
        return false;
    cue.hasAcceleration = true;
    cue.x = fields[2] / perG;
    cue.y = fields[3] / perG;
    cue.z = fields[4] / perG;
    return true;
}

} // namespace

ThinkwareCue ThinkwareCue::FromSample(const uint8_t* data, size_t size, FixMaker& maker) {
    if (data == nullptr || size < 2)
        return {};
    const size_t length = LoadU16BE(data);
    if (length > size - 2)
        return {};
    return FromText(std::string_view(reinterpret_cast<const char*>(data + 2), length), maker);
}

ThinkwareCue ThinkwareCue::FromText(std::string_view text, FixMaker& maker) {
    ThinkwareCue cue;
    while (!text.empty()) {
        const size_t end = text.find(';');
        std::string_view part = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!part.empty() &&
               (part.front() == ' ' || part.front() == '\n' || part.front() == '\r'))
            part.remove_prefix(1);
        if (part.substr(0, 9) == "gsensori,") {
            ReadSensor(part, cue);
        } else if (part.size() > 5 && part.substr(2, 4) == "RMC,") {
            CGPSData fix;
            if (ParseRmcSentence(part, fix, &maker))
                cue.fix = fix;
        }
    }
    return cue;
}
