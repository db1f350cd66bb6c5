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

StreamKind CParserSwitch::ReadPacket(uint8_t* buffer, int32_t& size) {
    return Active().ReadPacket(buffer, size);
}

int64_t CParserSwitch::ReadChunk(char id[5], uint8_t* buffer, int32_t& size) {
    return Active().ReadChunk(id, buffer, size);
}

ReadEnd CParserSwitch::LastReadEnd() const {
    return Active().LastReadEnd();
}

bool CParserSwitch::BuildIndex(const std::string& path, OpenInfo& info) {
    return Active().BuildIndex(path, info);
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

int64_t CParserSwitch::ReadRaw(uint8_t* buffer, int64_t count) {
    return Active().ReadRaw(buffer, count);
}

int CParserSwitch::Seek(int64_t offset, int origin) {
    return Active().Seek(offset, origin);
}

int64_t CParserSwitch::Tell() {
    return Active().Tell();
}

int CParserSwitch::SeekTime(float seconds) {
    return Active().SeekTime(seconds);
}

VideoCodec CParserSwitch::GetVideoCodec(int stream) {
    return Active().GetVideoCodec(stream);
}

int CParserSwitch::LastPacketKeyFrame() const {
    return Active().LastPacketKeyFrame();
}

int CParserSwitch::VideoChannels() const {
    return Active().VideoChannels();
}
