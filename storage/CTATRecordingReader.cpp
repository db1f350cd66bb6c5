#include "CTATRecordingReader.h"

#include "Crc32c.h"
#include "PacketTally.h"
#include "base/ByteOrder.h"
#include "base/FileIo.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CTATRecordingReader::~CTATRecordingReader() {
    Close();
}

void CTATRecordingReader::Close() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_complete = false;
    m_scanFailed = false;
    m_counts = {};
    m_durationMs = 0;
    m_dataEnd = 0;
    m_index.clear();
    m_position = 0;
    m_lookaheadValid = false;
    m_rawHeld = 0;
}

bool CTATRecordingReader::ReadAt(uint64_t offset, void* dest, size_t count) {
    return fileio::PreadFully(m_fd, dest, count, offset).Ok(); // false: the file ended or went away
}

size_t CTATRecordingReader::ReadUpTo(uint64_t offset, uint8_t* dest, size_t count) {
    return fileio::PreadUpTo(m_fd, dest, count, offset);
}

bool CTATRecordingReader::Open(const std::string& path) {
    Close();
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat st {};
    uint8_t header[tat::kRecordingHeaderSize];
    if (fstat(m_fd, &st) != 0 || !ReadAt(0, header, sizeof header) ||
        std::memcmp(header, tat::kRecordingMagic, 8) != 0 ||
        LoadU32LE(header + tat::kRecordingHeaderSize - 4) !=
            Crc32c(header, tat::kRecordingHeaderSize - 4) ||
        header[tat::kHeaderNameOffset + tat::kNameSize - 1] != 0) {
        Close();
        return false;
    }
    m_info = tat::InfoBlock::Decode(header + tat::kInfoBlockOffset);
    m_name = reinterpret_cast<const char*>(header + tat::kHeaderNameOffset);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (!LoadFooter(fileSize))
        ScanPackets(fileSize);
    m_position = tat::kRecordingHeaderSize;
    m_lookaheadValid = false;
    m_rawHeld = 0;
    return true;
}

// A closed recording ends: packets | "TIDX" n offsets[n] crc | footer.
bool CTATRecordingReader::LoadFooter(uint64_t fileSize) {
    if (fileSize < tat::kRecordingHeaderSize + tat::kIndexHeaderSize + 4 + tat::kFooterSize)
        return false;
    uint8_t raw[tat::kFooterSize];
    tat::Footer footer;
    if (!ReadAt(fileSize - tat::kFooterSize, raw, sizeof raw) || !tat::Footer::Decode(raw, footer))
        return false;
    const uint64_t indexBytes = tat::kIndexHeaderSize + 8ull * footer.indexEntries;
    if (footer.dataEnd < tat::kRecordingHeaderSize ||
        footer.dataEnd + indexBytes + 4 + tat::kFooterSize != fileSize)
        return false;
    std::vector<uint8_t> index(indexBytes + 4);
    if (!ReadAt(footer.dataEnd, index.data(), index.size()) ||
        std::memcmp(index.data(), tat::kIndexMagic, 4) != 0 ||
        LoadU32LE(index.data() + 4) != footer.indexEntries ||
        LoadU32LE(index.data() + indexBytes) != Crc32c(index.data(), indexBytes))
        return false;
    m_index.resize(footer.indexEntries);
    for (size_t i = 0; i < m_index.size(); ++i) {
        m_index[i] = LoadU64LE(index.data() + tat::kIndexHeaderSize + 8 * i);
        if (m_index[i] < tat::kRecordingHeaderSize || m_index[i] >= footer.dataEnd) {
            m_index.clear();
            return false;
        }
    }
    m_dataEnd = footer.dataEnd;
    m_counts = footer.counts;
    m_durationMs = footer.durationMs;
    m_complete = true;
    return true;
}

// A recording without its footer: take every packet up to the first one that is cut short or
// damaged, and rebuild the counts and the seek index as the camera would have. The file is read
// in blocks of kScanBlock bytes (a packet larger than that in one read of its own). Every byte
// read lies within the size the file had: a read that fails is a failure, not the end.
void CTATRecordingReader::ScanPackets(uint64_t fileSize) {
    m_complete = false;
    tat::PacketTally tally(m_info.frontFrameRate);
    // Grown as reads need it, never past what the file holds: a small file takes little.
    std::vector<uint8_t> block;
    uint64_t blockAt = 0;
    uint64_t blockEnd = 0; // block holds the file's bytes [blockAt, blockEnd)
    // Makes the n bytes from `from` (all within the file) readable at block + (from - blockAt).
    auto have = [&](uint64_t from, uint64_t n) {
        if (from >= blockAt && from + n <= blockEnd)
            return true;
        const uint64_t want =
            std::min<uint64_t>(std::max<uint64_t>(n, kScanBlock), fileSize - from);
        if (block.size() < want)
            block.resize(static_cast<size_t>(want));
        blockAt = from;
        blockEnd = from;
        if (!ReadAt(from, block.data(), static_cast<size_t>(want)))
            return false;
        blockEnd = from + want;
        return true;
    };
    uint64_t at = tat::kRecordingHeaderSize;
    while (at + tat::kPacketHeaderSize <= fileSize) {
        tat::PacketHeader header;
        if (!have(at, tat::kPacketHeaderSize)) {
            m_scanFailed = true;
            break;
        }
        if (!tat::PacketHeader::Decode(block.data() + (at - blockAt), header) ||
            at + tat::kPacketHeaderSize + header.size > fileSize)
            break;
        if (!have(at, tat::kPacketHeaderSize + header.size)) {
            m_scanFailed = true;
            break;
        }
        const uint8_t* payload = block.data() + (at - blockAt) + tat::kPacketHeaderSize;
        if (header.ComputeCrc(payload) != header.crc)
            break;
        tally.Add(header, payload, at);
        at += tat::kPacketHeaderSize + header.size;
    }
    m_dataEnd = at;
    m_counts = tally.Totals();
    m_index = tally.Index();
    m_durationMs = tally.DurationMs();
}

