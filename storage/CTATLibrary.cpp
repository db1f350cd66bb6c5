#include "CTATLibrary.h"

#include "CTATRecordingReader.h"
#include "Crc32c.h"
#include "RecordingName.h"
#include "TatCardFinder.h"
#include "base/DiagLog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads a whole small file; false when it cannot be read or is larger than `limit`.
bool ReadSmallFile(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && st.st_size >= 0 && static_cast<uint64_t>(st.st_size) <= limit;
    if (ok) {
        out.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = read(fd, out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        out.resize(done); // a file that shrank while we read it
    }
    close(fd);
    return ok;
}

constexpr size_t kMaxDirectoryFile = tat::kDirHeaderSize + 1000000 * tat::kDirEntrySize;

void CopyText(char* dest, size_t capacity, const std::string& text) {
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(dest, text.data(), n);
    dest[n] = 0;
}

} // namespace

TatCardSource TatCardSource::FromCommandLine(const std::string& cardArgument) {
    TatCardSource source;
    source.cardFolder = cardArgument;
    if (source.cardFolder.empty()) {
        const char* env = std::getenv("TATVIEW_CARD");
        if (env != nullptr)
            source.cardFolder = env;
    }
    return source;
}

CTATLibrary::CTATLibrary(TatCardSource source) : m_source(std::move(source)) {}

CTATLibrary::~CTATLibrary() = default;

void CTATLibrary::SetDiagLog(const DiagLog* log) {
    std::lock_guard lock(m_mutex);
    m_diag = log;
}

void CTATLibrary::SetIdentification(const uint8_t record[85]) {
    std::lock_guard lock(m_mutex);
    std::memcpy(m_identification, record, sizeof m_identification);
}

uint8_t CTATLibrary::PollCardDrive() {
    std::string found;
    if (IsTatCard(m_source.cardFolder)) {
        found = m_source.cardFolder;
    } else if (m_source.scanRemovable) {
        const std::vector<std::string> cards =
            FindRemovableCards(m_source.mountsFile, m_source.sysBlockFolder);
        if (!cards.empty())
            found = cards.front();
    }
    std::lock_guard lock(m_mutex);
    if (found != m_cardRoot) {
        // Another card, or none: what was read from the old one no longer holds.
        m_cardRoot = found;
        m_mounted.clear();
        m_config.clear();
        m_configValid = false;
        m_reader.reset();
    }
    return m_cardRoot.empty() ? 0 : 1;
}

void CTATLibrary::MountCard() {
    std::lock_guard lock(m_mutex);
    m_mounted = m_cardRoot;
    m_configValid = false;
    m_config.clear();
    if (m_mounted.empty())
        return;
    std::vector<uint8_t> volume;
    const std::string path = m_mounted + "/" + tat::kStoreFolder + "/" + tat::kVolumeFile;
    uint32_t length = 0;
    uint32_t textCrc = 0;
    if (!ReadSmallFile(path, tat::kVolumeHeaderSize + tat::kMaxConfigText, volume) ||
        volume.size() < tat::kVolumeHeaderSize ||
        !tat::DecodeVolumeHeader(volume.data(), length, textCrc) ||
        volume.size() < tat::kVolumeHeaderSize + length ||
        Crc32c(volume.data() + tat::kVolumeHeaderSize, length) != textCrc) {
        TATV_DIAG(m_diag, "[TAT] damaged volume record %s\n", path.c_str());
        return;
    }
    m_config.assign(reinterpret_cast<const char*>(volume.data()) + tat::kVolumeHeaderSize, length);
    m_configValid = true;
}

std::string CTATLibrary::CardRoot() {
    std::lock_guard lock(m_mutex);
    return m_mounted.empty() ? m_cardRoot : m_mounted;
}

// Valid, not deleted entries of one category, in directory order. Caller holds the lock.
bool CTATLibrary::LoadDirectory(int category, std::vector<tat::DirEntry>& entries) {
    entries.clear();
    const std::string root = m_mounted.empty() ? m_cardRoot : m_mounted;
    if (root.empty() || category < 0 || category >= tat::kCategoryCount)
        return false;
    const std::string path = root + "/" + tat::kStoreFolder + "/" +
                             tat::kCategoryWords[static_cast<size_t>(category)] + ".DIR";
    std::vector<uint8_t> bytes;
    if (!ReadSmallFile(path, kMaxDirectoryFile, bytes) || bytes.size() < tat::kDirHeaderSize ||
        !tat::CheckDirHeader(bytes.data(), category)) {
        TATV_DIAG(m_diag, "[TAT] no directory %s\n", path.c_str());
        return false;
    }
    const size_t count = (bytes.size() - tat::kDirHeaderSize) / tat::kDirEntrySize;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        tat::DirEntry entry;
        if (!tat::DirEntry::Decode(bytes.data() + tat::kDirHeaderSize + i * tat::kDirEntrySize,
                                   entry)) {
            TATV_DIAG(m_diag, "[TAT] damaged entry %zu of %s\n", i, path.c_str());
            continue;
        }
        if (entry.state == tat::EntryState::Deleted || entry.index != i)
            continue;
        if (entry.state != tat::EntryState::Closed)
            entry.size = 0;
        entries.push_back(entry);
    }
    return true;
}

