#include "CProfileText.h"

#include "base/AsciiText.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Span {
    size_t begin = 0;
    size_t end = 0;
    bool Empty() const { return begin == end; }
};

// One line of the text: [begin, end) without its '\n'; next is where the following line starts.
struct Line {
    size_t begin = 0;
    size_t end = 0;
    size_t next = 0;
    bool HasNewline() const { return next > end; }
};

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    Span name;  // section or key name, trimmed
    Span value; // value with quotes, trimmed
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

Span Trim(std::string_view text, Span span) {
    while (span.begin < span.end && IsBlank(text[span.begin]))
        ++span.begin;
    while (span.end > span.begin && IsBlank(text[span.end - 1]))
        --span.end;
    return span;
}

Line LineAt(std::string_view text, size_t begin) {
    const size_t newline = text.find('\n', begin);
    if (newline == std::string_view::npos)
        return {begin, text.size(), text.size()};
    return {begin, newline, newline + 1};
}

ParsedLine ParseLine(std::string_view text, const Line& line) {
    const Span body = Trim(text, {line.begin, line.end});
    if (body.Empty())
        return {};
    const char first = text[body.begin];
    if (first == ';')
        return {LineKind::Comment, {}, {}};
    if (first == '[') {
        const std::string_view inner = text.substr(body.begin + 1, body.end - body.begin - 1);
        const size_t close = inner.rfind(']');
        if (close == std::string_view::npos)
            return {LineKind::Other, {}, {}};
        return {LineKind::Section, Trim(text, {body.begin + 1, body.begin + 1 + close}), {}};
    }
    const size_t equals = text.substr(body.begin, body.end - body.begin).find('=');
    if (equals == std::string_view::npos)
        return {LineKind::Other, {}, {}};
    const size_t at = body.begin + equals;
    return {LineKind::Key, Trim(text, {body.begin, at}), Trim(text, {at + 1, body.end})};
}

std::string_view View(std::string_view text, Span span) {
    return text.substr(span.begin, span.end - span.begin);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool Trimmed(std::string_view text) {
    return !text.empty() && !IsBlank(text.front()) && !IsBlank(text.back());
}

} // namespace

std::string_view CProfileText::LineEnding() const {
    const size_t newline = m_bytes.find('\n');
    if (newline != std::string::npos && (newline == 0 || m_bytes[newline - 1] != '\r'))
        return "\n";
    return "\r\n";
}

void CProfileText::Index() const {
    if (m_indexed)
        return;
    m_entries.clear();
    m_sections.clear();
    const std::string_view text = m_bytes;
    size_t pos = text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < text.size()) {
        const Line line = LineAt(text, pos);
        pos = line.next;
        const ParsedLine parsed = ParseLine(text, line);
        if (parsed.kind == LineKind::Section) {
            m_sections.push_back(
                {parsed.name.begin, parsed.name.end, line.next, !line.HasNewline()});
            continue;
        }
        // Lines before the first section header belong to none.
        if (m_sections.empty() || (parsed.kind != LineKind::Key && parsed.kind != LineKind::Other))
            continue;
        Section& section = m_sections.back();
        section.insertAt = line.next;
        section.insertNeedsNewline = !line.HasNewline();
        if (parsed.kind == LineKind::Key)
            m_entries.push_back({section.nameBegin, section.nameEnd, parsed.name.begin,
                                 parsed.name.end, parsed.value.begin, parsed.value.end});
    }
    m_indexed = true;
}

CProfileText::Entry* CProfileText::EntryOf(std::string_view section, std::string_view key) const {
    Index();
    const std::string_view text = m_bytes;
    for (Entry& entry : m_entries)
        if (entry.keyEnd - entry.keyBegin == key.size() &&
            entry.sectionEnd - entry.sectionBegin == section.size() &&
            ascii::EqualsIgnoreCase(text.substr(entry.keyBegin, key.size()), key) &&
            ascii::EqualsIgnoreCase(text.substr(entry.sectionBegin, section.size()), section))
            return &entry;
    return nullptr;
}

