#include "CTATCardWriter.h"

#include "Crc32c.h"
#include "base/ByteOrder.h"

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

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() >= tat::kNameSize)
        return false;
    for (char c : name) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return tat::CategoryFromName(name) >= 0;
}

bool WriteFully(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool PwriteFully(int fd, const void* data, size_t size, uint64_t offset) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool SetError(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}

} // namespace

CTATCardWriter::CTATCardWriter(std::string root) : m_root(std::move(root)) {}

CTATCardWriter::~CTATCardWriter() {
    if (m_fd >= 0)
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
        const int fd = open(dirFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && WriteFully(fd, header, sizeof header) && fsync(fd) == 0;
        if (fd >= 0)
            close(fd);
        if (!ok)
            return SetError(error, "cannot write " + dirFile + ": " + std::strerror(errno));
    }
    return WriteConfigText(root, configText, error);
}

bool CTATCardWriter::WriteConfigText(const std::string& root, const std::string& configText,
                                     std::string* error) {
    if (configText.size() > tat::kMaxConfigText)
        return SetError(error, "the configuration text is too long");
    const std::string path = StorePath(root) + "/" + tat::kVolumeFile;
    const std::string temp = path + ".new";
    uint8_t header[tat::kVolumeHeaderSize];
    tat::EncodeVolumeHeader(static_cast<uint32_t>(configText.size()),
                            Crc32c(configText.data(), configText.size()), header);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && WriteFully(fd, header, sizeof header) &&
              WriteFully(fd, configText.data(), configText.size()) && fsync(fd) == 0;
    if (fd >= 0)
        ok = close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return SetError(error, "cannot write " + path + ": " + std::strerror(errno));
    }
    return true;
}

bool CTATCardWriter::Fail(const std::string& message) {
    m_error = message;
    return false;
}

bool CTATCardWriter::WriteAll(const void* data, size_t size) {
    if (!WriteFully(m_fd, data, size))
        return Fail(std::string("write failed: ") + std::strerror(errno));
    m_offset += size;
    return true;
}

bool CTATCardWriter::BeginRecording(const std::string& name, const tat::InfoBlock& info) {
    if (m_fd >= 0)
        return Fail("a recording is already being written");
    if (!ValidName(name))
        return Fail("not a recording name: " + name);
    const int category = tat::CategoryFromName(name);
    const std::string dirFile = DirFilePath(m_root, category);

    // The new entry goes after the last whole one; a torn entry of a power cut is overwritten.
    const int dirFd = open(dirFile.c_str(), O_RDWR | O_CLOEXEC);
    if (dirFd < 0)
        return Fail("no storage on the card: " + dirFile);
    struct stat st {};
    uint8_t header[tat::kDirHeaderSize];
    if (fstat(dirFd, &st) != 0 || pread(dirFd, header, sizeof header, 0) != sizeof header ||
        !tat::CheckDirHeader(header, category)) {
        close(dirFd);
        return Fail("damaged directory: " + dirFile);
    }
    const uint64_t entries =
        (static_cast<uint64_t>(st.st_size) - tat::kDirHeaderSize) / tat::kDirEntrySize;
    std::vector<uint8_t> all(entries * tat::kDirEntrySize);
    if (!all.empty() && pread(dirFd, all.data(), all.size(), tat::kDirHeaderSize) !=
                            static_cast<ssize_t>(all.size())) {
        close(dirFd);
        return Fail("cannot read " + dirFile);
    }
    for (uint64_t i = 0; i < entries; ++i) {
        tat::DirEntry existing;
        if (tat::DirEntry::Decode(all.data() + i * tat::kDirEntrySize, existing) &&
            existing.state != tat::EntryState::Deleted && name == existing.name) {
            close(dirFd);
            return Fail("the card already holds " + name);
        }
    }

    const std::string folder =
        StorePath(m_root) + "/" + tat::kCategoryWords[static_cast<size_t>(category)];
    const std::string path = folder + "/" + name + tat::kRecordingExtension;
    m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        close(dirFd);
        return Fail("cannot create " + path + ": " + std::strerror(errno));
    }
    m_info = info;
    m_info.category = static_cast<uint8_t>(category);
    m_offset = 0;
    m_sequence = 0;
    m_counts = {};
    m_index.clear();
    m_lastKeyFrame = tat::kRecordingHeaderSize;
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
        close(dirFd);
        AbandonRecording(false);
        return false;
    }

    m_entry = tat::DirEntry{};
    std::memcpy(m_entry.name, name.c_str(), name.size());
    m_entry.index = static_cast<uint32_t>(entries);
    m_entry.state = tat::EntryState::Recording;
    m_entryIndex = m_entry.index;
    uint8_t encoded[tat::kDirEntrySize];
    m_entry.Encode(encoded);
    const bool ok = PwriteFully(dirFd, encoded, sizeof encoded,
                                tat::kDirHeaderSize + entries * tat::kDirEntrySize) &&
                    fsync(dirFd) == 0;
    close(dirFd);
    if (!ok) {
        AbandonRecording(false);
        return Fail("cannot write " + dirFile);
    }
    return true;
}

