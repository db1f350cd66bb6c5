#include "CTATCardWriter.h"

#include "Crc32c.h"
#include "base/ByteOrder.h"
#include "base/CUniqueFd.h"
#include "base/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string StorePath(const std::string& root) {
    return (fs::path(root) / tat::kStoreFolder).string();
}

std::string DirFilePath(const std::string& root, int category) {
    return StorePath(root) + "/" + tat::kCategoryWords[static_cast<size_t>(category)] + ".DIR";
}

std::string RecordingFilePath(const std::string& root, int category, const std::string& name) {
    return StorePath(root) + "/" + tat::kCategoryWords[static_cast<size_t>(category)] + "/" + name +
           tat::kRecordingExtension;
}

// A file of its own bytes alone, written in place and synced.
fileio::Result WriteNewFile(const std::string& path, const void* data, size_t size) {
    CUniqueFd file(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.Valid())
        return {errno};
    return fileio::SyncAndClose(file, fileio::WriteFully(file.Get(), data, size));
}

// Writes one directory entry at its place, syncs the directory file and closes it.
fileio::Result WriteEntry(CUniqueFd dir, const tat::DirEntry& entry) {
    uint8_t encoded[tat::kDirEntrySize];
    entry.Encode(encoded);
    const uint64_t at = tat::kDirHeaderSize + uint64_t{entry.index} * tat::kDirEntrySize;
    return fileio::SyncAndClose(dir, fileio::PwriteFully(dir.Get(), encoded, sizeof encoded, at));
}

bool SetError(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}

} // namespace

CTATCardWriter::CTATCardWriter(std::string root) : m_root(std::move(root)) {}

CTATCardWriter::~CTATCardWriter() {
    AbandonRecording(false);
}

bool CTATCardWriter::CreateCard(const std::string& root, const std::string& configText,
                                std::string* error) {
    std::error_code ec;
    fs::create_directories(fs::path(root) / tat::kSettingFolder, ec);
    if (!ec)
        fs::create_directories(StorePath(root), ec);
    if (ec)
        return SetError(error, "cannot make the card folders in " + root + ": " + ec.message());
    for (int category = 0; category < tat::kCategoryCount; ++category) {
        fs::create_directories(
            fs::path(StorePath(root)) / tat::kCategoryWords[static_cast<size_t>(category)], ec);
        const std::string dirFile = DirFilePath(root, category);
        if (ec)
            return SetError(error, "cannot make " + dirFile + ": " + ec.message());
        if (fs::exists(dirFile))
            continue;
        uint8_t header[tat::kDirHeaderSize];
        tat::EncodeDirHeader(category, header);
        const fileio::Result written = WriteNewFile(dirFile, header, sizeof header);
        if (!written.Ok())
            return SetError(error, "cannot write " + dirFile + ": " + written.Reason());
    }
    return WriteConfigText(root, configText, error);
}

bool CTATCardWriter::WriteConfigText(const std::string& root, const std::string& configText,
                                     std::string* error) {
    if (configText.size() > tat::kMaxConfigText)
        return SetError(error, "the configuration text is too long");
    const std::string path = StorePath(root) + "/" + tat::kVolumeFile;
    std::vector<uint8_t> bytes(tat::kVolumeHeaderSize);
    tat::EncodeVolumeHeader(static_cast<uint32_t>(configText.size()),
                            Crc32c(configText.data(), configText.size()), bytes.data());
    bytes.insert(bytes.end(), configText.begin(), configText.end());
    fileio::ReplaceOptions options;
    options.createMode = 0644;
    options.temporary = path + ".new";
    const fileio::Result written = fileio::ReplaceFile(path, bytes.data(), bytes.size(), options);
    if (!written.Ok())
        return SetError(error, "cannot write " + path + ": " + written.Reason());
    return true;
}

bool CTATCardWriter::Fail(const std::string& message) {
    m_error = message;
    return false;
}

bool CTATCardWriter::OpenDirectory(int category, CUniqueFd& dir,
                                   std::vector<tat::DirEntry>& entries, uint64_t& slots) {
    const std::string dirFile = DirFilePath(m_root, category);
    dir = CUniqueFd(open(dirFile.c_str(), O_RDWR | O_CLOEXEC));
    if (!dir.Valid()) {
        const int reason = errno;
        if (reason == ENOENT)
            return Fail("no storage on the card: " + dirFile + " is missing");
        return Fail("cannot open " + dirFile + " for writing: " + std::strerror(reason));
    }
    struct stat st {};
    uint8_t header[tat::kDirHeaderSize];
    if (fstat(dir.Get(), &st) != 0 || static_cast<uint64_t>(st.st_size) < tat::kDirHeaderSize ||
        !fileio::PreadFully(dir.Get(), header, sizeof header, 0).Ok() ||
        !tat::CheckDirHeader(header, category))
        return Fail("damaged directory: " + dirFile);
    slots = (static_cast<uint64_t>(st.st_size) - tat::kDirHeaderSize) / tat::kDirEntrySize;
    std::vector<uint8_t> all(slots * tat::kDirEntrySize);
    const fileio::Result read =
        fileio::PreadFully(dir.Get(), all.data(), all.size(), tat::kDirHeaderSize);
    if (!read.Ok())
        return Fail("cannot read " + dirFile + ": " + read.Reason());
    entries.clear();
    for (uint64_t i = 0; i < slots; ++i) {
        tat::DirEntry entry;
        if (tat::DirEntry::Decode(all.data() + i * tat::kDirEntrySize, entry) && entry.index == i)
            entries.push_back(entry);
    }
    return true;
}