CProfileText::Section* CProfileText::SectionOf(std::string_view section) const {
    Index();
    const std::string_view text = m_bytes;
    for (Section& s : m_sections)
        if (ascii::EqualsIgnoreCase(text.substr(s.nameBegin, s.nameEnd - s.nameBegin), section))
            return &s;
    return nullptr;
}

void CProfileText::Shift(size_t from, size_t added, size_t removed) {
    if (added == removed)
        return;
    const auto move = [&](size_t& at) {
        if (at >= from)
            at = at + added - removed;
    };
    for (Entry& entry : m_entries)
        for (size_t* at : {&entry.sectionBegin, &entry.sectionEnd, &entry.keyBegin, &entry.keyEnd,
                           &entry.valueBegin, &entry.valueEnd})
            move(*at);
    for (Section& section : m_sections) {
        move(section.nameBegin);
        move(section.nameEnd);
        move(section.insertAt);
    }
}

std::optional<std::string_view> CProfileText::Find(std::string_view section,
                                                   std::string_view key) const {
    const Entry* entry = EntryOf(section, key);
    if (entry == nullptr)
        return std::nullopt;
    return Unquote(View(m_bytes, {entry->valueBegin, entry->valueEnd}));
}

bool CProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidSection(section) || !ValidKey(key) || !ValidValue(value))
        return false;
    if (Entry* entry = EntryOf(section, key)) {
        const size_t begin = entry->valueBegin;
        const size_t end = entry->valueEnd;
        m_bytes.replace(begin, end - begin, value);
        Shift(end, value.size(), end - begin);
        // The entry holds the value as a fresh read of the line would: without its blanks.
        const Span stored = Trim(m_bytes, {begin, begin + value.size()});
        entry->valueBegin = stored.begin;
        entry->valueEnd = stored.end;
        return true;
    }
    const std::string_view eol = LineEnding();
    std::string line;
    Span sectionName;
    size_t keyAt = 0; // where the new key line starts once inserted
    if (Section* found = SectionOf(section)) {
        const size_t insertAt = found->insertAt;
        const bool needsNewline = found->insertNeedsNewline;
        if (needsNewline)
            line += eol;
        keyAt = insertAt + line.size();
        line.append(key).append("=").append(value).append(eol);
        m_bytes.insert(insertAt, line);
        // A section's last line without a line break ends the text: nothing follows it.
        if (!needsNewline)
            Shift(insertAt, line.size(), 0);
        found->insertAt = insertAt + line.size();
        found->insertNeedsNewline = false;
        sectionName = {found->nameBegin, found->nameEnd};
    } else {
        if (!m_bytes.empty() && m_bytes.back() != '\n') {
            // The last line gets its line break: a new key of its section goes after it.
            line += eol;
            for (Section& s : m_sections)
                if (s.insertNeedsNewline) {
                    s.insertAt += eol.size();
                    s.insertNeedsNewline = false;
                }
        }
        sectionName.begin = m_bytes.size() + line.size() + 1;
        sectionName.end = sectionName.begin + section.size();
        line.append("[").append(section).append("]").append(eol);
        keyAt = m_bytes.size() + line.size();
        line.append(key).append("=").append(value).append(eol);
        m_bytes += line;
        m_sections.push_back({sectionName.begin, sectionName.end, m_bytes.size(), false});
    }
    const size_t valueAt = keyAt + key.size() + 1;
    const Span stored = Trim(m_bytes, {valueAt, valueAt + value.size()});
    m_entries.push_back(
        {sectionName.begin, sectionName.end, keyAt, keyAt + key.size(), stored.begin, stored.end});
    return true;
}

bool CProfileText::ValidSection(std::string_view section) {
    return Trimmed(section) && section.find(']') == std::string_view::npos &&
           !HasLineBreak(section);
}

bool CProfileText::ValidKey(std::string_view key) {
    return Trimmed(key) && key.front() != '[' && key.front() != ';' &&
           key.find('=') == std::string_view::npos && !HasLineBreak(key);
}

bool CProfileText::ValidValue(std::string_view value) {
    return !HasLineBreak(value);
}
