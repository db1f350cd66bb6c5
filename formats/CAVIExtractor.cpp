#include "CAVIExtractor.h"

#include "ChunkId.h"
#include "base/ByteOrder.h"
#include "base/DiagLog.h"
#include "player/api/VAudio.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {
// Lists nest at most this deep in the header; deeper nesting is not a recording of ours.
constexpr int kMaxListDepth = 8;
constexpr size_t kStdioBufferSize = 256 * 1024;
constexpr size_t kMinStdioBufferSize = 4096;
} // namespace

CAVIExtractor::~CAVIExtractor() {
    Close();
}

void CAVIExtractor::Close() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_fileSize = 0;
    m_moviEnd = 0;
    m_lastEnd = ReadEnd::kEnded;
}

int64_t CAVIExtractor::EndOfReads(ReadEnd why) {
    m_lastEnd = why;
    return -1;
}

bool CAVIExtractor::ReadExact(void* dest, size_t count) {
    return std::fread(dest, 1, count, m_file) == count;
}

bool CAVIExtractor::ReadU32(uint32_t& value) {
    uint8_t bytes[4];
    if (!ReadExact(bytes, 4))
        return false;
    value = LoadU32LE(bytes);
    return true;
}

bool CAVIExtractor::ReadId(char id[4]) {
    return ReadExact(id, 4);
}

bool CAVIExtractor::Skip(int64_t count) {
    // Sizes that add up to less than what was already read mean a damaged header; going
    // backwards could loop, so only forward skips are allowed.
    if (count < 0)
        return false;
    if (count == 0)
        return true;
    return fseeko(m_file, static_cast<off_t>(count), SEEK_CUR) == 0;
}

int64_t CAVIExtractor::Open(const std::string& path, OpenInfo* info) {
    if (info != nullptr)
        BuildIndex(path, *info);

    m_videoStreamCount = 0;
    m_videoStreams = {};
    m_audioFormat = {};
    Close();
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr)
        return 0;
    // stdio's buffer need not be larger than the file; it is kept for the next file.
    struct stat st {};
    const size_t fileBytes = fstat(fileno(m_file), &st) == 0 && st.st_size > 0
                                 ? static_cast<size_t>(st.st_size)
                                 : kStdioBufferSize;
    const size_t bufferSize =
        std::max<size_t>(kMinStdioBufferSize, std::min(kStdioBufferSize, fileBytes));
    if (m_fileBuffer.size() < bufferSize)
        m_fileBuffer.Resize(bufferSize, AlignedBuffer::Fill::kScratch);
    std::setvbuf(m_file, reinterpret_cast<char*>(m_fileBuffer.data()), _IOFBF, bufferSize);
    if (fseeko(m_file, 0, SEEK_END) == 0)
        m_fileSize = ftello(m_file);
    if (m_fileSize < 0 || fseeko(m_file, 0, SEEK_SET) != 0) {
        Close();
        return 0;
    }

    char id[4];
    uint32_t size = 0;
    if (!ReadId(id) || !FourCcIs(id, "RIFF") || !ReadU32(m_riffSize) || !ReadId(id) ||
        !FourCcIs(id, "AVI ") || !ReadId(id) || !ReadU32(size)) {
        Close();
        return 0;
    }
    int64_t headerLeft = size;
    while (headerLeft > 0) {
        if (!ReadHeaderItem(headerLeft, 0)) {
            Close();
            return 0;
        }
    }
    uint32_t moviSize = 0;
    if (!ReadId(id) || !ReadU32(moviSize) || !ReadId(id)) {
        Close();
        return 0;
    }
    if (moviSize == 0) {
        Close();
        return 0;
    }
    const int64_t moviData = ftello(m_file);
    m_moviEnd = moviData < 0 ? m_fileSize : moviData - 4 + static_cast<int64_t>(moviSize);
    int32_t bits = 16;
    int32_t rate = 8000;
    GetAudioFormat(bits, rate);
    m_times.SetFormat(GetFrameRate(0), bits, rate, VAudio::kBlockBytes);
    m_times.Restart(0);
    return moviSize;
}