bool CTATCardWriter::AddPacket(uint8_t type, uint8_t channel, const uint8_t* payload,
                               uint32_t size) {
    if (m_fd < 0)
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
    ssize_t n = writev(m_fd, parts, size > 0 ? 2 : 1);
    if (n != static_cast<ssize_t>(want)) {
        // A short write: finish it the plain way.
        std::vector<uint8_t> rest(encoded, encoded + sizeof encoded);
        rest.insert(rest.end(), payload, payload + size);
        const size_t done = n > 0 ? static_cast<size_t>(n) : 0;
        if (!WriteFully(m_fd, rest.data() + done, rest.size() - done))
            return Fail(std::string("write failed: ") + std::strerror(errno));
    }
    m_offset += want;
    m_lastPacketOffset = at;
    ++m_sequence;

    if (header.type == tat::VideoKeyFrame || header.type == tat::VideoFrame) {
        if (header.channel == 0) {
            const uint32_t frame = m_counts.frontFrames++;
            if (header.type == tat::VideoKeyFrame)
                m_lastKeyFrame = at;
            const uint32_t rate = m_info.frontFrameRate;
            if (rate > 0 && frame % rate == 0 && m_index.size() < tat::kMaxIndexEntries)
                m_index.push_back(m_lastKeyFrame);
        } else {
            ++m_counts.rearFrames;
        }
    } else if (header.type == tat::Audio) {
        ++m_counts.audioPackets;
    } else if (size > 0 && payload[0] == 'M') {
        ++m_counts.sensorPackets;
    } else if (size > 0 && payload[0] == 'G') {
        ++m_counts.gpsPackets;
    }
    return true;
}

bool CTATCardWriter::FinishRecording() {
    if (m_fd < 0)
        return Fail("no recording is being written");
    tat::Footer footer;
    footer.dataEnd = m_offset;
    footer.counts = m_counts;
    footer.durationMs =
        m_info.frontFrameRate > 0
            ? static_cast<uint32_t>(uint64_t{m_counts.frontFrames} * 1000u / m_info.frontFrameRate)
            : 0;
    footer.indexEntries = static_cast<uint32_t>(m_index.size());

    std::vector<uint8_t> trailer(tat::kIndexHeaderSize + 8 * m_index.size() + 4 + tat::kFooterSize);
    std::copy_n(tat::kIndexMagic, 4, trailer.begin());
    StoreU32LE(trailer.data() + 4, footer.indexEntries);
    for (size_t i = 0; i < m_index.size(); ++i)
        StoreU64LE(trailer.data() + tat::kIndexHeaderSize + 8 * i, m_index[i]);
    const size_t indexBytes = tat::kIndexHeaderSize + 8 * m_index.size();
    StoreU32LE(trailer.data() + indexBytes, Crc32c(trailer.data(), indexBytes));
    footer.Encode(trailer.data() + indexBytes + 4);

    const bool written = WriteAll(trailer.data(), trailer.size()) && fsync(m_fd) == 0;
    const bool closed = close(m_fd) == 0;
    m_fd = -1;
    if (!written || !closed)
        return Fail("cannot finish the recording: " + std::string(std::strerror(errno)));

    // Only now does the directory say the recording is complete.
    m_entry.size = m_offset;
    m_entry.state = tat::EntryState::Closed;
    return UpdateEntry();
}

bool CTATCardWriter::UpdateEntry() {
    uint8_t encoded[tat::kDirEntrySize];
    m_entry.Encode(encoded);
    const std::string dirFile = DirFilePath(m_root, m_category);
    const int dirFd = open(dirFile.c_str(), O_WRONLY | O_CLOEXEC);
    const bool ok =
        dirFd >= 0 &&
        PwriteFully(dirFd, encoded, sizeof encoded,
                    tat::kDirHeaderSize + uint64_t{m_entryIndex} * tat::kDirEntrySize) &&
        fsync(dirFd) == 0;
    if (dirFd >= 0)
        close(dirFd);
    return ok ? true : Fail("cannot update " + dirFile);
}

bool CTATCardWriter::DiscardRecording() {
    if (m_fd < 0)
        return Fail("no recording is being written");
    AbandonRecording(false);
    m_entry.state = tat::EntryState::Deleted;
    m_entry.size = 0;
    if (!UpdateEntry())
        return false;
    // The entry no longer names the file, so removing it cannot lose a listed recording.
    const std::string path = StorePath(m_root) + "/" +
                             tat::kCategoryWords[static_cast<size_t>(m_category)] + "/" +
                             m_entry.name + tat::kRecordingExtension;
    unlink(path.c_str());
    return true;
}

void CTATCardWriter::AbandonRecording(bool cutMidPacket) {
    if (m_fd < 0)
        return;
    if (cutMidPacket && m_offset > m_lastPacketOffset + tat::kPacketHeaderSize &&
        m_lastPacketOffset > 0) {
        const uint64_t payload = m_offset - m_lastPacketOffset - tat::kPacketHeaderSize;
        const uint64_t cut = m_lastPacketOffset + tat::kPacketHeaderSize + payload / 2;
        if (ftruncate(m_fd, static_cast<off_t>(cut)) == 0)
            m_offset = cut;
    }
    close(m_fd);
    m_fd = -1;
}
