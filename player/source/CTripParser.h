#pragma once

#include "player/api/VMediaParser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One recording of a drive, as the trip parser plays it.
struct TripSegment {
    std::string name;     // what the inner parser's Open takes
    int64_t offsetUs = 0; // where it starts on the drive's time line
    int64_t lengthUs = 0; // how long it plays there (> 0)
};

// Plays the recordings of a drive as one recording: the segments' packets in turn, each
// packet's time moved onto the drive's time line (a segment's first front picture at its
// offset), so that the engine sees one recording whose pictures and sound run on across the
// boundaries. The next segment is opened and its first packets read on a thread of this
// parser's own while the current one still plays, so the boundary costs no open.
//
// Open takes any name (the drive's); the segments are set before. The duration is the last
// segment's end. SeekTime finds the segment of the time and seeks inside it (opening it when
// it is not the current or the read-ahead one). A segment that does not open is skipped; one
// whose reading fails ends there and the next goes on (LastReadEnd then says kFailed at the
// drive's end). Format queries answer for the first segment; the segments of a drive come
// from one camera, with the same codecs and sound rate.
//
// Threads: the VMediaParser calls come from one thread at a time (the engine's worker). The
// read-ahead thread only touches the next segment's inner parser, handed over under a lock.
// Owns the inner parsers, made by the factory on either thread.
class CTripParser final : public VMediaParser {
public:
    using Factory = std::function<std::unique_ptr<VMediaParser>()>;
    explicit CTripParser(Factory factory);
    ~CTripParser() override;
    CTripParser(const CTripParser&) = delete;
    CTripParser& operator=(const CTripParser&) = delete;

    // The drive to play; called while nothing is open. Offsets ascending.
    void SetSegments(std::vector<TripSegment> segments);
    const std::vector<TripSegment>& Segments() const { return m_segments; }
    // The segment that plays at a drive time (µs): the last whose offset is at or before it
    // (0 before the first); -1 without segments. Pure: any thread after SetSegments.
    int SegmentAt(int64_t timeUs) const;

    bool Start() override;
    void Stop() override;
    int64_t Open(const std::string& name, OpenInfo* info) override;
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
    struct Impl;
    Factory m_factory;
    std::vector<TripSegment> m_segments;
    std::unique_ptr<Impl> m_impl;
};
