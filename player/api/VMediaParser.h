#pragma once

#include "OpenInfo.h"
#include "StreamKind.h"
#include "VideoCodec.h"

#include <cstdint>
#include <string>

// Why reading stopped, asked after ReadChunk returned -1.
enum class ReadEnd : int32_t {
    kEnded,  // the recording has no more packets: its normal end
    kFailed, // a read failed or found damaged data before the recording's end; the packets
             // delivered before are good, the rest could not be read
};

struct VideoSize {
    int32_t width = 0;
    int32_t height = 0;
};

// A reader of recordings. The player engine and the download read through this interface
// and do not know which container is behind it.
//
// Calling order: Start → (Open → format queries → ReadChunk repeatedly, SeekTime between
// reads → Close) any number of times → Stop → destroy.
//
// Threads: one caller thread at a time. An implementation may run its own reading thread
// behind the interface (the camera-storage parser does).
//
// Sizes are bytes; the size argument of the reads is in: the buffer's capacity, out: the
// payload length. Callers read into buffers of kPacketBufferSize bytes.
class VMediaParser {
public:
    virtual ~VMediaParser() = default;

    // Bring up and tear down the implementation's worker, if it has one.
    virtual bool Start() = 0;
    virtual void Stop() = 0;

    // Opens a recording, reads its header and stands at the first packet; fills info when
    // given. Nonzero on success.
    virtual int64_t Open(const std::string& pathOrName, OpenInfo* info) = 0;
    virtual void Close() = 0;

    // Next packet of any stream into buffer; EndOfStream at the end or on a failed read.
    virtual StreamKind ReadPacket(uint8_t* buffer, int32_t& size) = 0;

    // Next packet; its four-letter id goes into id (5 bytes, zero-terminated where the
    // implementation writes one). Positive on success, -1 at the end or on failure.
    virtual int64_t ReadChunk(char id[5], uint8_t* buffer, int32_t& size) = 0;

    // After ReadChunk returned -1 for an open recording: whether the recording ended or
    // reading failed. Called on the thread that called ReadChunk; the answer holds until the
    // next ReadChunk, Open, SeekTime or Close. A reader that cannot tell the two apart keeps
    // this default, kEnded, so every -1 reads as the end as it always did.
    virtual ReadEnd LastReadEnd() const { return ReadEnd::kEnded; }

    // Fills frame counts and the front seek table from the container's index.
    virtual bool BuildIndex(const std::string& path, OpenInfo& info) = 0;

    // Declared size of a video stream (0 front, 1 rear); zeros for a stream that is absent.
    virtual VideoSize GetVideoSize(int stream) = 0;
    // Frames per second of a video stream (0 front, 1 rear); 0 for a stream that is absent.
    virtual int32_t GetFrameRate(int stream) = 0;
    virtual void GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) = 0;

    // Raw access to the open file, where there is one. origin: 0 start, 1 current, 2 end.
    virtual int64_t ReadRaw(uint8_t* buffer, int64_t count) = 0;
    virtual int Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;

    // Repositions so that the next packets start at the given time (seconds).
    virtual int SeekTime(float seconds) = 0;

    // The coding of a video stream (0 front, 1 rear) of the open recording; H.264 unless the
    // reader knows otherwise.
    virtual VideoCodec GetVideoCodec(int /*stream*/) { return VideoCodec::kH264; }
    // Whether the video packet the last ReadChunk delivered is a key frame: 1 yes, 0 no, -1
    // when the reader cannot tell (the engine then looks at the payload's first slice).
    virtual int LastPacketKeyFrame() const { return -1; }
    // The video channels of the open recording (1 or 2); 0 when the reader cannot tell (the
    // engine then reads them from the recording's name).
    virtual int VideoChannels() const { return 0; }
};
