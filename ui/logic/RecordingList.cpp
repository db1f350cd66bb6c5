#include "RecordingList.h"

#include "storage/CTATLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>

namespace RecordingList {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::vector<std::string_view> Fields(std::string_view name) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = name.find('_', start);
        fields.push_back(name.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return fields;
}

std::string_view Part(std::string_view field, size_t from, size_t count) {
    return from < field.size() ? field.substr(from, count) : std::string_view();
}

} // namespace

std::string CategoryLabel(std::string_view word) {
    static const std::pair<const char*, const char*> kLabels[] = {
        {"REC", "REC"}, {"EVENT", "EVT"}, {"PARKING", "PAK"}, {"MANUAL", "MAN"}};
    for (const auto& [category, label] : kLabels) {
        if (EqualsIgnoringCase(word, category))
            return label;
    }
    return std::string(word);
}

Row RowOfName(std::string_view name) {
    const std::vector<std::string_view> fields = Fields(name);
    const auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };
    Row row;
    row.label = CategoryLabel(field(0));
    row.name = std::string(name);
    const std::string_view date = field(1);
    const std::string_view time = field(2);
    row.dateText.append(Part(date, 0, 4)).append(".").append(Part(date, 4, 2)).append(".");
    row.dateText.append(Part(date, 6, 2)).append(" ").append(Part(time, 0, 2)).append(":");
    row.dateText.append(Part(time, 2, 2)).append(":").append(Part(time, 4, 2));
    const std::string_view channels = field(3);
    if (!channels.empty() && (channels[0] == 'D' || channels[0] == 'd'))
        row.rear.push_back('0');
    return row;
}

void ScanCategory(CTATLibrary& library, uint8_t drive, int category,
                  std::vector<std::string>& names) {
    if (drive == 0)
        return;
    const int32_t count = library.CountEntries(drive, category);
    if (count <= 0)
        return;
    constexpr size_t kNameBytes = 40;
    std::vector<char> nameBytes(static_cast<size_t>(count) * kNameBytes, '\0');
    auto* entryNames = reinterpret_cast<char(*)[kNameBytes]>(nameBytes.data());
    std::vector<int64_t> sizes(static_cast<size_t>(count), 0);
    std::vector<int32_t> indexes(static_cast<size_t>(count), 0);
    const int32_t filled =
        library.ListEntries(drive, category, count, entryNames, sizes.data(), indexes.data());
    for (int32_t i = 0; i < std::min(filled, count); ++i) {
        const auto at = static_cast<size_t>(i);
        const std::string name(entryNames[at], strnlen(entryNames[at], kNameBytes));
        // The list judges sizes by their low 32 bits, as the camera's own tools do.
        const auto size = static_cast<int32_t>(static_cast<uint32_t>(sizes[at] & 0xFFFFFFFF));
        if (size >= kMinRecordingSize) {
            names.push_back(name);
        } else if (size == 0) {
            // Never closed: listed only when the library describes it as whole. One whose
            // description fails (its file is gone) is left out too.
            TatDescription description;
            if (library.DescribeByIndex(name, indexes[at], description) &&
                description.counts[0] == '\0')
                names.push_back(name);
        }
    }
}

std::vector<std::string> ListNames(CTATLibrary& library, uint8_t drive, int filter) {
    std::vector<std::string> names;
    if (filter >= 0 && filter < kFilterAll) {
        ScanCategory(library, drive, filter, names);
    } else if (filter == kFilterAll) {
        for (int category = 0; category < kFilterAll; ++category)
            ScanCategory(library, drive, category, names);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

} // namespace RecordingList