bool CTATCardWriter::DeleteRecording(const std::string& name) {
    if (!tat::IsStorableName(name))
        return Fail("not a recording name: " + name);
    const int category = tat::CategoryFromName(name);
    CUniqueFd dir;
    std::vector<tat::DirEntry> entries;
    uint64_t slots = 0;
    if (!OpenDirectory(category, dir, entries, slots))
        return false;
    const std::string dirFile = DirFilePath(m_root, category);
    bool found = false;
    for (tat::DirEntry entry : entries) {
        if (name != entry.name || entry.state == tat::EntryState::Deleted)
            continue;
        found = true;
        entry.state = tat::EntryState::Deleted;
        entry.size = 0;
        uint8_t encoded[tat::kDirEntrySize];
        entry.Encode(encoded);
        const fileio::Result written =
            fileio::PwriteFully(dir.Get(), encoded, sizeof encoded,
                                tat::kDirHeaderSize + uint64_t{entry.index} * tat::kDirEntrySize);
        if (!written.Ok())
            return Fail("cannot update " + dirFile + ": " + written.Reason());
    }
    if (!found)
        return Fail("no recording " + name + " on the card");
    const fileio::Result synced = fileio::SyncAndClose(dir, {});
    if (!synced.Ok())
        return Fail("cannot update " + dirFile + ": " + synced.Reason());
    // The directory no longer names the file, so removing it cannot lose a listed recording.
    const std::string path = RecordingFilePath(m_root, category, name);
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return Fail("the entry is deleted but " + path + " stays: " + std::strerror(errno));
    return true;
}

bool CTATCardWriter::WriteAll(const void* data, size_t size) {
    const fileio::Result written = fileio::WriteFully(m_file.Get(), data, size);
    if (!written.Ok())
        return Fail("cannot write " + m_path + ": " + written.Reason());
    m_offset += size;
    return true;
}

bool CTATCardWriter::BeginRecording(const std::string& name, const tat::InfoBlock& info) {
    if (m_file.Valid())
        return Fail("a recording is already being written");
    if (!tat::IsStorableName(name))
        return Fail("not a recording name: " + name);
    const int category = tat::CategoryFromName(name);
    CUniqueFd dir;
    std::vector<tat::DirEntry> existing;
    uint64_t entries = 0;
    if (!OpenDirectory(category, dir, existing, entries))
        return false;
    // The slot: the entry of an earlier try of this name that never finished (an interrupted
    // import, which this one replaces), else the first deleted entry, else a new one after
    // the last whole entry (a torn entry of a power cut is overwritten).
    uint64_t slot = entries;
    bool replacing = false;
    for (const tat::DirEntry& entry : existing) {
        if (name != entry.name || entry.state == tat::EntryState::Deleted)
            continue;
        if (entry.state == tat::EntryState::Closed)
            return Fail("the card already holds " + name);
        if (!replacing) {
            slot = entry.index;
            replacing = true;
        }
    }
    for (const tat::DirEntry& entry : existing) {
        if (!replacing && entry.state == tat::EntryState::Deleted && entry.index < slot)
            slot = entry.index;
    }

    const std::string path = RecordingFilePath(m_root, category, name);
    m_file = CUniqueFd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!m_file.Valid())
        return Fail("cannot create " + path + ": " + std::strerror(errno));
    m_path = path;
    m_info = info;
    m_info.category = static_cast<uint8_t>(category);
    m_offset = 0;
    m_sequence = 0;
    m_tally = tat::PacketTally(m_info.frontFrameRate);
    m_lastPacketOffset = 0;
    m_category = category;

    uint8_t fileHeader[tat::kRecordingHeaderSize] = {};
    std::memcpy(fileHeader, tat::kRecordingMagic, 8);
    StoreU32LE(fileHeader + 8, tat::kRecordingHeaderSize);
    StoreU32LE(fileHeader + 12, 1);
    m_info.Encode(fileHeader + tat::kInfoBlockOffset);
    std::memcpy(fileHeader + tat::kHeaderNameOffset, name.c_str(), name.size());
    StoreU32LE(fileHeader + tat::kRecordingHeaderSize - 4,
               Crc32c(fileHeader, tat::kRecordingHeaderSize - 4));
    if (!WriteAll(fileHeader, sizeof fileHeader)) {
        AbandonRecording(false);
        return false;
    }

    m_entry = tat::DirEntry{};
    std::memcpy(m_entry.name, name.c_str(), name.size());
    m_entry.index = static_cast<uint32_t>(slot);
    m_entry.state = tat::EntryState::Recording;
    const fileio::Result written = WriteEntry(std::move(dir), m_entry);
    if (!written.Ok()) {
        AbandonRecording(false);
        return Fail("cannot write " + DirFilePath(m_root, category) + ": " + written.Reason());
    }
    return true;
}