int32_t CTATLibrary::CountEntries(uint8_t drive, int32_t category) {
    std::lock_guard lock(m_mutex);
    std::vector<tat::DirEntry> entries;
    if (drive == 0 || m_cardRoot.empty() || !LoadDirectory(category, entries))
        return 0;
    return static_cast<int32_t>(entries.size());
}

int32_t CTATLibrary::ListEntries(uint8_t drive, int32_t category, int32_t capacity,
                                 char (*names)[40], int64_t* sizes, int32_t* indexes) {
    std::lock_guard lock(m_mutex);
    std::vector<tat::DirEntry> entries;
    if (drive == 0 || m_cardRoot.empty() || capacity <= 0 || !LoadDirectory(category, entries))
        return 0;
    const size_t n = std::min(entries.size(), static_cast<size_t>(capacity));
    for (size_t i = 0; i < n; ++i) {
        std::memcpy(names[i], entries[i].name, tat::kNameSize);
        sizes[i] = static_cast<int64_t>(entries[i].size);
        indexes[i] = static_cast<int32_t>(entries[i].index);
    }
    return static_cast<int32_t>(n);
}

bool CTATLibrary::OpenRecordingFile(int category, const tat::DirEntry& entry,
                                    CTATRecordingReader& reader) const {
    // The name becomes part of a path: a name the storage could not have written (a path
    // separator, "..") would reach files outside the category's folder.
    if (!tat::IsStorableName(entry.name))
        return false;
    const std::string root = m_mounted.empty() ? m_cardRoot : m_mounted;
    if (!reader.Open(root + "/" + tat::kStoreFolder + "/" +
                     tat::kCategoryWords[static_cast<size_t>(category)] + "/" + entry.name +
                     tat::kRecordingExtension))
        return false;
    if (entry.state == tat::EntryState::Closed)
        reader.SetClosedInDirectory();
    return true;
}

// The entry named `name`; with index >= 0 the entry at that index when it bears the name.
bool CTATLibrary::FindEntry(int category, const std::string& name, int32_t index,
                            tat::DirEntry& out) {
    std::vector<tat::DirEntry> entries;
    if (category < 0 || !LoadDirectory(category, entries))
        return false;
    for (const tat::DirEntry& entry : entries) {
        const bool match =
            index >= 0 ? entry.index == static_cast<uint32_t>(index) : name == entry.name;
        if (match && (index < 0 || name.empty() || name == entry.name)) {
            out = entry;
            return true;
        }
    }
    return false;
}

bool CTATLibrary::Describe(int category, const tat::DirEntry& entry, TatDescription& out) {
    CTATRecordingReader reader;
    if (!OpenRecordingFile(category, entry, reader)) {
        CopyText(out.text, sizeof out.text, std::string("unreadable: ") + entry.name);
        CopyText(out.counts, sizeof out.counts, "damaged");
        return false;
    }
    const tat::InfoBlock& info = reader.Info();
    info.Encode(out.info);
    const tat::Counts& counts = reader.Counts();
    out.frontFrames = static_cast<uint16_t>(std::min<uint32_t>(counts.frontFrames, 0xFFFF));
    out.rearFrames = static_cast<uint16_t>(std::min<uint32_t>(counts.rearFrames, 0xFFFF));
    CopyText(out.counts, sizeof out.counts, tat::CountsText(counts));

    char when[32] = "unknown time";
    const time_t start = static_cast<time_t>(info.startTime);
    std::tm tm{};
    if (start > 0 && gmtime_r(&start, &tm) != nullptr)
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
    char text[256];
    std::snprintf(
        text, sizeof text, "%s %s, %s, front %ux%u%s, %u fps, %.1f s%s",
        tat::kCategoryWords[static_cast<size_t>(category)], entry.name, when, info.frontWidth,
        info.frontHeight,
        info.channels > 1
            ? (", rear " + std::to_string(info.rearWidth) + "x" + std::to_string(info.rearHeight))
                  .c_str()
            : "",
        info.frontFrameRate, reader.DurationMs() / 1000.0, reader.Complete() ? "" : ", cut off");
    CopyText(out.text, sizeof out.text, text);
    return true;
}

bool CTATLibrary::DescribeByName(const std::string& name, TatDescription& out) {
    return DescribeByIndex(name, -1, out);
}

