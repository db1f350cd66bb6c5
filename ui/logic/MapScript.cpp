#include "MapScript.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::array<std::string_view, 8> kPageFunctions = {
    "DrawCurrent",  "AddRoutePoint", "ClearRoute",    "addMarker",
    "clearMarkers", "showMarkers",   "deleteMarkers", "ReadMarker"};

std::optional<std::string> PointUrl(std::string_view function, const GeoPoint& point) {
    if (!IsOnEarth(point))
        return std::nullopt;
    return "javascript:" + std::string(function) + "('" + FormatCoordinate(point.latitude) +
           "', '" + FormatCoordinate(point.longitude) + "')";
}

// Decodes one UTF-8 sequence at text[pos]; advances pos. Nullopt for an invalid, overlong or
// cut-off sequence and for surrogate code points.
std::optional<char32_t> NextCodePoint(std::string_view text, size_t& pos) {
    const auto lead = static_cast<uint8_t>(text[pos]);
    size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < length)
        return std::nullopt;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (next & 0x3Fu);
    }
    constexpr std::array<char32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    pos += length;
    return value;
}

void AppendUnitEscape(std::string& out, char32_t unit) {
    // One UTF-16 unit: always four hex digits.
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHex[(static_cast<unsigned>(unit) >> shift) & 0xFu]);
}

} // namespace

bool IsPageFunction(std::string_view name) {
    for (const std::string_view function : kPageFunctions) {
        if (name == function)
            return true;
    }
    return false;
}

std::string FormatCoordinate(double degrees) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), degrees,
                                      std::chars_format::fixed, 6);
    if (result.ec != std::errc())
        return "0.000000";
    return std::string(buffer.data(), result.ptr);
}

std::optional<std::string> DrawCurrentUrl(const GeoPoint& point) {
    return PointUrl("DrawCurrent", point);
}

std::optional<std::string> AddRoutePointUrl(const GeoPoint& point) {
    return PointUrl("AddRoutePoint", point);
}

std::optional<std::string> ScriptStringLiteral(std::string_view utf8) {
    std::string out = "\"";
    size_t pos = 0;
    while (pos < utf8.size()) {
        const std::optional<char32_t> code = NextCodePoint(utf8, pos);
        if (!code)
            return std::nullopt;
        const char32_t c = *code;
        if (c == '\\' || c == '"' || c == '\'') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F && c != '<' && c != '>') {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            AppendUnitEscape(out, c);
        } else {
            const char32_t offset = c - 0x10000;
            AppendUnitEscape(out, 0xD800 + (offset >> 10));
            AppendUnitEscape(out, 0xDC00 + (offset & 0x3FF));
        }
    }
    out += '"';
    return out;
}

std::optional<std::string> ScriptForCall(const ScriptCall& call) {
    if (!IsPageFunction(call.function))
        return std::nullopt;
    std::string arguments;
    for (const std::string& argument : call.arguments) {
        const std::optional<std::string> literal = ScriptStringLiteral(argument);
        if (!literal)
            return std::nullopt;
        if (!arguments.empty())
            arguments += ", ";
        arguments += *literal;
    }
    // The name is one of the fixed page functions, so it is safe to write into the script.
    return "(function () { try { var f = window." + call.function +
           "; if (typeof f !== \"function\") return \"\"; var r = f(" + arguments +
           "); return typeof r === \"string\" ? r : \"\"; } catch (e) { return \"\"; } })()";
}