// The header of the packet at m_position: the one read along with the previous payload, or
// read now.
bool CTATRecordingReader::HeaderAt(tat::PacketHeader& header) {
    if (!m_lookaheadValid || m_lookaheadAt != m_position) {
        m_lookaheadValid = false;
        if (!ReadAt(m_position, m_lookahead, sizeof m_lookahead))
            return false;
        m_lookaheadAt = m_position;
        m_lookaheadValid = true;
    }
    return tat::PacketHeader::Decode(m_lookahead, header);
}

// One read per packet: the payload goes straight into the caller's buffer, and when the
// buffer has 16 bytes to spare the next packet's header comes with it.
CTATRecordingReader::Result CTATRecordingReader::Next(tat::PacketHeader& header, uint8_t* buffer,
                                                      uint32_t capacity) {
    if (m_fd < 0)
        return Result::Damaged;
    if (m_position + tat::kPacketHeaderSize > m_dataEnd)
        return EndOfData();
    if (!HeaderAt(header) || m_position + tat::kPacketHeaderSize + header.size > m_dataEnd)
        return Result::Damaged;
    if (header.size > capacity)
        return Result::TooLarge;

    const uint64_t payloadAt = m_position + tat::kPacketHeaderSize;
    const uint64_t end = payloadAt + header.size;
    const bool withNext = capacity - header.size >= tat::kPacketHeaderSize &&
                          end + tat::kPacketHeaderSize <= m_dataEnd;
    if (!ReadAt(payloadAt, buffer, header.size + (withNext ? tat::kPacketHeaderSize : 0)) ||
        header.ComputeCrc(buffer) != header.crc)
        return Result::Damaged;
    if (withNext) {
        std::memcpy(m_lookahead, buffer + header.size, tat::kPacketHeaderSize);
        m_lookaheadAt = end;
        m_lookaheadValid = true;
    }
    m_position = end;
    m_rawHeld = 0;
    return Result::Packet;
}

CTATRecordingReader::Raw CTATRecordingReader::NextRaw(uint8_t* buffer, uint32_t capacity,
                                                      uint32_t held) {
    Raw out;
    const uint32_t kept = std::min(held, m_rawHeld);
    m_rawHeld = 0;
    if (m_fd < 0)
        return out;
    if (m_position + tat::kPacketHeaderSize > m_dataEnd) {
        out.result = EndOfData();
        return out;
    }
    if (kept == 0) {
        out.start = static_cast<uint32_t>((m_position - reinterpret_cast<uintptr_t>(buffer)) &
                                          (kRawAlignment - 1));
        if (out.start >= capacity)
            out.start = 0;
        buffer += out.start;
        capacity -= out.start;
    }
    const uint64_t want = std::min<uint64_t>(capacity, m_dataEnd - m_position);
    const size_t got = kept >= want ? static_cast<size_t>(want)
                                    : kept + ReadUpTo(m_position + kept, buffer + kept,
                                                      static_cast<size_t>(want - kept));

    // Every header is checked as at Next; the first that is wrong, or whose packet passes the
    // end of the data, ends the run (and the recording once the packets before it are taken).
    size_t at = 0;
    bool damaged = false;
    uint64_t firstSize = 0;
    while (at + tat::kPacketHeaderSize <= got) {
        tat::PacketHeader header;
        if (!tat::PacketHeader::Decode(buffer + at, header) ||
            m_position + at + tat::kPacketHeaderSize + header.size > m_dataEnd) {
            damaged = true;
            break;
        }
        const uint64_t total = tat::kPacketHeaderSize + uint64_t{header.size};
        if (at == 0)
            firstSize = total;
        if (at + total > got)
            break;
        at += static_cast<size_t>(total);
    }
    if (at > 0) {
        out.result = Result::Packet;
        out.length = static_cast<uint32_t>(at);
        out.held = static_cast<uint32_t>(got - at);
        m_position += at;
        m_rawHeld = out.held;
        return out;
    }
    if (damaged || got < want) // a wrong header, or the file ended before the data did
        return out;
    // Nothing whole fits: say how much room the next packet takes.
    if (firstSize == 0) {
        const int64_t size = PeekSize();
        if (size < 0)
            return out;
        firstSize = tat::kPacketHeaderSize + static_cast<uint64_t>(size);
    }
    out.result = Result::TooLarge;
    out.needed = static_cast<uint32_t>(firstSize);
    return out;
}

int64_t CTATRecordingReader::PeekSize() {
    tat::PacketHeader header;
    if (m_fd < 0 || m_position + tat::kPacketHeaderSize > m_dataEnd || !HeaderAt(header))
        return -1;
    return header.size;
}

bool CTATRecordingReader::SeekSeconds(int32_t seconds) {
    if (m_fd < 0 || seconds < 0 || static_cast<size_t>(seconds) >= m_index.size())
        return false;
    m_position = m_index[static_cast<size_t>(seconds)];
    m_rawHeld = 0;
    return true;
}
