#include "CParserSwitch.h"

CParserSwitch::CParserSwitch(std::array<VMediaParser*, kMaxParsers> parsers) : m_parsers(parsers) {}

void CParserSwitch::Use(size_t index) {
    if (index < m_parsers.size() && m_parsers[index] != nullptr)
        m_active = index;
}

bool CParserSwitch::Start() {
    bool started = true;
    for (VMediaParser* parser : m_parsers)
        if (parser != nullptr)
            started = parser->Start() && started;
    return started;
}

void CParserSwitch::Stop() {
    for (VMediaParser* parser : m_parsers)
        if (parser != nullptr)
            parser->Stop();
}

int64_t CParserSwitch::Open(const std::string& pathOrName, OpenInfo* info) {
    return Active().Open(pathOrName, info);
}

void CParserSwitch::Close() {
    Active().Close();
}

bool CParserSwitch::Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) {
    return Active().Read(buffer, capacity, packet);
}

ReadEnd CParserSwitch::LastReadEnd() const {
    return Active().LastReadEnd();
}

VideoSize CParserSwitch::GetVideoSize(int stream) {
    return Active().GetVideoSize(stream);
}

int32_t CParserSwitch::GetFrameRate(int stream) {
    return Active().GetFrameRate(stream);
}

void CParserSwitch::GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) {
    Active().GetAudioFormat(bitsPerSample, samplesPerSecond);
}

int CParserSwitch::SeekTime(float seconds) {
    return Active().SeekTime(seconds);
}

VideoCodec CParserSwitch::GetVideoCodec(int stream) {
    return Active().GetVideoCodec(stream);
}

int CParserSwitch::VideoChannels() const {
    return Active().VideoChannels();
}