bool CTATLibrary::DescribeByIndex(const std::string& name, int32_t index, TatDescription& out) {
    std::lock_guard lock(m_mutex);
    out = TatDescription{};
    const int category = tat::CategoryFromName(name);
    tat::DirEntry entry;
    if (!FindEntry(category, name, index, entry))
        return false;
    return Describe(category, entry, out);
}

bool CTATLibrary::ReadConfigText(char* buffer, int32_t& size) {
    std::lock_guard lock(m_mutex);
    if (!m_configValid || buffer == nullptr || size <= 0)
        return false;
    const size_t n = std::min(m_config.size(), static_cast<size_t>(size));
    std::memcpy(buffer, m_config.data(), n);
    size = static_cast<int32_t>(n);
    return true;
}

int32_t CTATLibrary::RecordingNumberByName(int32_t category, const std::string& name) {
    std::lock_guard lock(m_mutex);
    tat::DirEntry entry;
    return FindEntry(category, name, -1, entry) ? static_cast<int32_t>(entry.index) : -1;
}

int32_t CTATLibrary::RecordingNumberByIndex(int32_t category, int32_t index) {
    std::lock_guard lock(m_mutex);
    tat::DirEntry entry;
    return index >= 0 && FindEntry(category, "", index, entry) ? static_cast<int32_t>(entry.index)
                                                               : -1;
}

void CTATLibrary::SelectRecording(int32_t category, int32_t reserved, int32_t number) {
    (void)reserved;
    std::lock_guard lock(m_mutex);
    m_reader.reset();
    tat::DirEntry entry;
    if (number < 0 || !FindEntry(category, "", number, entry))
        return;
    auto reader = std::make_unique<CTATRecordingReader>();
    if (OpenRecordingFile(category, entry, *reader))
        m_reader = std::move(reader);
    else
        TATV_DIAG(m_diag, "[TAT] cannot open %s\n", entry.name);
}

TatReadStatus CTATLibrary::ReadPacket(uint8_t& channel, uint8_t& type, uint8_t& flags,
                                      int32_t& size, uint8_t* buffer, uint32_t& scratch) {
    std::lock_guard lock(m_mutex);
    scratch = 0;
    if (!m_reader || size < 0)
        return TatFailed;
    tat::PacketHeader header;
    switch (m_reader->Next(header, buffer, static_cast<uint32_t>(size))) {
    case CTATRecordingReader::Result::Packet:
        type = header.type;
        channel = header.channel;
        flags = header.type == tat::VideoKeyFrame ? 1 : 0;
        size = static_cast<int32_t>(header.size);
        scratch = header.sequence;
        return TatPacket;
    case CTATRecordingReader::Result::End:
        return TatEnd;
    case CTATRecordingReader::Result::TooLarge:
        TATV_DIAG(m_diag, "[TAT] packet of %u bytes > %d\n", header.size, size);
        return TatFailed;
    case CTATRecordingReader::Result::Damaged:
        break;
    }
    TATV_DIAG(m_diag, "[TAT] damaged data in %s\n", m_reader->Name().c_str());
    return TatFailed;
}

static_assert(CTATLibrary::kRawAlignment == CTATRecordingReader::kRawAlignment);

TatRawPackets CTATLibrary::ReadRawPackets(uint8_t* buffer, int32_t capacity, int32_t held) {
    std::lock_guard lock(m_mutex);
    TatRawPackets out;
    if (!m_reader || buffer == nullptr || capacity < 0)
        return out;
    const CTATRecordingReader::Raw raw = m_reader->NextRaw(
        buffer, static_cast<uint32_t>(capacity), static_cast<uint32_t>(std::max(held, 0)));
    switch (raw.result) {
    case CTATRecordingReader::Result::Packet:
        out.status = TatPacket;
        out.start = static_cast<int32_t>(raw.start);
        out.length = static_cast<int32_t>(raw.length);
        out.held = static_cast<int32_t>(raw.held);
        break;
    case CTATRecordingReader::Result::TooLarge:
        out.status = TatNoPacket;
        out.needed = static_cast<int32_t>(raw.needed);
        break;
    case CTATRecordingReader::Result::End:
        out.status = TatEnd;
        break;
    case CTATRecordingReader::Result::Damaged:
        TATV_DIAG(m_diag, "[TAT] damaged data in %s\n", m_reader->Name().c_str());
        break;
    }
    return out;
}

int32_t CTATLibrary::NextPacketSize() {
    std::lock_guard lock(m_mutex);
    return m_reader ? static_cast<int32_t>(m_reader->PeekSize()) : -1;
}

int32_t CTATLibrary::SeekSeconds(int32_t seconds, int32_t durationSeconds) {
    (void)durationSeconds;
    std::lock_guard lock(m_mutex);
    if (!m_reader)
        return -1;
    return m_reader->SeekSeconds(seconds) ? 0 : -1;
}