// One item of a list whose unread bytes are counted in `remaining`.
bool CAVIExtractor::ReadHeaderItem(int64_t& remaining, int depth) {
    if (depth > kMaxListDepth)
        return false;
    char id[4];
    if (!ReadId(id))
        return false;
    remaining -= 4;

    if (FourCcIs(id, "LIST")) {
        uint32_t listSize = 0;
        if (!ReadU32(listSize))
            return false;
        remaining -= static_cast<int64_t>(listSize) + 4;
        int64_t inner = listSize;
        return ReadHeaderItem(inner, depth + 1);
    }
    if (FourCcIs(id, "hdrl")) {
        uint32_t headerSize = 0;
        if (!ReadId(id) || !ReadU32(headerSize) || headerSize != m_mainHeader.size())
            return false;
        remaining -= 8;
        if (!ReadExact(m_mainHeader.data(), m_mainHeader.size()))
            return false;
        remaining -= static_cast<int64_t>(m_mainHeader.size());
        return true;
    }
    if (FourCcIs(id, "strl"))
        return ReadStreamList(remaining);

    // Anything else: the rest of the enclosing list is passed over.
    if (!Skip(remaining))
        return false;
    remaining = 0;
    return true;
}

bool CAVIExtractor::ReadStreamList(int64_t& remaining) {
    char id[4];
    uint32_t size = 0;
    if (!ReadId(id) || !ReadU32(size) || size != m_streamHeader.size())
        return false;
    remaining -= 8;
    if (!ReadExact(m_streamHeader.data(), m_streamHeader.size()))
        return false;
    remaining -= static_cast<int64_t>(m_streamHeader.size());

    if (FourCcIs(m_streamHeader.data(), "vids")) {
        if (!ReadId(id) || !ReadU32(size) || size != m_videoFormat.size())
            return false;
        remaining -= 8;
        if (!ReadExact(m_videoFormat.data(), m_videoFormat.size()))
            return false;
        remaining -= static_cast<int64_t>(m_videoFormat.size());
        // A third video stream lands on the rear entry.
        const int32_t slot = std::min(m_videoStreamCount, 1);
        VideoStreamInfo& stream = m_videoStreams[static_cast<size_t>(slot)];
        stream.width = LoadI32LE(m_videoFormat.data() + 4);
        stream.height = LoadI32LE(m_videoFormat.data() + 8);
        stream.frameRate = static_cast<int32_t>(LoadU32LE(m_streamHeader.data() + 24) / 1000u);
        m_videoStreamCount = slot + 1;
    } else if (FourCcIs(m_streamHeader.data(), "auds")) {
        if (!ReadId(id) || !ReadU32(size) || size != m_audioFormat.size())
            return false;
        remaining -= 8;
        if (!ReadExact(m_audioFormat.data(), m_audioFormat.size()))
            return false;
        remaining -= static_cast<int64_t>(m_audioFormat.size());
    }
    if (!Skip(remaining))
        return false;
    remaining = 0;
    return true;
}

int64_t CAVIExtractor::ReadChunk(char id[5], uint8_t* buffer, int32_t& size) {
    if (m_file == nullptr)
        return EndOfReads(ReadEnd::kEnded);
    const int64_t pos = ftello(m_file);
    uint32_t chunkSize = 0;
    if (pos < 0 || !ReadId(id) || !ReadU32(chunkSize)) {
        TATV_DIAG(m_diag, "Read Header Failed\n");
        // The end: the file ends where a chunk would start, once the movi list is behind.
        const bool end = pos >= 0 && pos >= m_fileSize && pos >= m_moviEnd && !std::ferror(m_file);
        return EndOfReads(end ? ReadEnd::kEnded : ReadEnd::kFailed);
    }
    id[4] = 0;
    const int64_t padded = static_cast<int64_t>(chunkSize) + (chunkSize & 1u);
    if (size < padded) {
        TATV_DIAG(m_diag, "Wrong Size %d < %d\n", size, static_cast<int32_t>(chunkSize));
        return EndOfReads(ReadEnd::kFailed);
    }
    // The payload must be there whole; only the pad byte of the file's last chunk may be
    // missing.
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(padded), m_file);
    if (got < chunkSize) {
        TATV_DIAG(m_diag, "Read Body Failed %d < %d\n", static_cast<int32_t>(got),
                  static_cast<int32_t>(chunkSize));
        return EndOfReads(ReadEnd::kFailed);
    }
    size = static_cast<int32_t>(chunkSize);
    return pos;
}

bool CAVIExtractor::Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) {
    packet = MediaPacket{};
    for (;;) {
        char id[5] = {};
        int32_t size = capacity;
        if (ReadChunk(id, buffer, size) < 0) {
            packet.kind = EndOfStream;
            return false;
        }
        const StreamKind kind = StreamKindFromChunkId(id);
        if (kind == EndOfStream)
            continue; // the index, or a chunk of a kind nobody plays
        packet =
            m_times.StampPacket(kind, kind == RearVideo ? ChunkStreamNumber(id) : 0, buffer, size);
        return true;
    }
}

