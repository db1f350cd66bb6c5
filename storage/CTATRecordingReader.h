#pragma once

#include "TatFormat.h"

#include <cstdint>
#include <string>
#include <vector>

// Reads one recording file of the camera storage: its header, its packets in order, and its
// seek index.
//
// A closed recording ends in a footer that locates the index; a recording whose writing was
// cut off has none, and is read packet by packet up to the first packet that is incomplete
// or fails its checksum (its seek index is then rebuilt from the packets): that packet is its
// End. A read that fails during that scan (an I/O error, the file shrinking) makes the scanned
// part's end Damaged instead, so a failed read is never taken for the recording's end. Every
// length is checked against the file and the caller's buffer.
//
// Threads: one at a time (the library serialises its callers).
class CTATRecordingReader {
public:
    CTATRecordingReader() = default;
    ~CTATRecordingReader();
    CTATRecordingReader(const CTATRecordingReader&) = delete;
    CTATRecordingReader& operator=(const CTATRecordingReader&) = delete;

    // Opens the file and reads its header and footer (or scans a cut-off one). False when the
    // file is missing or its header is damaged.
    bool Open(const std::string& path);
    void Close();

    bool Complete() const { return m_complete; } // closed properly by the camera
    // The directory says the camera closed this recording. Without its footer the file has
    // then lost its end (cut short, or damaged), so its last packet is Damaged, not End.
    void SetClosedInDirectory() {
        if (!m_complete)
            m_scanFailed = true;
    }
    const tat::InfoBlock& Info() const { return m_info; }
    const tat::Counts& Counts() const { return m_counts; }
    uint32_t DurationMs() const { return m_durationMs; }
    const std::string& Name() const { return m_name; }
    uint64_t ReadableBytes() const { return m_dataEnd; }

    enum class Result { Packet, End, Damaged, TooLarge };
    // The next packet into buffer (capacity bytes). TooLarge leaves the position unchanged.
    Result Next(tat::PacketHeader& header, uint8_t* buffer, uint32_t capacity);

    // Payload size of the next packet without taking it; -1 at the end or on damage.
    int64_t PeekSize();

    // Several packets in one read, for a caller that checks their checksums itself: whole
    // packets as stored (header and payload, checksums NOT verified) from the position, back
    // to back into buffer, as many as fit in capacity.
    //   Packet: `length` bytes of whole packets from buffer + start, and the position moves
    //     past them. The start of the next packet follows them (`held` bytes); a caller that
    //     keeps those bytes at the start of its next buffer passes `held` back and they are not
    //     read again.
    //   TooLarge: not even the next packet fits; `needed` is the room it takes.
    //   End, Damaged: as for Next; packets before damage come first, in a Packet result.
    // `held` on the way in counts only while nothing else moved the position since. Without
    // held bytes the packets start `start` (< kRawAlignment) bytes into buffer, where the
    // address matches the file offset modulo kRawAlignment: the kernel copies several times
    // faster so.
    static constexpr uint32_t kRawAlignment = 64;
    // A cut-off recording is scanned in reads of this many bytes.
    static constexpr uint32_t kScanBlock = 262144;
    struct Raw {
        Result result = Result::Damaged;
        uint32_t start = 0;
        uint32_t length = 0;
        uint32_t held = 0;
        uint32_t needed = 0;
    };
    Raw NextRaw(uint8_t* buffer, uint32_t capacity, uint32_t held);

    // Moves to the packet that starts whole second `seconds`. False (position unchanged)
    // beyond the index.
    bool SeekSeconds(int32_t seconds);
    uint32_t IndexEntries() const { return static_cast<uint32_t>(m_index.size()); }

private:
    bool ReadAt(uint64_t offset, void* dest, size_t count);
    // As ReadAt, but returns how many bytes were read before the file ended.
    size_t ReadUpTo(uint64_t offset, uint8_t* dest, size_t count);
    bool LoadFooter(uint64_t fileSize);
    void ScanPackets(uint64_t fileSize);
    bool HeaderAt(tat::PacketHeader& header);

    // End, or Damaged when the scan of a cut-off recording stopped at a failed read.
    Result EndOfData() const { return m_scanFailed ? Result::Damaged : Result::End; }

    int m_fd = -1;
    bool m_complete = false;
    bool m_scanFailed = false;
    tat::InfoBlock m_info;
    tat::Counts m_counts;
    uint32_t m_durationMs = 0;
    std::string m_name;
    uint64_t m_dataEnd = 0;        // packets lie in [header, m_dataEnd)
    std::vector<uint64_t> m_index; // per whole second: offset of the packet to start from
    uint64_t m_position = 0;       // offset of the next packet

    // The header of the packet at m_lookaheadAt, read ahead with the previous payload.
    uint8_t m_lookahead[tat::kPacketHeaderSize] = {};
    uint64_t m_lookaheadAt = 0;
    bool m_lookaheadValid = false;

    // Bytes from m_position that the last NextRaw left in its caller's buffer.
    uint32_t m_rawHeld = 0;
};
