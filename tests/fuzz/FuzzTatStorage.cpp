// Feeds arbitrary bytes to the camera-storage library as a card (files on the memory file system):
// a volume record, the continuous-recording directory and one recording file, then discovers,
// lists, describes, and reads the first listed recording: every packet, seeks and reads on
// with a small buffer, or in raw runs of packets as the storage parser reads them.
//
// Input: byte 0 flags (bit 0: repair the checksums so the fuzzer gets past them; bit 1: raw
// runs instead of single packets; bits 2-7: the second to seek to), bytes 1-2 volume length,
// bytes 3-4 directory length, then the volume, the directory and the recording bytes.
#include "base/ByteOrder.h"
#include "storage/CTATLibrary.h"
#include "storage/Crc32c.h"
#include "storage/TatFormat.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Directory entries whose names lead to the recording file: the first two, so that the first
// listed entry has a file even when the entry before it is one the list leaves out.
constexpr size_t kNamesLinked = 2;
// Listed entries whose recording is read through. Every name holds the same bytes and the
// fuzzer chooses what the first entry says (closed or not, its size), so reading a second one
// would only repeat the same paths.
constexpr int32_t kRecordingsRead = 1;

// A recording name as the directory holds it. Names are kept in fixed arrays: memory that one
// input takes and a later one gives back would look to libFuzzer like a leak, and it would
// run the input again to look for one.
using Name = std::array<char, tat::kNameSize>;
struct Names {
    std::array<Name, kNamesLinked> names{};
    size_t count = 0;
    bool Has(const Name& name) const {
        return std::find(names.begin(), names.begin() + static_cast<ptrdiff_t>(count), name) !=
               names.begin() + static_cast<ptrdiff_t>(count);
    }
};

// A file on the memory file system, kept open, whose contents each input replaces.
class ScratchFile {
public:
    explicit ScratchFile(const fs::path& path)
        : m_path(path), m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {}
    ~ScratchFile() {
        if (m_fd >= 0)
            close(m_fd);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's contents; a file that already holds these bytes is left alone.
    void Fill(const std::vector<uint8_t>& bytes) {
        if (m_filled && bytes == m_bytes)
            return;
        m_bytes = bytes;
        m_filled = true;
        if (ftruncate(m_fd, 0) != 0) {
            m_filled = false;
            return;
        }
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0) {
                m_filled = false;
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
    int m_fd;
    std::vector<uint8_t> m_bytes; // what the file holds, when m_filled
    bool m_filled = false;
};

fs::path MakeRoot() {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path root = base / ("tatv-fuzz-" + std::to_string(getpid()));
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root / tat::kStoreFolder / "REC", ec);
    return root;
}

// The card folder, on the memory file system where there is one: the volume record, the
// directory and one recording file are made once and rewritten for each input; each recording
// name the directory holds is a hard link to the one recording file. Only the names that
// change from one input to the next touch the folder.
class FuzzCard {
public:
    FuzzCard() = default;
    ~FuzzCard() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    FuzzCard(const FuzzCard&) = delete;
    FuzzCard& operator=(const FuzzCard&) = delete;

    const fs::path& Root() const { return m_root; }

    void Fill(const std::vector<uint8_t>& volume, const std::vector<uint8_t>& directory,
              const std::vector<uint8_t>& recording, const Names& names) {
        m_volume.Fill(volume);
        m_directory.Fill(directory);
        m_recording.Fill(recording);
        for (size_t i = 0; i < m_names.count; ++i)
            if (!names.Has(m_names.names[i]))
                unlink(RecordingPath(m_names.names[i]).c_str());
        for (size_t i = 0; i < names.count; ++i)
            if (!m_names.Has(names.names[i]))
                link(m_recording.Path().c_str(), RecordingPath(names.names[i]).c_str());
        m_names = names;
    }

private:
    fs::path Store() const { return m_root / tat::kStoreFolder; }
    fs::path RecordingPath(const Name& name) const {
        return Store() / "REC" / (std::string(name.data()) + tat::kRecordingExtension);
    }

