#include "RecordingList.h"

#include "storage/CTATLibrary.h"
#include "storage/FolderScanner.h"
#include "storage/RecordingName.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace RecordingList {

std::string CategoryLabel(std::string_view word) {
    // By category index: event, continuous, parking, manual.
    static const char* const kLabels[tat::kCategoryCount] = {"EVT", "REC", "PAK", "MAN"};
    const int category = tat::CategoryOfWord(word, tat::WordCase::kAny);
    return category >= 0 ? kLabels[category] : std::string(word);
}

std::string DateText(const CivilTime& t) {
    char date[40];
    std::snprintf(date, sizeof date, "%04d.%02d.%02d %02d:%02d:%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    return date;
}

Row RowOfName(std::string_view name) {
    const tat::NameFields fields = tat::SplitName(name);
    Row row;
    row.label = CategoryLabel(fields.word);
    row.name = std::string(name);
    row.dateText.append(fields.year).append(".").append(fields.month).append(".");
    row.dateText.append(fields.day).append(" ").append(fields.hour).append(":");
    row.dateText.append(fields.minute).append(":").append(fields.second);
    if (fields.twoChannel)
        row.rear.push_back('0');
    return row;
}

Row RowOfRecording(const DashcamRecording& recording, bool damaged) {
    Row row;
    const int category = recording.category >= 0 && recording.category < tat::kCategoryCount
                             ? recording.category
                             : 1;
    row.label = CategoryLabel(tat::kCategoryWords[static_cast<size_t>(category)]);
    row.name = recording.name;
    row.dateText = DateText(recording.start);
    if (damaged)
        row.dateText += " (damaged)";
    // An export of this program holds both cameras in one file; its name tells.
    if (recording.ChannelCount() >= 2 ||
        (recording.family == "tatview" && tat::ChannelsOfPath(recording.name) == 2))
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
