#include "CParserSwitch.h"

namespace {

// Opens nothing and reads nothing.
class NoParser final : public VMediaParser {
public:
    bool Start() override { return true; }
    void Stop() override {}
    int64_t Open(const std::string&, OpenInfo*) override { return 0; }
    void Close() override {}
    bool Read(uint8_t*, int32_t, MediaPacket& packet) override {
        packet = MediaPacket{};
        packet.kind = EndOfStream;
        return false;
    }
    VideoSize GetVideoSize(int) override { return {}; }
    int32_t GetFrameRate(int) override { return 0; }
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        bits = 16;
        rate = 8000;
    }
    int SeekTime(float) override { return -1; }
};

} // namespace

CParserSwitch::CParserSwitch(std::array<VMediaParser*, kMaxParsers> parsers)
    : m_parsers(parsers), m_none(std::make_unique<NoParser>()) {}

VMediaParser& CParserSwitch::Active() const {
    VMediaParser* parser = m_parsers[m_active];
    return parser != nullptr ? *parser : *m_none;
}

void CParserSwitch::Put(size_t index, VMediaParser* parser) {
    if (index < m_parsers.size())
        m_parsers[index] = parser;
}

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
