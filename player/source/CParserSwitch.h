#pragma once

#include "player/api/VMediaParser.h"

#include <array>
#include <memory>

// One parser for the engine in front of several: every call goes to the one in use, chosen
// with Use while nothing is open (after Close). Start and Stop go to all of them, so each is
// ready when it is chosen. A slot may be filled or emptied later (Put); while the slot in use
// is empty, the switch reads as a parser that opens nothing.
//
// The parsers stay the owner's and must outlive the switch. Threads: as VMediaParser; Use on
// the caller's thread while the engine is idle.
class CParserSwitch final : public VMediaParser {
public:
    static constexpr size_t kMaxParsers = 3;

    // parsers[0] is in use at first; null entries are left out.
    explicit CParserSwitch(std::array<VMediaParser*, kMaxParsers> parsers);

    // Chooses parser `index` (an index given to the constructor); an empty slot is ignored.
    void Use(size_t index);
    size_t InUse() const { return m_active; }
    // Puts a parser into a slot (null empties it), while nothing is open. The parser must be
    // started by its owner; the switch does not start or stop what it is given here.
    void Put(size_t index, VMediaParser* parser);

    bool Start() override;
    void Stop() override;
    int64_t Open(const std::string& pathOrName, OpenInfo* info) override;
    void Close() override;
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override;
    ReadEnd LastReadEnd() const override;
    VideoSize GetVideoSize(int stream) override;
    int32_t GetFrameRate(int stream) override;
    void GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) override;
    int SeekTime(float seconds) override;
    VideoCodec GetVideoCodec(int stream) override;
    int VideoChannels() const override;

private:
    VMediaParser& Active() const;

    std::array<VMediaParser*, kMaxParsers> m_parsers;
    std::unique_ptr<VMediaParser> m_none; // answers while the slot in use is empty
    size_t m_active = 0;
};
