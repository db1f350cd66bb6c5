#pragma once

#include "player/source/CTATParser.h"
#include "storage/CTATLibrary.h"

#include <string>

// A card parser with a library of its own: it reads one recording of the card while the
// window's library and parser read another (the next recording of a drive read ahead, a
// recording's telemetry read whole). Every call goes to its CTATParser.
//
// Owns both; threads as CTATParser.
class StandaloneCardParser final : public VMediaParser {
public:
    // root: the card's folder. The library finds and mounts the card at once.
    StandaloneCardParser(const std::string& root, const DiagLog* diag);

    bool Start() override { return m_parser.Start(); }
    void Stop() override { m_parser.Stop(); }
    int64_t Open(const std::string& name, OpenInfo* info) override {
        return m_parser.Open(name, info);
    }
    void Close() override { m_parser.Close(); }
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override {
        return m_parser.Read(buffer, capacity, packet);
    }
    ReadEnd LastReadEnd() const override { return m_parser.LastReadEnd(); }
    VideoSize GetVideoSize(int stream) override { return m_parser.GetVideoSize(stream); }
    int32_t GetFrameRate(int stream) override { return m_parser.GetFrameRate(stream); }
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        m_parser.GetAudioFormat(bits, rate);
    }
    int SeekTime(float seconds) override { return m_parser.SeekTime(seconds); }
    VideoCodec GetVideoCodec(int stream) override { return m_parser.GetVideoCodec(stream); }
    int VideoChannels() const override { return m_parser.VideoChannels(); }

private:
    CTATLibrary m_library; // before the parser: it goes last
    CTATParser m_parser;
};
