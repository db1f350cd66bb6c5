#include "CardCommands.h"
#include "CommandLine.h"
#include "base/AlignedBuffer.h"

#include "formats/CAVIWriter.h"
#include "player/source/CTATParser.h"
#include "storage/CTATLibrary.h"
#include "storage/RecordingName.h"
#include "storage/TatFormat.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
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
    const bool small = std::none_of(word.begin(), word.end(), [](char c) {
        return std::isupper(static_cast<unsigned char>(c));
    });
    return small ? tat::CategoryOfWord(word, tat::WordCase::kAny) : -1;
}

int ListRecordings(const std::string& card, int category) {
    uint8_t drive = 0;
    const auto library = OpenCard(card, drive);
    if (!library)
        return 1;
    const int first = category == kAllCategories ? 0 : category;
    const int last = category == kAllCategories ? tat::kCategoryCount - 1 : category;
    for (int c = first; c <= last; ++c) {
        for (const Entry& entry : Entries(*library, drive, c)) {
            std::printf("%-28s %12lld  %4d%s\n", entry.name.c_str(),
                        static_cast<long long>(entry.size), entry.index,
                        entry.size == 0 ? "  (incomplete)" : "");
        }
    }
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

int ExportRecording(const std::string& card, const std::string& name, const std::string& out) {
    uint8_t drive = 0;
    TatDescription description;
    const auto library = OpenRecording(card, name, drive, description);
    if (!library)
        return 1;

    CTATParser parser(library.get());
    if (!parser.Start())
        return CommandFailed("cannot start reading the card");
    OpenInfo info;
    parser.Open(name, &info);
    CAVIWriter writer;
    for (int s = 0; s < 2; ++s) {
        const VideoSize size = parser.GetVideoSize(s);
        writer.SetVideoSize(s, size.width, size.height);
    }
    writer.SetFrameRate(0, info.frontFrameRate);
    writer.SetFrameRate(1, info.rearFrameRate);
    writer.SetAudioRate(8000);
    writer.SetTwoChannel(info.rearFrameRate != 0);
    if (!writer.Create(out)) {
        parser.Stop();
        return CommandFailed("cannot create " + out);
    }
    AlignedBuffer buffer(static_cast<size_t>(kPacketBufferSize));
    long packets = 0;
    bool ok = true;
    for (;;) {
        char id[5] = {};
        int32_t size = kPacketBufferSize;
        if (parser.ReadChunk(id, buffer.data(), size) < 0)
            break;
        int slot = -1;
        if (std::strcmp(id, "00dc") == 0)
            slot = 0;
        else if (std::strcmp(id, "01dc") == 0)
            slot = 1;
        else if (std::strcmp(id, "02wb") == 0)
            slot = 2;
        if (slot < 0)
            continue; // text lines and empty polls
        if (!writer.AddData(buffer.data(), size, slot)) {
            ok = false;
            break;
        }
        ++packets;
    }
    parser.Close();
    parser.Stop();
    const uint32_t riff = writer.Close();
    if (!ok || riff == 0) {
        std::error_code ignored;
        std::filesystem::remove(out, ignored);
        return CommandFailed("writing " + out + " failed");
    }
    std::printf("%s: %ld packets, %u bytes\n", out.c_str(), packets, riff + 8);
    return 0;
}
