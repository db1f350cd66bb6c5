#pragma once

#include "TatFormat.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CTATRecordingReader;
class DiagLog;

// Where the library looks for a card.
struct TatCardSource {
    // A card folder named on the command line (--card DIR) or in TATVIEW_CARD; empty: none.
    std::string cardFolder;
    // Also look at mounted removable volumes that hold the storage.
    bool scanRemovable = true;
    // The system's lists, replaceable in tests.
    std::string mountsFile = "/proc/self/mounts";
    std::string sysBlockFolder = "/sys/block";

    // --card DIR when given, else the TATVIEW_CARD environment variable.
    static TatCardSource FromCommandLine(const std::string& cardArgument);
    // The card in folder `root` alone, no removable volumes looked at.
    static TatCardSource OnlyFolder(const std::string& root) {
        TatCardSource source;
        source.cardFolder = root;
        source.scanRemovable = false;
        return source;
    }
};

// What the library tells about one recording.
struct TatDescription {
    uint8_t info[tat::kInfoBlockSize] = {}; // the recording's information block
    uint16_t frontFrames = 0;
    uint16_t rearFrames = 0;
    char text[256] = {};   // one line for people: category, time, channels, sizes, length
    char counts[256] = {}; // "cntVideo0=%d; cntVideo1=%d; cntAudio=%d; cntACC=%d; cntGPS=%d"
};

// Status of ReadPacket.
enum TatReadStatus : int8_t {
    TatPacket = 0,   // a packet was delivered
    TatNoPacket = 1, // nothing this time; ask again
    TatEnd = 2,      // the end of the recording
    TatFailed = 3,   // nothing selected, damaged data, or the card went away: the end too
};

// What ReadRawPackets delivered.
struct TatRawPackets {
    TatReadStatus status = TatFailed;
    int32_t start = 0;  // TatPacket: bytes left unused at the start of the buffer
    int32_t length = 0; // TatPacket: bytes of whole packets after them
    int32_t held = 0;   // TatPacket: bytes of the next packet's start that follow them
    int32_t needed = 0; // TatNoPacket: the room the next packet takes
};

// Access to the camera's storage on the card: finding the card, the directories of the four
// categories, describing recordings, the camera's configuration text, and reading the packets
// of one selected recording.
//
// One instance (the "handle") lives as long as the program uses cards; the main window owns
// it. Threads: every operation may be called from any thread; one internal lock serialises
// them (the packet reader's thread and the window's listing share it). No operation waits
// for anything but the file system.
//
// Drive numbers: 1 while a card is present, 0 when none is.
class CTATLibrary {
public:
    static constexpr size_t kRawAlignment = 64;

    explicit CTATLibrary(TatCardSource source);
    ~CTATLibrary();
    CTATLibrary(const CTATLibrary&) = delete;
    CTATLibrary& operator=(const CTATLibrary&) = delete;

    void SetDiagLog(const DiagLog* log);

    // Where it looks for a card (fixed at construction).
    const TatCardSource& Source() const { return m_source; }

    // The program's identification record (85 bytes); kept, not interpreted.
    void SetIdentification(const uint8_t record[85]);

    // Looks for a card; returns its drive number (0: no card). Cheap enough to poll each second.
    uint8_t PollCardDrive();
    // Takes the card that PollCardDrive found into use: reads its volume record.
    void MountCard();
    // The card's folder ("" without a card).
    std::string CardRoot();

    // Directory entries of a category (0 event, 1 continuous, 2 parking, 3 manual) on the
    // card with this drive number; 0 without a card or for another drive.
    int32_t CountEntries(uint8_t drive, int32_t category);
    // Fills up to capacity entries: names (zero-terminated, 40 bytes each), sizes in bytes
    // (0 for a recording that was never closed) and entry indexes. Returns the number filled.
    int32_t ListEntries(uint8_t drive, int32_t category, int32_t capacity, char (*names)[40],
                        int64_t* sizes, int32_t* indexes);

    // Describes a recording by name (its category is the name's first letter), or by name and
    // entry index. False, with the outputs cleared, when there is no such recording.
    bool DescribeByName(const std::string& name, TatDescription& out);
    bool DescribeByIndex(const std::string& name, int32_t index, TatDescription& out);

    // The camera's configuration text (profile format). size: in capacity, out length.
    // False without a card or with a damaged volume record.
    bool ReadConfigText(char* buffer, int32_t& size);

    // A number for a recording, for SelectRecording; -1 when there is none.
    int32_t RecordingNumberByName(int32_t category, const std::string& name);
    int32_t RecordingNumberByIndex(int32_t category, int32_t index);
    // Selects the recording to read packets from, from its first packet. An unknown number
    // selects nothing (reads then fail).
    void SelectRecording(int32_t category, int32_t reserved, int32_t number);

    // The next packet of the selected recording: type (tat::PacketType), channel (video: 0
    // front, 1 rear), flags (1 for a key frame), size (in capacity, out length) and payload.
    // A packet larger than the capacity, damaged data or a vanished card give TatFailed.
    TatReadStatus ReadPacket(uint8_t& channel, uint8_t& type, uint8_t& flags, int32_t& size,
                             uint8_t* buffer, uint32_t& scratch);

    // Several packets of the selected recording in one read, for a reader that verifies them
    // itself. The buffer receives whole packets exactly as stored, back to back: the 16-byte
    // header (type, channel, payload size, sequence, CRC) and the payload. Headers and sizes
    // are checked, the CRCs are NOT: the caller must check each packet's CRC before it uses the
    // payload, and treat a mismatch as damage that ends the recording.
    //   TatPacket: `length` bytes of whole packets from buffer + start. The start of the next
    //     packet follows them (`held` bytes); a caller that keeps those bytes at the start of
    //     the buffer it passes next gives `held` back and they are not read again (they count
    //     only while no other read, seek or selection came in between). Give 0 otherwise.
    //     Without held bytes the packets begin up to kRawAlignment - 1 bytes into the buffer,
    //     where the kernel copies fastest; a caller that moves held bytes keeps their address
    //     modulo kRawAlignment for the same reason.
    //   TatNoPacket: the next packet does not fit in capacity; it takes `needed` bytes.
    //   TatEnd, TatFailed: as for ReadPacket; packets before damage are delivered first.
    TatRawPackets ReadRawPackets(uint8_t* buffer, int32_t capacity, int32_t held);

    // Payload size of the selected recording's next packet, so a reader can make room for it
    // before reading it; -1 at the end, on damage or without a selection.
    int32_t NextPacketSize();

    // Moves the selected recording to whole second `seconds`: the next packet is the front key
    // frame at or before it. 0 on success, -1 without a selection or beyond the recording.
    int32_t SeekSeconds(int32_t seconds, int32_t durationSeconds);

private:
    bool Describe(int category, const tat::DirEntry& entry, TatDescription& out);
    bool FindEntry(int category, const std::string& name, int32_t index, tat::DirEntry& out);
    bool LoadDirectory(int category, std::vector<tat::DirEntry>& entries);
    // Opens the entry's recording file in the category's folder; false for a name that is not
    // a storable recording name, or a file that does not open.
    bool OpenRecordingFile(int category, const tat::DirEntry& entry,
                           CTATRecordingReader& reader) const;

    std::mutex m_mutex;
    const TatCardSource m_source;
    const DiagLog* m_diag = nullptr;
    uint8_t m_identification[85] = {};
    std::string m_cardRoot; // the card found by the last poll
    std::string m_mounted;  // the card taken into use
    std::string m_config;   // its configuration text
    bool m_configValid = false;
    std::unique_ptr<CTATRecordingReader> m_reader; // the selected recording
};
