#include "StringTable.h"

#include <cstdarg>
#include <cstdio>

namespace {

struct StringEntry {
    int id;
    const char* text;
    int pairedId; // 0: shown in both languages
    bool korean;  // the Korean half of its pair
};

#define TATV_PAIR(koreanId, koreanText, englishId, englishText)                                    \
    {koreanId, koreanText, englishId, true}, {englishId, englishText, koreanId, false},
#define TATV_SINGLE(id, text) {id, text, 0, false},

constexpr StringEntry kStrings[] = {
#include "strings.inc"
};

#undef TATV_PAIR
#undef TATV_SINGLE

const StringEntry* Find(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

const char* StringText(int id) {
    const StringEntry* entry = Find(id);
    return entry != nullptr ? entry->text : nullptr;
}

int PairedStringId(int id) {
    const StringEntry* entry = Find(id);
    return entry != nullptr ? entry->pairedId : 0;
}

std::string PickText(int id, uint16_t languageId) {
    const StringEntry* entry = Find(id);
    if (entry == nullptr) {
        return {};
    }
    if (entry->pairedId != 0 && entry->korean != IsKorean(languageId)) {
        const StringEntry* other = Find(entry->pairedId);
        if (other != nullptr)
            return other->text;
    }
    return entry->text;
}

// The formats are the table's own compiled-in texts, not outside text.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif
std::string FormatText(int id, unsigned languageId, ...) {
    const std::string format = PickText(id, static_cast<uint16_t>(languageId));
    va_list args;
    va_start(args, languageId);
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format.c_str(), sizing);
    va_end(sizing);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format.c_str(), args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

std::vector<int> StringIds() {
    std::vector<int> ids;
    for (const StringEntry& entry : kStrings) {
        ids.push_back(entry.id);
    }
    return ids;
}
