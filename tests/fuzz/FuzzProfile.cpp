// Fuzz target for profile text. Input: a first line "section|key|value" chosen by the fuzzer
// (up to 64 bytes), then the profile text. The text is searched with the chosen names and a
// few fixed ones, then the key is set; a set that succeeds must read back as written, leave
// another key alone and be repeatable without changing the text, and keys added after it must go
// where they go in the same bytes read afresh. The text is copied into a buffer of exactly its size
// so that a read past the end is caught.
#include "devconfig/CProfileText.h"
#include "devconfig/DecimalValue.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr size_t kMaxNameLine = 64;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Splits "a|b|c" at the first two bars; missing parts are empty.
void SplitNames(std::string_view line, std::string& section, std::string& key, std::string& value) {
    const size_t first = line.find('|');
    section = std::string(line.substr(0, first));
    if (first == std::string_view::npos)
        return;
    const std::string_view rest = line.substr(first + 1);
    const size_t second = rest.find('|');
    key = std::string(rest.substr(0, second));
    if (second != std::string_view::npos)
        value = std::string(rest.substr(second + 1));
}

bool Blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A value that reads back exactly as written: no blanks around it, no quotes around it.
bool Plain(std::string_view value) {
    if (value.empty())
        return true;
    if (Blank(value.front()) || Blank(value.back()))
        return false;
    return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
             value.back() == value.front());
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

void Probe(const CProfileText& text, std::string_view section, std::string_view key) {
    const std::optional<std::string_view> value = text.Find(section, key);
    if (!value)
        return;
    Check(value->data() >= text.Bytes().data() &&
          value->data() + value->size() <= text.Bytes().data() + text.Bytes().size());
    volatile int number = DecimalValue(*value);
    (void)number;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string section;
    std::string key;
    std::string value;
    size_t start = 0;
    if (const void* newline = std::memchr(bytes, '\n', size < kMaxNameLine ? size : kMaxNameLine)) {
        const size_t end = static_cast<size_t>(static_cast<const char*>(newline) - bytes);
        SplitNames(std::string_view(bytes, end), section, key, value);
        start = end + 1;
    }

    const size_t textSize = size - start;
    const std::unique_ptr<char[]> exact(new char[textSize]);
    if (textSize > 0)
        std::memcpy(exact.get(), bytes + start, textSize);
    CProfileText text(std::string(exact.get(), textSize));

    Probe(text, section, key);
    Probe(text, "blackbox", "tat_update");
    Probe(text, "time", "set");
    Probe(text, "config", "volume");

    const std::string before = text.Bytes();
    const std::optional<std::string_view> otherBefore = text.Find("time", "set");
    const std::string other = otherBefore ? std::string(*otherBefore) : std::string("<none>");
    if (!text.Set(section, key, value)) {
        Check(text.Bytes() == before);
        return 0;
    }
    const std::optional<std::string_view> stored = text.Find(section, key);
    Check(stored.has_value());
    if (Plain(value))
        Check(*stored == value);
    // Another key keeps its value.
    if (!SameName(section, "time") || !SameName(key, "set")) {
        const std::optional<std::string_view> otherAfter = text.Find("time", "set");
        Check((otherAfter ? std::string(*otherAfter) : std::string("<none>")) == other);
    }

    // What the changed text answers is what the same bytes read afresh answer.
    const CProfileText fresh(text.Bytes());
    for (const auto& [s, k] : {std::pair<std::string_view, std::string_view>{section, key},
                               {"time", "set"},
                               {"blackbox", "tat_update"}}) {
        const std::optional<std::string_view> kept = text.Find(s, k);
        const std::optional<std::string_view> read = fresh.Find(s, k);
        Check(kept.has_value() == read.has_value() && (!kept || *kept == *read));
    }

    // Blanks around a value are not part of it when read, so only a value without them is
    // stored the same way twice.
    if (value.empty() || (!Blank(value.front()) && !Blank(value.back()))) {
        const std::string once = text.Bytes();
        Check(text.Set(section, key, value));
        Check(text.Bytes() == once);
    }

    // Keys added after the change go where they go in the same bytes read afresh.
    for (const auto& [s, k] : {std::pair<std::string_view, std::string_view>{section, "added"},
                               {"time", "added"},
                               {"fuzz new section", "added"}}) {
        CProfileText again(text.Bytes());
        Check(text.Set(s, k, "1") == again.Set(s, k, "1"));
        Check(text.Bytes() == again.Bytes());
    }
    return 0;
}
