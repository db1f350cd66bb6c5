#include "CAVIWriter.h"

#include "CFSNormal.h"
#include "base/ByteOrder.h"
#include "base/DiagLog.h"

#include <cstring>

namespace {

constexpr uint64_t kMaxFileLength = 0xFFFFFFFFull + 8; // the RIFF size is 32-bit
constexpr uint32_t kIndexEntrySize = 16;

// Appends little-endian fields to a header being built.
class HeaderBytes {
public:
    explicit HeaderBytes(std::vector<uint8_t>& out) : m_out(out) {}
    void U32(uint32_t v) {
        uint8_t bytes[4];
        StoreU32LE(bytes, v);
        m_out.insert(m_out.end(), bytes, bytes + 4);
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U16(uint16_t v) {
        uint8_t bytes[2];
        StoreU16LE(bytes, v);
        m_out.insert(m_out.end(), bytes, bytes + 2);
    }
    void I16(int32_t v) { U16(static_cast<uint16_t>(v)); }
    void FourCc(const char* s) {
        for (int i = 0; i < 4; ++i)
            m_out.push_back(static_cast<uint8_t>(s[i]));
    }

private:
    std::vector<uint8_t>& m_out;
};

uint32_t EvenSize(int32_t size) {
    return static_cast<uint32_t>(size) + (static_cast<uint32_t>(size) & 1u);
}

// Chunk count of a stream as its header states it: at least 1, so that per-chunk averages
// are defined.
uint32_t StatedCount(uint32_t count) {
    return count == 0 ? 1 : count;
}

} // namespace

CAVIWriter::CAVIWriter(std::unique_ptr<VFileSystem> fileSystem) : m_fs(std::move(fileSystem)) {
    if (!m_fs) {
        auto plain = std::make_unique<CFSNormal>();
        m_plainFile = plain.get();
        m_fs = std::move(plain);
    }
    SetTwoChannel(false);
}

void CAVIWriter::SetDiagLog(const DiagLog* log) {
    m_diag = log;
    if (m_plainFile != nullptr)
        m_plainFile->SetDiagLog(log);
}

CAVIWriter::~CAVIWriter() {
    if (m_fs && m_fs->IsOpen())
        m_fs->Close();
}

void CAVIWriter::SetVideoSize(int stream, int32_t width, int32_t height) {
    if (stream < 0 || stream > 1)
        return;
    m_width[static_cast<size_t>(stream)] = width;
    m_height[static_cast<size_t>(stream)] = height;
}

void CAVIWriter::SetFrameRate(int stream, int32_t framesPerSecond) {
    if (stream < 0 || stream > 1)
        return;
    m_frameRate[static_cast<size_t>(stream)] = framesPerSecond;
}

void CAVIWriter::SetAudioRate(int32_t samplesPerSecond) {
    m_audioRate = samplesPerSecond;
}

void CAVIWriter::SetTwoChannel(bool twoChannel) {
    m_twoChannel = twoChannel;
    static const char* const kTwo[4] = {"00dc", "01dc", "02wb", "03tx"};
    static const char* const kOne[4] = {"00dc", "00dc", "01wb", "02tx"};
    for (size_t slot = 0; slot < 4; ++slot)
        std::memcpy(m_streams[slot].id, (twoChannel ? kTwo : kOne)[slot], 4);
    std::memset(m_streams[4].id, 0, 4);
}

bool CAVIWriter::IsOpen() const {
    return m_fs->IsOpen();
}

bool CAVIWriter::WriteAll(const void* data, size_t count) {
    const size_t written = m_fs->Write(data, count);
    m_fileLength += written;
    if (written != count) {
        m_failed = true;
        return false;
    }
    return true;
}

bool CAVIWriter::Create(const std::string& path) {
    if (!m_fs->Open(path.c_str(), "wb"))
        return false;
    m_headerSize = (m_twoChannel ? 404 : 280) + (m_hasAudio ? 100 : 0);
    m_moviBytes = 0;
    m_moviSize = 4;
    for (StreamRecord& stream : m_streams) {
        stream.count = 0;
        stream.bytes = 0;
    }
    m_index.clear();
    m_createdFrameRate = m_frameRate;
    m_fileLength = 0;
    m_failed = false;

    const std::vector<uint8_t> header = BuildHeader(false);
    if (!WriteAll(header.data(), header.size())) {
        m_fs->Close();
        return false;
    }
    return true;
}

bool CAVIWriter::AddData(const uint8_t* buffer, int32_t size, int slot) {
    if (!m_fs->IsOpen()) {
        TATV_DIAG(m_diag, "[CAVIWriter] AddData : File is already closed\n");
        return false;
    }
    if (slot < 0 || slot > 3 || size < 0 || (size > 0 && buffer == nullptr) || m_failed)
        return false;
    const uint32_t padded = EvenSize(size);
    const uint64_t indexLength = 8 + uint64_t{kIndexEntrySize} * (m_index.size() + 1);
    if (m_fileLength + 8 + padded + indexLength > kMaxFileLength) {
        TATV_DIAG(m_diag, "[CAVIWriter] AddData : file would pass 4 GiB\n");
        return false;
    }

    StreamRecord& stream = m_streams[static_cast<size_t>(slot)];
    uint8_t chunkHeader[8];
    std::memcpy(chunkHeader, stream.id, 4);
    StoreU32LE(chunkHeader + 4, static_cast<uint32_t>(size));
    if (!WriteAll(chunkHeader, sizeof chunkHeader))
        return false;
    ++stream.count;
    stream.bytes += padded;

    const uint64_t before = m_fileLength;
    static const uint8_t kPad = 0;
    if (WriteAll(buffer, static_cast<size_t>(size)) && padded != static_cast<uint32_t>(size))
        WriteAll(&kPad, 1);
    if (m_failed) {
        TATV_DIAG(m_diag, "CAVIWriter::AddDataBody error %d != %d\n",
                  static_cast<int32_t>(m_fileLength - before), static_cast<int32_t>(padded));
        return false;
    }

    m_index.push_back(IndexRecord{slot, m_moviSize, padded});
    m_moviBytes += padded;
    m_moviSize += padded + 8;
    return true;
}

uint32_t CAVIWriter::Close() {
    if (!m_fs->IsOpen())
        return 0;

    if (!m_failed) {
        std::vector<uint8_t> index;
        index.reserve(8 + kIndexEntrySize * m_index.size());
        HeaderBytes out(index);
        out.FourCc("idx1");
        out.U32(static_cast<uint32_t>(kIndexEntrySize * m_index.size()));
        for (const IndexRecord& record : m_index) {
            out.FourCc(m_streams[static_cast<size_t>(record.stream)].id);
            out.U32(0x10); // key frame
            out.U32(record.offset);
            out.U32(record.size);
        }
        WriteAll(index.data(), index.size());
    }
    const uint64_t fileLength = m_fileLength;
    if (!m_failed) {
        const std::vector<uint8_t> header = BuildHeader(true);
        if (m_fs->Seek(0, 0) != 0)
            m_failed = true;
        else
            WriteAll(header.data(), header.size());
    }
    const bool closed = m_fs->Close();
    if (m_failed || !closed)
        return 0;
    return static_cast<uint32_t>(fileLength - 8);
}

std::vector<uint8_t> CAVIWriter::BuildHeader(bool final) const {
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(m_headerSize) + 28);
    HeaderBytes out(bytes);
    auto count = [&](size_t slot) { return final ? m_streams[slot].count : 0u; };
    auto streamBytes = [&](size_t slot) { return final ? m_streams[slot].bytes : 0u; };

