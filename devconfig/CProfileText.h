#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The text of one profile ("INI") file held in memory: sections in brackets, key=value lines,
// comments after ';'. Lookup of section and key names ignores ASCII case; names and values are
// trimmed of blanks (space, tab, CR, VT, FF) on both sides, and a value wrapped in a matching
// pair of double or single quotes loses them. Bytes outside ASCII are never interpreted or
// changed, so text in UTF-8, EUC-KR or any other byte encoding passes through as it is.
//
// Set changes one key and keeps every other byte of the text as it was: the value is replaced
// in place on its own line; a missing key is added after the last non-blank line of its section;
// a missing section is added at the end. New lines take the line ending of the text's first
// line (CRLF when the text has none yet, as the camera writes its files).
//
// Lines before the first section header belong to no section and are never found. When a
// section name occurs more than once, the first key found in any of them wins, and a new key
// goes into the first of them.
//
// Threads: an object is not shared; distinct objects are independent.
class CProfileText {
public:
    CProfileText() = default;
    explicit CProfileText(std::string bytes) : m_bytes(std::move(bytes)) {}

    const std::string& Bytes() const { return m_bytes; }

    // The key's value, or nothing when the section or the key is missing or the line has no
    // '='. The view points into Bytes() and lives until the next Set.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Stores value under section/key. Fails, changing nothing, when a name or the value could
    // not be read back as written (see ValidSection, ValidKey, ValidValue).
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    // Non-empty, no surrounding blanks, no ']' and no line break.
    static bool ValidSection(std::string_view section);
    // Non-empty, no surrounding blanks, no '=' and no line break, not starting with '[' or ';'.
    static bool ValidKey(std::string_view key);
    // No line break.
    static bool ValidValue(std::string_view value);

private:
    struct Match;
    Match Search(std::string_view section, std::string_view key) const;
    std::string_view LineEnding() const;

    std::string m_bytes;
};
