#pragma once

#include "VFileSystem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFSNormal;
class DiagLog;

// Writes a recording into an AVI file of the layout CAVIExtractor reads: a provisional header
// first, then one chunk per packet as packets arrive, and at Close the index and the final
// header (the same length as the provisional one, written over it).
//
// Chunk ids by stream slot:
//   slot            two-channel   one-channel
//   0 front video   "00dc"        "00dc"
//   1 rear video    "01dc"        (not written)
//   2 audio         "02wb"        "01wb"
//   3 text          "03tx"        "02tx"
//
// Calling order: SetVideoSize / SetFrameRate (0 and 1), SetAudioRate, SetTwoChannel, Create,
// AddData for every packet in recording order, Close. One writer serves any number of files
// one after the other.
//
// A file keeps to the 32-bit sizes of AVI: a chunk that would take the file past 4 GiB is
// refused. After a failed write the writer refuses further chunks and Close reports 0, so a
// damaged file is never reported as written.
//
// Threads: one thread at a time.
class CAVIWriter {
public:
    // The writer owns the file system; with none it makes a plain file (CFSNormal).
    explicit CAVIWriter(std::unique_ptr<VFileSystem> fileSystem = nullptr);
    virtual ~CAVIWriter();
    CAVIWriter(const CAVIWriter&) = delete;
    CAVIWriter& operator=(const CAVIWriter&) = delete;

    // Diagnostic lines of the writer, and of the plain file it made for itself.
    void SetDiagLog(const DiagLog* log);

    // Streams other than 0 (front) and 1 (rear) are ignored. Sizes in pixels.
    void SetVideoSize(int stream, int32_t width, int32_t height);
    void SetFrameRate(int stream, int32_t framesPerSecond);
    void SetAudioRate(int32_t samplesPerSecond);
    void SetTwoChannel(bool twoChannel);

    // Creates the file and writes the provisional header. False when the file cannot be
    // created, a file is already open, or the header cannot be written.
    bool Create(const std::string& path);

    // Appends one chunk of size payload bytes to stream slot 0 to 3 (an odd size gets a zero
    // pad byte). False when no file is open, the slot is unknown, the file would grow past
    // 4 GiB, or the write fails.
    bool AddData(const uint8_t* buffer, int32_t size, int slot);

    // Writes the index and the final header and closes the file. Returns the RIFF size
    // (file length - 8); 0 when no file was open or the file could not be completed.
    uint32_t Close();

    bool IsOpen() const;
    // Bytes of the header list that precede the movi list, less 4 (280 or 404, +100 audio).
    int32_t HeaderSize() const { return m_headerSize; }
    int32_t ChunkCount() const { return static_cast<int32_t>(m_index.size()); }

private:
    struct IndexRecord {
        int32_t stream;
        uint32_t offset; // of the chunk's id from the "movi" word
        uint32_t size;   // payload rounded up to even
    };
    struct StreamRecord {
        char id[4] = {0, 0, 0, 0};
        uint32_t count = 0;
        uint32_t bytes = 0; // sum of the even-rounded payload sizes
    };

    std::vector<uint8_t> BuildHeader(bool final) const;
    bool WriteAll(const void* data, size_t count);

    const DiagLog* m_diag = nullptr;
    std::unique_ptr<VFileSystem> m_fs;
    CFSNormal* m_plainFile = nullptr; // m_fs, when the writer made it

    std::vector<IndexRecord> m_index;
    uint32_t m_moviBytes = 0;
    uint32_t m_moviSize = 4;
    std::array<StreamRecord, 5> m_streams{};
    bool m_hasAudio = true;
    bool m_twoChannel = false;
    int32_t m_headerSize = 0;
    std::array<int32_t, 2> m_width{0, 720};
    std::array<int32_t, 2> m_height{0, 480};
    std::array<int32_t, 2> m_frameRate{0, 15};
    std::array<int32_t, 2> m_createdFrameRate{0, 15};
    int32_t m_audioRate = 8000;
    uint64_t m_fileLength = 0; // bytes written so far, header included
    bool m_failed = false;     // a write failed; the file cannot be completed
};
