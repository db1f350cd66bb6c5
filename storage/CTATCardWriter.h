#pragma once

#include "PacketTally.h"
#include "TatFormat.h"
#include "base/CUniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

// The camera's side of the storage: makes a card and appends recordings to it, the way the
// camera does, so that the player, its tests and new users have cards to read.
//
// A recording is begun (its directory entry is appended with size 0 and state "recording",
// and its file gets its header), its packets are appended in recording order, and it is
// finished (seek index and footer written and synced, then the directory entry is updated
// with the file's size and state "closed"). A recording that is never finished stays as a
// power cut leaves it: readable up to its last whole packet, listed with size 0.
//
// Threads: one thread at a time.
class CTATCardWriter {
public:
    // Works on the card in `root` (made with CreateCard).
    explicit CTATCardWriter(std::string root);
    ~CTATCardWriter(); // abandons a recording that is still open
    CTATCardWriter(const CTATCardWriter&) = delete;
    CTATCardWriter& operator=(const CTATCardWriter&) = delete;

    // Makes SETTING/ and the storage with four empty directories and the configuration text.
    // An existing storage keeps its recordings; only its configuration text is replaced.
    static bool CreateCard(const std::string& root, const std::string& configText,
                           std::string* error);
    // Replaces the configuration text (written to a new file, then renamed over the old one).
    static bool WriteConfigText(const std::string& root, const std::string& configText,
                                std::string* error);

    // Starts a recording named CATEGORY_YYYYMMDD_HHMMSS_CHANNELS (at most 39 characters of
    // letters, digits and underscores; the category is the name's first letter). A closed
    // recording of the name is never replaced; an entry of the name that was never closed (an
    // earlier try that was interrupted) is, in its own slot. Otherwise the entry takes the
    // first deleted slot, else a new one at the directory's end.
    bool BeginRecording(const std::string& name, const tat::InfoBlock& info);
    // Appends one packet: type tat::PacketType, channel 0 front or 1 rear for video.
    // Payloads are at most tat::kMaxPacketSize bytes.
    bool AddPacket(uint8_t type, uint8_t channel, const uint8_t* payload, uint32_t size);
    bool FinishRecording();
    // Stops writing as a power cut would: no index, no footer, the entry keeps size 0.
    // With cutMidPacket the file also ends inside its last packet.
    void AbandonRecording(bool cutMidPacket);
    // Gives up the recording being written as if it had never begun: its file is removed and
    // its directory entry marked deleted, so the name can be recorded again. False when the
    // entry could not be updated (the recording then stays, hidden as cut off).
    bool DiscardRecording();

    // Marks every entry named `name` deleted, as the camera does when it frees a recording
    // (state 3, size 0; the slot is taken by the next recording begun), syncs the directory,
    // then removes the recording's file. False when no entry has the name or the card cannot
    // be written. Not for the recording this writer is writing.
    bool DeleteRecording(const std::string& name);

    const std::string& Error() const { return m_error; }
    bool Recording() const { return m_file.Valid(); }

private:
    bool Fail(const std::string& message);
    // Opens the category's directory file for writing and reads its entries (those whose
    // checksum, state and index are right) and its number of whole slots.
    bool OpenDirectory(int category, CUniqueFd& dir, std::vector<tat::DirEntry>& entries,
                       uint64_t& slots);
    bool WriteAll(const void* data, size_t size);
    // Rewrites this recording's directory entry in place and syncs the directory.
    bool UpdateEntry();

    std::string m_root;
    std::string m_error;
    CUniqueFd m_file;   // the recording being written
    std::string m_path; // and its path
    int m_category = -1;
    tat::DirEntry m_entry;
    tat::InfoBlock m_info;
    uint64_t m_offset = 0; // bytes written to the recording file
    uint32_t m_sequence = 0;
    tat::PacketTally m_tally; // counts and seek index of the packets written
    uint64_t m_lastPacketOffset = 0;
};