    fs::path m_root = MakeRoot();
    ScratchFile m_volume{Store() / tat::kVolumeFile};
    ScratchFile m_directory{Store() / "REC.DIR"};
    // Outside the category's folder, so that no directory entry names it.
    ScratchFile m_recording{Store() / "recording.bytes"};
    Names m_names;
};

void RepairVolume(std::vector<uint8_t>& v) {
    if (v.size() < tat::kVolumeHeaderSize)
        return;
    const uint32_t length = std::min<uint32_t>(
        LoadU32LE(v.data() + 12), static_cast<uint32_t>(v.size() - tat::kVolumeHeaderSize));
    StoreU32LE(v.data() + 12, length);
    StoreU32LE(v.data() + 16, Crc32c(v.data() + tat::kVolumeHeaderSize, length));
    StoreU32LE(v.data() + 20, Crc32c(v.data(), 20));
}

void RepairDirectory(std::vector<uint8_t>& d) {
    if (d.size() >= tat::kDirHeaderSize)
        StoreU32LE(d.data() + 60, Crc32c(d.data(), 60));
    for (size_t at = tat::kDirHeaderSize; at + tat::kDirEntrySize <= d.size();
         at += tat::kDirEntrySize)
        StoreU32LE(d.data() + at + 60, Crc32c(d.data() + at, 60));
}

void RepairRecording(std::vector<uint8_t>& r) {
    if (r.size() < tat::kRecordingHeaderSize)
        return;
    StoreU32LE(r.data() + tat::kRecordingHeaderSize - 4,
               Crc32c(r.data(), tat::kRecordingHeaderSize - 4));
    size_t at = tat::kRecordingHeaderSize;
    while (at + tat::kPacketHeaderSize <= r.size()) {
        tat::PacketHeader header;
        if (!tat::PacketHeader::Decode(r.data() + at, header) ||
            at + tat::kPacketHeaderSize + header.size > r.size())
            break;
        header.crc = header.ComputeCrc(r.data() + at + tat::kPacketHeaderSize);
        header.Encode(r.data() + at);
        at += tat::kPacketHeaderSize + header.size;
    }
    if (r.size() >= at + tat::kIndexHeaderSize + 4 + tat::kFooterSize) {
        const size_t footer = r.size() - tat::kFooterSize;
        StoreU32LE(r.data() + footer + 60, Crc32c(r.data() + footer, 60));
        const size_t indexBytes = footer - 4 - at;
        StoreU32LE(r.data() + footer - 4, Crc32c(r.data() + at, indexBytes));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    const uint8_t flags = data[0];
    size_t volumeLength = LoadU16LE(data + 1);
    size_t dirLength = LoadU16LE(data + 3);
    size_t at = 5;
    volumeLength = std::min(volumeLength, size - at);
    std::vector<uint8_t> volume(data + at, data + at + volumeLength);
    at += volumeLength;
    dirLength = std::min(dirLength, size - at);
    std::vector<uint8_t> directory(data + at, data + at + dirLength);
    at += dirLength;
    std::vector<uint8_t> recording(data + at, data + size);
    if (flags & 1) {
        RepairVolume(volume);
        RepairDirectory(directory);
        RepairRecording(recording);
    }

    // The recording goes under the names of the directory's first entries.
    Names linked;
    for (size_t e = tat::kDirHeaderSize;
         e + tat::kDirEntrySize <= directory.size() && linked.count < kNamesLinked;
         e += tat::kDirEntrySize) {
        tat::DirEntry entry;
        if (tat::DirEntry::Decode(directory.data() + e, entry) && entry.name[0] != 0 &&
            std::strchr(entry.name, '/') == nullptr && std::strcmp(entry.name, "..") != 0 &&
            std::strcmp(entry.name, ".") != 0) {
            Name name{};
            std::memcpy(name.data(), entry.name, tat::kNameSize);
            if (!linked.Has(name))
                linked.names[linked.count++] = name;
        }
    }
    static FuzzCard card;
    card.Fill(volume, directory, recording, linked);

    CTATLibrary library(TatCardSource{card.Root().string(), false, "", ""});
    const uint8_t drive = library.PollCardDrive();
    library.MountCard();
    char config[2048];
    int32_t configSize = 2047;
    library.ReadConfigText(config, configSize);

    static std::vector<uint8_t> buffer(1 << 20);
    constexpr int32_t kListed = 64;
    char names[kListed][40];
    int64_t sizes[kListed];
    int32_t indexes[kListed];
    const int32_t filled = library.ListEntries(drive, 1, kListed, names, sizes, indexes);
    if (filled == 0)
        library.CountEntries(drive, 1); // the same directory read; counted where it costs little
    const int32_t second = flags >> 2;
    for (int32_t i = 0; i < std::min<int32_t>(filled, kRecordingsRead); ++i) {
        const size_t k = static_cast<size_t>(i);
        TatDescription description;
        library.DescribeByIndex(names[k], indexes[k], description);
        const int32_t number = library.RecordingNumberByName(1, names[k]);
        library.SelectRecording(1, 0, number);
        if ((flags & 2) == 0) {
            // Packet by packet into a large room, then from the seek on into a small one.
            for (int pass = 0; pass < 2; ++pass) {
                for (int packet = 0; packet < 100000; ++packet) {
                    uint8_t channel = 0, type = 0, packetFlags = 0;
                    uint32_t scratch = 0;
                    int32_t capacity = pass == 0 ? static_cast<int32_t>(buffer.size()) : 4096;
                    if (library.ReadPacket(channel, type, packetFlags, capacity, buffer.data(),
                                           scratch) != TatPacket)
                        break;
                }
                library.SeekSeconds(second, 0);
            }
            continue;
        }
        // Raw reads as the storage parser makes them: a small room at a varying address, the
        // start of the next packet kept, a larger room when a packet does not fit.
        const size_t offset = static_cast<size_t>(second) % CTATLibrary::kRawAlignment;
        int32_t room = 1024;
        int32_t held = 0;
        for (int read = 0; read < 100000; ++read) {
            const TatRawPackets raw = library.ReadRawPackets(buffer.data() + offset, room, held);
            if (raw.status == TatNoPacket) {
                room = raw.needed + static_cast<int32_t>(CTATLibrary::kRawAlignment - 1);
                held = 0;
                if (raw.needed <= 0 || static_cast<size_t>(room) + offset > buffer.size())
                    break;
                continue;
            }
            if (raw.status != TatPacket || raw.start < 0 || raw.length <= 0 || raw.held < 0 ||
                static_cast<int64_t>(raw.start) + raw.length + raw.held > room)
                break;
            uint8_t* packets = buffer.data() + offset + raw.start;
            std::memmove(buffer.data() + offset, packets + raw.length,
                         static_cast<size_t>(raw.held));
            held = raw.held;
        }
    }
    return 0;
}
