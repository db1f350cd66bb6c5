#pragma once

#include <string>
#include <string_view>

// Character tests and letter case of ASCII text, the way the C locale reads it whatever locale
// the process runs in (Qt sets the user's), and the extensions of file names. Bytes above 127
// are no letters, digits or spaces and keep their case.
//
// Threads: no state; any thread.
namespace ascii {

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

constexpr bool IsAlpha(char c) {
    return IsUpper(c) || (c >= 'a' && c <= 'z');
}

constexpr bool IsAlnum(char c) {
    return IsAlpha(c) || IsDigit(c);
}

// ' ', '\t', '\n', '\v', '\f' and '\r', as isspace in the C locale.
constexpr bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr char ToLower(char c) {
    return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char ToUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a hexadecimal digit (either case); -1 for any other character.
constexpr int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string LowerCopy(std::string_view text);

// Whether a and b hold the same letters, case ignored.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The extension of the path's last part: what follows its last '.', without the dot; empty
// when that part has no dot ("a/b.c/d" has none; ".nmea" has "nmea").
std::string_view ExtensionOf(std::string_view path);

// Whether the path's extension is `extension` (given without the dot), case ignored; an empty
// `extension` matches a path without one.
bool HasExtension(std::string_view path, std::string_view extension);

} // namespace ascii
