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

struct OpenedSegment;

// Plays the recordings of a drive as one recording: the segments' packets in turn, each
// packet's time (µs; video of both cameras, sound and text alike) moved onto the drive's time
// line: time + (segment's offsetUs - the segment's first front picture time), kNoTimeUs left as
// it is. The engine sees one recording whose pictures and sound run on across the
// boundaries.
//
// Read-ahead: while segment k plays, a thread of this parser's own ("TripReadAhead") makes
// segment k + 1's inner parser with the factory, starts and opens it and reads its first
// packets (1 s of front pictures, at most 8 MiB) into memory. When segment k's Read ends, the
// same Read call goes on with k + 1: its packets in hand first, then its inner parser. The
// thread also closes the inner parsers played out, so that closing does not stall Read.
// At most three inner parsers are alive at once: the current one and two others (the next one
// and one being closed, or two being closed; while a seek opens a segment here, that one and
// one being closed).
//
// Open takes any name (the drive's); the segments are set before. It opens the first segment
// here, on the caller's thread (the first that opens). The duration is the last segment's
// end: OpenInfo's frontFrameCount is that end times the first segment's front rate (its
// OpenInfo rate, else GetFrameRate, else 30, as the engine counts), frontFrameRate and
// rearFrameRate are the first segment's.
//
// SeekTime(seconds) finds the segment of the time (SegmentAt) and seeks inside it to
// seconds - offset (in the inner parser's time): the current segment through its inner
// parser's seek alone; the read-ahead one by taking it over (waiting for it when it is still
// being opened); any other by opening it here with a new inner parser. A seek to a segment's
// start needs no inner seek while its first packets are in hand. Then the following segment
// is read ahead. A seek that fails leaves the position as it was.
//
// A segment that does not open is skipped (the next one that opens plays in its place); one
// whose reading fails ends there and the next goes on. Either makes LastReadEnd say kFailed at
// the drive's end (until the next Open). Format queries answer for the first segment opened;
// the segments of a drive come from one camera, with the same codecs and sound rate.
//
// Threads: the VMediaParser calls come from one thread at a time (the engine's worker);
// LastReadEnd from any thread. The read-ahead thread only touches the inner parser it
// prepares or closes; a prepared one is handed over under a lock. The factory is called on
// the caller's thread and on the read-ahead thread, possibly at the same time: it must allow
// that. Owns the inner parsers and the read-ahead thread; Stop (and the destructor) ends the
// thread.
class CTripParser final : public VMediaParser {
public:
    using Factory = std::function<std::unique_ptr<VMediaParser>()>;
    explicit CTripParser(Factory factory);
    ~CTripParser() override;
    CTripParser(const CTripParser&) = delete;
    CTripParser& operator=(const CTripParser&) = delete;

    // The drive to play (closes what is open). Offsets ascending, lengths > 0.
    void SetSegments(std::vector<TripSegment> segments);
    const std::vector<TripSegment>& Segments() const { return m_segments; }
    // The segment that plays at a drive time (µs): the last whose offset is at or before it
    // (0 before the first); -1 without segments. Pure: any thread after SetSegments.
    int SegmentAt(int64_t timeUs) const;

    // Starts the read-ahead thread (without it every segment opens on the caller's thread).
    bool Start() override;
    // Closes, then ends the read-ahead thread; Start may follow again.
    void Stop() override;
    int64_t Open(const std::string& name, OpenInfo* info) override;
    // Closes every inner parser, those the read-ahead thread holds included (waiting for an
    // open under way there to finish).
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
    // Goes on with the segment after the current one; false when none after it opens.
    bool Advance();
    // Seeks inside an open segment to drive time timeUs. 0 on success.
    int SeekInside(OpenedSegment& segment, int64_t timeUs);

    Factory m_factory;
    std::vector<TripSegment> m_segments;
    std::unique_ptr<Impl> m_impl;
};