    out.FourCc("RIFF");
    if (final)
        out.U32(static_cast<uint32_t>(m_fileLength - 8));
    else
        out.FourCc("0000");
    out.FourCc("AVI ");

    // Header list and main header.
    out.FourCc("LIST");
    out.I32(m_headerSize - 4);
    out.FourCc("hdrl");
    out.FourCc("avih");
    out.U32(56);
    out.U32(0);     // microseconds per frame
    out.U32(0);     // maximum bytes per second
    out.U32(0);     // padding granularity
    out.U32(0x110); // has index, interleaved
    out.U32(final ? static_cast<uint32_t>(m_index.size()) : 0u);
    out.U32(0); // initial frames
    out.U32(4); // streams
    out.U32(0); // suggested buffer size
    out.I32(m_width[0]);
    out.I32(m_height[0]);
    for (int i = 0; i < 4; ++i)
        out.U32(0);

    const size_t videoStreams = m_twoChannel ? 2 : 1;
    for (size_t s = 0; s < videoStreams; ++s) {
        const uint32_t n = StatedCount(count(s));
        out.FourCc("LIST");
        out.U32(116);
        out.FourCc("strl");
        out.FourCc("strh");
        out.U32(56);
        out.FourCc("vids");
        out.FourCc("AVC1");
        out.U32(0); // flags
        out.U16(0); // priority
        out.U16(0); // language
        out.U32(0); // initial frames
        out.U32(1000);
        out.U32(static_cast<uint32_t>(m_createdFrameRate[s]) * 1000u);
        out.U32(0); // start
        out.U32(n);
        out.U32(streamBytes(s) / n);
        out.U32(0); // quality
        out.U32(0); // sample size
        out.I16(0);
        out.I16(0);
        out.I16(m_width[s]);
        out.I16(m_height[s]);
        out.FourCc("strf");
        out.U32(40);
        out.U32(40);
        out.I32(m_width[s]);
        out.I32(m_height[s]);
        out.U16(0); // planes
        out.U16(0); // bit count
        out.FourCc("AVC1");
        for (int i = 0; i < 5; ++i)
            out.U32(0); // image size, resolutions, colours
    }

