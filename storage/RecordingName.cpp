#include "RecordingName.h"

#include "base/AsciiText.h"

#include <algorithm>

namespace tat {
namespace {

bool SameWord(std::string_view a, std::string_view b, WordCase letters) {
    if (letters == WordCase::kCapitals)
        return a == b;
    return ascii::EqualsIgnoreCase(a, b);
}

// Field i of the name cut at every underscore; empty when the name has fewer fields.
std::string_view Field(std::string_view name, size_t i) {
    size_t start = 0;
    for (; i > 0; --i) {
        const size_t end = name.find('_', start);
        if (end == std::string_view::npos)
            return {};
        start = end + 1;
    }
    return name.substr(start, name.find('_', start) - start);
}

// Up to count characters of field from position from; empty when the field is shorter.
std::string_view Part(std::string_view field, size_t from, size_t count) {
    return from < field.size() ? field.substr(from, count) : std::string_view();
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), ascii::IsDigit);
}

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

} // namespace

int CategoryFromName(std::string_view name) {
    if (name.empty())
        return -1;
    switch (name[0]) {
    case 'E':
    case 'e':
        return 0;
    case 'R':
    case 'r':
        return 1;
    case 'P':
    case 'p':
        return 2;
    case 'M':
    case 'm':
        return 3;
    default:
        return -1;
    }
}

int CategoryOfWord(std::string_view word, WordCase letters) {
    for (int c = 0; c < kCategoryCount; ++c) {
        if (SameWord(word, kCategoryWords[static_cast<size_t>(c)], letters))
            return c;
    }
    return -1;
}

bool IsStorableName(std::string_view name) {
    const bool lettersDigitsUnderscores =
        std::all_of(name.begin(), name.end(), [](char c) { return ascii::IsAlnum(c) || c == '_'; });
    return !name.empty() && name.size() <= kMaxNameLength && lettersDigitsUnderscores &&
           CategoryFromName(name) >= 0;
}

NameFields SplitName(std::string_view name) {
    NameFields fields;
    fields.word = Field(name, 0);
    const std::string_view date = Field(name, 1);
    const std::string_view time = Field(name, 2);
    fields.year = Part(date, 0, 4);
    fields.month = Part(date, 4, 2);
    fields.day = Part(date, 6, 2);
    fields.hour = Part(time, 0, 2);
    fields.minute = Part(time, 2, 2);
    fields.second = Part(time, 4, 2);
    fields.channels = Field(name, 3);
    fields.twoChannel =
        !fields.channels.empty() && (fields.channels[0] == 'D' || fields.channels[0] == 'd');
    return fields;
}

int ChannelsOfPath(std::string_view path) {
    // "NAME.avi": the channel letter sits in front of the extension.
    if (path.size() >= 5 && path[path.size() - 4] == '.')
        path.remove_suffix(4);
    return (!path.empty() && path.back() == 'D') ? 2 : 1;
}

bool ParseRecordingName(std::string_view name, RecordingName& out, std::string* error) {
    // The messages are made only for a caller that asks for them: the folder scan reads every
    // video file's name through here.
    const auto bad = [&] {
        if (error != nullptr)
            *error = "not a recording name: " + std::string(name) +
                     " (CATEGORY_YYYYMMDD_HHMMSS_D or _S, for example REC_20240305_090702_D)";
        return false;
    };
    const size_t word = name.find('_');
    if (word == std::string_view::npos || name.size() != word + 1 + 8 + 1 + 6 + 2 ||
        name[word + 9] != '_' || name[word + 16] != '_')
        return bad();
    const int category = CategoryOfWord(name.substr(0, word), WordCase::kCapitals);
    const std::string_view date = name.substr(word + 1, 8);
    const std::string_view time = name.substr(word + 10, 6);
    const char channels = name.back();
    if (category < 0 || !AllDigits(date) || !AllDigits(time) ||
        (channels != 'D' && channels != 'S'))
        return bad();
    CivilTime start;
    start.year = Number(date.substr(0, 4));
    start.month = Number(date.substr(4, 2));
    start.day = Number(date.substr(6, 2));
    start.hour = Number(time.substr(0, 2));
    start.minute = Number(time.substr(2, 2));
    start.second = Number(time.substr(4, 2));
    const CivilTime check = CivilTime::FromSeconds(start.ToSeconds());
    const bool real = start.month >= 1 && start.month <= 12 && start.day >= 1 && start.day <= 31 &&
                      start.hour < 24 && start.minute < 60 && start.second < 60 &&
                      check.year == start.year && check.month == start.month &&
                      check.day == start.day;
    if (!real) {
        if (error != nullptr)
            *error = "no such date and time in " + std::string(name);
        return false;
    }
    out.category = category;
    out.start = start;
    out.twoChannel = channels == 'D';
    return true;
}

} // namespace tat