bool CAVIExtractor::BuildIndex(const std::string& path, OpenInfo& info) {
    m_frontFrameOffsets.clear();
    const int64_t moviSize = Open(path, nullptr);
    if (moviSize == 0)
        return false;
    info.frontFrameRate = GetFrameRate(0);
    info.rearFrameRate = GetFrameRate(1);
    info.frontFrameCount = 0;
    info.rearFrameCount = 0;
    info.blockList.clear();
    info.frontFrameOffsets.clear();

    // The index is the chunk right after the movi list; the movi size counts the "movi" word.
    const int64_t base = Tell();
    if (moviSize < 4 || Seek(moviSize - 4, 1) != 0) {
        Close();
        return false;
    }
    // The index chunk's size is checked against the buffer's limit and the file before any
    // memory is taken for it.
    const int64_t at = Tell();
    char id[4];
    uint32_t indexSize = 0;
    const bool header = at > 0 && ReadId(id) && ReadU32(indexSize);
    const int64_t padded = static_cast<int64_t>(indexSize) + (indexSize & 1u);
    if (header && padded > kIndexBufferSize)
        TATV_DIAG(m_diag, "Wrong Size %d < %d\n", kIndexBufferSize,
                  static_cast<int32_t>(indexSize));
    const bool fits = header && padded <= kIndexBufferSize &&
                      at + 8 + static_cast<int64_t>(indexSize) <= m_fileSize;
    std::vector<uint8_t> index(fits ? indexSize : 0);
    const bool read = fits && (index.empty() || ReadExact(index.data(), index.size()));
    Close();
    if (!read)
        return false;

    const size_t entries = index.size() / 16;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* entry = index.data() + i * 16;
        if (entry[2] != 'd' || entry[3] != 'c')
            continue;
        const uint32_t offset =
            LoadU32LE(entry + 8) + static_cast<uint32_t>(base) - 4u; // the chunk id's position
        if (ChunkStreamNumber(reinterpret_cast<const char*>(entry)) == 0) {
            ++info.frontFrameCount;
            info.frontFrameOffsets.push_back(offset | kFrameOffsetFlag);
        } else {
            ++info.rearFrameCount;
        }
    }
    m_frontFrameOffsets = info.frontFrameOffsets;
    return true;
}

int CAVIExtractor::SeekTime(float seconds) {
    if (m_frontFrameOffsets.empty() || m_file == nullptr)
        return -1;
    const float frame = static_cast<float>(m_videoStreams[0].frameRate) * seconds;
    if (!(frame >= 0.0f) || frame >= static_cast<float>(m_frontFrameOffsets.size()))
        return -1;
    const size_t index = static_cast<size_t>(frame);
    if (index >= m_frontFrameOffsets.size())
        return -1;
    const int64_t offset = m_frontFrameOffsets[index] & ~kFrameOffsetFlag;
    // An index entry that points past the file's last chunk header is damage, not a frame.
    if (offset + 8 > m_fileSize)
        return -1;
    if (Seek(offset, 0) != 0)
        return -1;
    m_times.Restart(static_cast<int64_t>(index));
    return 0;
}

VideoSize CAVIExtractor::GetVideoSize(int stream) {
    if (stream < 0 || stream > 1)
        return {};
    const VideoStreamInfo& info = m_videoStreams[static_cast<size_t>(stream)];
    return {info.width, info.height};
}

int32_t CAVIExtractor::StoredFrameRate(int stream) const {
    if (stream < 0 || stream > 1)
        return 0;
    return m_videoStreams[static_cast<size_t>(stream)].frameRate;
}

int32_t CAVIExtractor::GetFrameRate(int stream) {
    return std::min(StoredFrameRate(stream), 30);
}

void CAVIExtractor::GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) {
    bitsPerSample = LoadU16LE(m_audioFormat.data() + 14);
    samplesPerSecond = LoadI32LE(m_audioFormat.data() + 4);
}

int64_t CAVIExtractor::ReadRaw(uint8_t* buffer, int64_t count) {
    if (m_file == nullptr || count <= 0)
        return 0;
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), m_file));
}

int CAVIExtractor::Seek(int64_t offset, int origin) {
    if (m_file == nullptr)
        return -1;
    if (origin < 0 || origin > 2)
        return -1;
    const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    return fseeko(m_file, static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}

int64_t CAVIExtractor::Tell() {
    if (m_file == nullptr)
        return -1;
    return ftello(m_file);
}