bool CTATCardWriter::AddPacket(uint8_t type, uint8_t channel, const uint8_t* payload,
                               uint32_t size) {
    if (!m_file.Valid())
        return Fail("no recording is being written");
    if (type > tat::Text || channel > 1 || size > tat::kMaxPacketSize ||
        (size > 0 && payload == nullptr))
        return Fail("not a packet the storage can hold");
    tat::PacketHeader header;
    header.type = type;
    header.channel = (type == tat::VideoKeyFrame || type == tat::VideoFrame) ? channel : 0;
    header.size = size;
    header.sequence = m_sequence;
    header.crc = header.ComputeCrc(payload);
    uint8_t encoded[tat::kPacketHeaderSize];
    header.Encode(encoded);

    const uint64_t at = m_offset;
    iovec parts[2] = {{encoded, sizeof encoded}, {const_cast<uint8_t*>(payload), size}};
    size_t want = sizeof encoded + size;
    ssize_t n = writev(m_file.Get(), parts, size > 0 ? 2 : 1);
    if (n != static_cast<ssize_t>(want)) {
        // A short write: finish it the plain way.
        std::vector<uint8_t> rest(encoded, encoded + sizeof encoded);
        rest.insert(rest.end(), payload, payload + size);
        const size_t done = n > 0 ? static_cast<size_t>(n) : 0;
        const fileio::Result written =
            fileio::WriteFully(m_file.Get(), rest.data() + done, rest.size() - done);
        if (!written.Ok())
            return Fail("cannot write " + m_path + ": " + written.Reason());
    }
    m_offset += want;
    m_lastPacketOffset = at;
    ++m_sequence;
    m_tally.Add(header, payload, at);
    return true;
}

bool CTATCardWriter::FinishRecording() {
    if (!m_file.Valid())
        return Fail("no recording is being written");
    tat::Footer footer;
    footer.dataEnd = m_offset;
    footer.counts = m_tally.Totals();
    footer.durationMs = m_tally.DurationMs();
    const std::vector<uint64_t>& index = m_tally.Index();
    footer.indexEntries = static_cast<uint32_t>(index.size());

    std::vector<uint8_t> trailer(tat::kIndexHeaderSize + 8 * index.size() + 4 + tat::kFooterSize);
    std::copy_n(tat::kIndexMagic, 4, trailer.begin());
    StoreU32LE(trailer.data() + 4, footer.indexEntries);
    for (size_t i = 0; i < index.size(); ++i)
        StoreU64LE(trailer.data() + tat::kIndexHeaderSize + 8 * i, index[i]);
    const size_t indexBytes = tat::kIndexHeaderSize + 8 * index.size();
    StoreU32LE(trailer.data() + indexBytes, Crc32c(trailer.data(), indexBytes));
    footer.Encode(trailer.data() + indexBytes + 4);

    const fileio::Result written = fileio::SyncAndClose(
        m_file, fileio::WriteFully(m_file.Get(), trailer.data(), trailer.size()));
    if (!written.Ok())
        return Fail("cannot finish the recording: " + written.Reason());
    m_offset += trailer.size();

    // Only now does the directory say the recording is complete.
    m_entry.size = m_offset;
    m_entry.state = tat::EntryState::Closed;
    return UpdateEntry();
}

bool CTATCardWriter::UpdateEntry() {
    const std::string dirFile = DirFilePath(m_root, m_category);
    CUniqueFd dir(open(dirFile.c_str(), O_WRONLY | O_CLOEXEC));
    if (!dir.Valid())
        return Fail("cannot update " + dirFile + ": " + std::strerror(errno));
    const fileio::Result written = WriteEntry(std::move(dir), m_entry);
    return written.Ok() ? true : Fail("cannot update " + dirFile + ": " + written.Reason());
}

bool CTATCardWriter::DiscardRecording() {
    if (!m_file.Valid())
        return Fail("no recording is being written");
    AbandonRecording(false);
    m_entry.state = tat::EntryState::Deleted;
    m_entry.size = 0;
    if (!UpdateEntry())
        return false;
    // The entry no longer names the file, so removing it cannot lose a listed recording.
    unlink(m_path.c_str());
    return true;
}

void CTATCardWriter::AbandonRecording(bool cutMidPacket) {
    if (!m_file.Valid())
        return;
    if (cutMidPacket && m_offset > m_lastPacketOffset + tat::kPacketHeaderSize &&
        m_lastPacketOffset > 0) {
        const uint64_t payload = m_offset - m_lastPacketOffset - tat::kPacketHeaderSize;
        const uint64_t cut = m_lastPacketOffset + tat::kPacketHeaderSize + payload / 2;
        if (ftruncate(m_file.Get(), static_cast<off_t>(cut)) == 0)
            m_offset = cut;
    }
    // Nothing written is kept for sure: a failed close changes nothing here.
    static_cast<void>(m_file.Close());
}
