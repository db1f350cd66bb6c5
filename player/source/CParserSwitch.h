#pragma once

#include "player/api/VMediaParser.h"

#include <array>

// One parser for the engine in front of several: every call goes to the one in use, chosen
// with Use while nothing is open (after Close). Start and Stop go to all of them, so each is
// ready when it is chosen.
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
    VMediaParser& Active() const { return *m_parsers[m_active]; }

    std::array<VMediaParser*, kMaxParsers> m_parsers;
    size_t m_active = 0;
};