    if (m_hasAudio) {
        const uint32_t sampleRate = static_cast<uint32_t>(m_audioRate);
        out.FourCc("LIST");
        out.U32(92);
        out.FourCc("strl");
        out.FourCc("strh");
        out.U32(56);
        out.FourCc("auds");
        out.U32(0); // handler
        out.U32(0); // flags
        out.U16(0);
        out.U16(0);
        out.U32(0); // initial frames
        out.U32(2); // scale: bytes per sample
        out.U32(2 * sampleRate);
        out.U32(0);                  // start
        out.U32(streamBytes(2) / 2); // length in samples
        out.U32(2000);               // suggested buffer size
        out.U32(0);                  // quality
        out.U32(2);                  // sample size
        for (int i = 0; i < 4; ++i)
            out.I16(0);
        out.FourCc("strf");
        out.U32(16);
        out.U16(1); // PCM
        out.U16(1); // mono
        out.U32(sampleRate);
        out.U32(2 * sampleRate);
        out.U16(2);  // block align
        out.U16(16); // bits per sample
    }

    const uint32_t textCount = StatedCount(count(3));
    out.FourCc("LIST");
    out.U32(76);
    out.FourCc("strl");
    out.FourCc("strh");
    out.U32(56);
    out.FourCc("txts");
    out.FourCc("XBLB");
    out.U32(0);
    out.U16(0);
    out.U16(0);
    out.U32(0);
    out.U32(1000);
    out.U32(100000);
    out.U32(0);
    out.U32(textCount);
    out.U32(streamBytes(3) / textCount);
    out.U32(0);
    out.U32(0);
    for (int i = 0; i < 4; ++i)
        out.I16(0);
    out.FourCc("strf");
    out.U32(0);

    out.FourCc("LIST");
    if (final)
        out.U32(m_moviSize);
    else
        out.FourCc("0000");
    out.FourCc("movi");
    return bytes;
}
