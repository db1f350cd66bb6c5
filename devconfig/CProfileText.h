#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// The first Find or Set reads the whole text once into an index of its key lines and section
// headers, which every later call uses and keeps up to date.
//
// Threads: an object is not shared, not even for Find (the index is built on demand); distinct
// objects are independent.
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
    std::string_view LineEnding() const;
    // Where one key line's section name (of the header above it), key name and value (quotes
    // included, blanks not) are in m_bytes, each as [begin, end).
    struct Entry {
        size_t sectionBegin, sectionEnd, keyBegin, keyEnd, valueBegin, valueEnd;
    };
    // One section header: its name as [nameBegin, nameEnd) in m_bytes, and where a new key of
    // the section goes: after its last key line (or a line that is neither blank nor a
    // comment), else after the header. insertNeedsNewline: that line ends the text without a
    // line break.
    struct Section {
        size_t nameBegin, nameEnd, insertAt;
        bool insertNeedsNewline;
    };
    // Builds m_entries and m_sections when m_indexed is false.
    void Index() const;
    // The first entry of key in a section of that name, or null.
    Entry* EntryOf(std::string_view section, std::string_view key) const;
    // The first section of that name, or null.
    Section* SectionOf(std::string_view section) const;
    // Moves every position at or after from by added - removed bytes.
    void Shift(size_t from, size_t added, size_t removed);

    std::string m_bytes;
    // Every key line of a section and every section header, in the order of the text; valid
    // while m_indexed.
    mutable std::vector<Entry> m_entries;
    mutable std::vector<Section> m_sections;
    mutable bool m_indexed = false;
};
