#include "CardCommands.h"
#include "CommandLine.h"
#include "FolderCommands.h"
#include "base/AlignedBuffer.h"
#include "base/AsciiText.h"

#include "formats/CRecordingExporter.h"
#include "player/source/CTATParser.h"
#include "storage/CTATCardWriter.h"
#include "storage/CTATLibrary.h"
#include "storage/RecordingName.h"
#include "storage/TatFormat.h"
#include "ui/logic/RecordingList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// The library with the card in folder `card` taken into use; null (after reporting) when
// there is no card there.
std::unique_ptr<CTATLibrary> OpenCard(const std::string& card, uint8_t& drive) {
    TatCardSource source;
    source.cardFolder = card;
    source.scanRemovable = false;
    auto library = std::make_unique<CTATLibrary>(source);
    drive = library->PollCardDrive();
    if (drive == 0) {
        CommandFailed("no card in " + card);
        return nullptr;
    }
    library->MountCard();
    return library;
}

struct Entry {
    std::string name;
    int64_t size = 0;
    int32_t index = 0;
};

std::vector<Entry> Entries(CTATLibrary& library, uint8_t drive, int category) {
    const int32_t count = library.CountEntries(drive, category);
    if (count <= 0)
        return {};
    const auto n = static_cast<size_t>(count);
    const auto names = std::make_unique<char[][40]>(n);
    std::vector<int64_t> sizes(n);
    std::vector<int32_t> indexes(n);
    const int32_t filled =
        library.ListEntries(drive, category, count, names.get(), sizes.data(), indexes.data());
    std::vector<Entry> entries;
    for (int32_t i = 0; i < filled && i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        Entry entry;
        entry.name.assign(names[at], strnlen(names[at], 40));
        entry.size = sizes[at];
        entry.index = indexes[at];
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace

std::unique_ptr<CTATLibrary> OpenRecording(const std::string& card, const std::string& name,
                                           uint8_t& drive, TatDescription& description) {
    auto library = OpenCard(card, drive);
    if (library && (!tat::IsStorableName(name) || !library->DescribeByName(name, description))) {
        CommandFailed("no recording " + name + " on the card");
        return nullptr;
    }
    return library;
}

int CategoryFromWord(const std::string& word) {
    if (word == "all")
        return kAllCategories;
    // The category words in small letters.
    const bool small = std::none_of(word.begin(), word.end(), ascii::IsUpper);
    return small ? tat::CategoryOfWord(word, tat::WordCase::kAny) : -1;
}

namespace {

// One recording of the card as a JSON object of the list.
void PrintJsonEntry(CTATLibrary& library, const Entry& entry, const char* separator) {
    const tat::NameFields fields = tat::SplitName(entry.name);
    const int category = tat::CategoryFromName(entry.name);
    static constexpr const char* kWords[tat::kCategoryCount] = {"event", "rec", "parking",
                                                                "manual"};
    CivilTime start;
    tat::RecordingName parsed;
    if (tat::ParseRecordingName(entry.name, parsed, nullptr))
        start = parsed.start;
    TatDescription description;
    double seconds = 0;
    if (library.DescribeByName(entry.name, description)) {
        const tat::InfoBlock info = tat::InfoBlock::Decode(description.info);
        CTATParser::TatInfo counts{};
        counts[CTATParser::kFrontFrames] = description.frontFrames;
        CTATParser::ParseCountsText(
            std::string_view(description.counts,
                             strnlen(description.counts, sizeof description.counts)),
            counts);
        if (info.frontFrameRate > 0)
            seconds = static_cast<double>(counts[CTATParser::kFrontFrames]) / info.frontFrameRate;
    }
    std::printf("%s{\"name\": %s, \"category\": \"%s\", \"start\": \"%s\", \"channels\": %d, "
                "\"duration_s\": %.3f, \"size_bytes\": %lld, \"damaged\": %s}",
                separator, JsonString(entry.name).c_str(), category >= 0 ? kWords[category] : "rec",
                IsoLocalTime(start).c_str(), fields.twoChannel ? 2 : 1, seconds,
                static_cast<long long>(entry.size), entry.size == 0 ? "true" : "false");
}

} // namespace

int ListRecordings(const std::string& card, int category, bool json) {
    uint8_t drive = 0;
    const auto library = OpenCard(card, drive);
    if (!library)
        return 1;
    const int first = category == kAllCategories ? 0 : category;
    const int last = category == kAllCategories ? tat::kCategoryCount - 1 : category;
    const char* separator = "\n";
    if (json)
        std::fputs("[", stdout);
    for (int c = first; c <= last; ++c) {
        for (const Entry& entry : Entries(*library, drive, c)) {
            if (json) {
                PrintJsonEntry(*library, entry, separator);
                separator = ",\n";
                continue;
            }
            std::printf("%-28s %12lld  %4d%s\n", entry.name.c_str(),
                        static_cast<long long>(entry.size), entry.index,
                        entry.size == 0 ? "  (incomplete)"
                        : entry.size < RecordingList::kMinRecordingSize
                            ? "  (under 512 KiB: not in the window)"
                            : "");
        }
    }
    if (json)
        std::fputs("\n]\n", stdout);
    return 0;
}

int DescribeRecording(const std::string& card, const std::string& name) {
    uint8_t drive = 0;
    TatDescription description;
    const auto library = OpenRecording(card, name, drive, description);
    if (!library)
        return 1;
    const tat::InfoBlock info = tat::InfoBlock::Decode(description.info);
    int64_t fileSize = -1;
    int32_t entryIndex = -1;
    for (const Entry& entry : Entries(*library, drive, tat::CategoryFromName(name))) {
        if (entry.name == name) {
            fileSize = entry.size;
            entryIndex = entry.index;
        }
    }
    std::printf("name          %s\n", name.c_str());
    std::printf("entry         %d\n", entryIndex);
    if (fileSize == 0)
        std::printf("size          0 (incomplete)\n");
    else
        std::printf("size          %lld bytes\n", static_cast<long long>(fileSize));
    std::printf("text          %s\n", description.text);
    std::printf("counts        %s\n", description.counts);
    std::printf("category      %d (%s)\n", info.category,
                info.category < tat::kCategoryCount ? tat::kCategoryWords[info.category] : "?");
    std::printf("channels      %d\n", info.channels);
    std::printf("front         %dx%d at %d fps, %d frames\n", info.frontWidth, info.frontHeight,
                info.frontFrameRate, description.frontFrames);
    if (info.channels >= 2)
        std::printf("rear          %dx%d at %d fps, %d frames\n", info.rearWidth, info.rearHeight,
                    info.rearFrameRate, description.rearFrames);
    std::printf("audio         %u Hz, %d bits\n", info.audioRate, info.audioBits);
    if (info.frontFrameRate > 0)
        std::printf("length        %.1f s\n",
                    static_cast<double>(description.frontFrames) / info.frontFrameRate);
    return 0;
}

int RemoveRecording(const std::string& card, const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(
            std::filesystem::path(card) / tat::kStoreFolder / tat::kVolumeFile, ec))
        return CommandFailed("no card in " + card);
    CTATCardWriter writer(card);
    if (!writer.DeleteRecording(name))
        return CommandFailed(writer.Error());
    std::printf("%s: deleted\n", name.c_str());
    return 0;
}

namespace {

// The card's storage folder, which no export may write into.
std::string StorageRoot(CTATLibrary& library) {
    return library.CardRoot() + "/" + tat::kStoreFolder;
}

// "tatcard: NAME: incomplete: exported 24.0 s of 30.0 s; the rest cannot be read"
void ReportProblem(const ExportReport& report) {
    CommandFailed(report.name + ": " + OutcomeWord(report.outcome) + ": " + report.reason);
}

void ReportWritten(const ExportReport& report) {
    std::printf("%s: %lld packets, %llu bytes\n", report.path.c_str(),
                static_cast<long long>(report.packets),
                static_cast<unsigned long long>(report.bytes));
}

// The progress line on standard error, when that is a terminal: rewritten in place, at most
// once per percent.
class ProgressLine {
public:
    ProgressLine() : m_shown(isatty(STDERR_FILENO) == 1) {}

    void Show(size_t number, size_t count, const std::string& name, int64_t written,
              int64_t total) {
        if (!m_shown)
            return;
        const int percent =
            total > 0 ? static_cast<int>(std::min<int64_t>(written * 100 / total, 100)) : -1;
        if (number == m_number && percent == m_percent)
            return;
        m_number = number;
        m_percent = percent;
        if (percent >= 0)
            std::fprintf(stderr, "\r\033[Kexporting %zu/%zu %s %3d %%", number, count, name.c_str(),
                         percent);
        else
            std::fprintf(stderr, "\r\033[Kexporting %zu/%zu %s", number, count, name.c_str());
        std::fflush(stderr);
    }
    // Clears the line, before any other line goes to standard error or at the end.
    void Clear() {
        if (m_shown && m_number != 0)
            std::fputs("\r\033[K", stderr);
        m_number = 0;
        m_percent = -2;
    }

private:
    bool m_shown;
    size_t m_number = 0;
    int m_percent = -2;
};

} // namespace

int ExportRecording(const std::string& card, const std::string& name, const std::string& out) {
    uint8_t drive = 0;
    TatDescription description;
    const auto library = OpenRecording(card, name, drive, description);
    if (!library)
        return 1;

    CTATParser parser(library.get());
    if (!parser.Start())
        return CommandFailed("cannot start reading the card");
    CRecordingExporter exporter(parser, StorageRoot(*library));
    const ExportReport report = exporter.ExportTo(name, out, {});
    parser.Stop();
    if (report.outcome != ExportReport::Outcome::kComplete) {
        ReportProblem(report);
        return 1;
    }
    ReportWritten(report);
    return 0;
}

int ExportRecordings(const std::string& card, const std::string& folder, int category,
                     const std::vector<std::string>& names) {
    uint8_t drive = 0;
    const auto library = OpenCard(card, drive);
    if (!library)
        return 1;
    CTATParser parser(library.get());
    CRecordingExporter exporter(parser, StorageRoot(*library));
    // A missing folder is made, but never inside the card's storage.
    std::error_code error;
    if (!std::filesystem::exists(folder, error) && exporter.InsideStorage(folder))
        return CommandFailed("cannot create the folder " + folder +
                             ": it lies inside the card's storage");
    if (!MakeTargetFolder(folder))
        return 1;
    const std::vector<std::string> list =
        !names.empty() ? names
                       : RecordingList::ListNames(
                             *library, drive,
                             category == kAllCategories ? RecordingList::kFilterAll : category);

    if (!parser.Start())
        return CommandFailed("cannot start reading the card");
    ProgressLine progress;
    size_t counts[static_cast<size_t>(ExportReport::Outcome::kSkipped) + 1] = {};
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string& name = list[i];
        ExportReport report;
        if (IsPlainFileName(name) &&
            library->RecordingNumberByName(tat::CategoryFromName(name), name) < 0) {
            report.name = name;
            report.reason = "no such recording on the card";
        } else {
            report = exporter.ExportToFolder(name, folder, [&](int64_t written, int64_t total) {
                progress.Show(i + 1, list.size(), name, written, total);
                return true;
            });
        }
        progress.Clear();
        ++counts[static_cast<size_t>(report.outcome)];
        if (report.outcome == ExportReport::Outcome::kComplete)
            ReportWritten(report);
        else
            ReportProblem(report);
    }
    parser.Stop();
    using Outcome = ExportReport::Outcome;
    const size_t complete = counts[static_cast<size_t>(Outcome::kComplete)];
    std::printf("exported %zu of %zu recordings to %s", complete, list.size(), folder.c_str());
    const char* separator = " (";
    for (const Outcome outcome :
         {Outcome::kIncomplete, Outcome::kFailed, Outcome::kSkipped, Outcome::kCancelled}) {
        if (counts[static_cast<size_t>(outcome)] == 0)
            continue;
        std::printf("%s%zu %s", separator, counts[static_cast<size_t>(outcome)],
                    OutcomeWord(outcome));
        separator = ", ";
    }
    std::printf("%s\n", complete == list.size() ? "" : ")");
    return complete == list.size() ? 0 : 1;
}
