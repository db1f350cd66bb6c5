#pragma once

#include "MediaPacket.h"
#include "OpenInfo.h"
#include "StreamKind.h"
#include "VideoCodec.h"

#include <cstdint>
#include <string>

// Why reading stopped, asked after Read returned false.
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
// Calling order: Start → (Open → format queries → Read repeatedly, SeekTime between reads →
// Close) any number of times → Stop → destroy.
//
// Threads: one caller thread at a time. An implementation may run its own reading thread
// behind the interface (the camera-storage parser does).
//
// Sizes are bytes. Callers read into buffers of kPacketBufferSize bytes.
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

    // The next packet, its payload copied into buffer (capacity bytes). True with the packet
    // filled in (kind NoPacket: nothing arrived this time, ask again); false at the end of the
    // recording or when reading failed (LastReadEnd tells which), with packet.kind EndOfStream.
    // Packets come in the order the recording stores them: video in decoding order, each
    // stream's times rising except where pictures are reordered.
    virtual bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) = 0;

    // After Read returned false for an open recording: whether the recording ended or reading
    // failed. Called on the thread that called Read; the answer holds until the next Read,
    // Open, SeekTime or Close. A reader that cannot tell the two apart keeps this default,
    // kEnded, so every end reads as the end.
    virtual ReadEnd LastReadEnd() const { return ReadEnd::kEnded; }

    // Declared size of a video stream (0 front, 1 rear); zeros for a stream that is absent.
    virtual VideoSize GetVideoSize(int stream) = 0;
    // Frames per second of a video stream (0 front, 1 rear), whole; 0 for a stream that is
    // absent. The nominal rate: packet times say when each picture is due.
    virtual int32_t GetFrameRate(int stream) = 0;
    virtual void GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) = 0;

    // Repositions so that the next packets start at the front key frame at or before the
    // given time (seconds; a reader may round down to its index's whole seconds). 0 on
    // success; negative leaves the position as it was.
    virtual int SeekTime(float seconds) = 0;

    // The coding of a video stream (0 front, 1 rear) of the open recording; H.264 unless the
    // reader knows otherwise.
    virtual VideoCodec GetVideoCodec(int /*stream*/) { return VideoCodec::kH264; }
    // The video channels of the open recording (1 or 2); 0 when the reader cannot tell (the
    // engine then reads them from the recording's name).
    virtual int VideoChannels() const { return 0; }
};
