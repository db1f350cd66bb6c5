#pragma once
// Stand-ins for the parser, decoder and audio output around the player engine. Each records
// what the engine did to it, under its own lock, so tests can read it from their thread.
#include "player/api/VAudio.h"
#include "player/api/VMediaDecoder.h"
#include "player/api/VMediaParser.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// What a fake payload says about itself: its stream and the front frame (or audio block, or
// text line) number it belongs to.
struct FakePacketTag {
    char stream = 0; // 'F' front, 'R' rear, 'A' audio, 'T' text
    int32_t number = 0;
};

// A recording of `frames` front frames at `rate` fps: key frames every `rate` frames (rear key
// frames 5 frames later, so that rear non-key frames follow each front key frame), a rear
// frame after each front frame when two-channel, an audio block after every 7th front frame
// and a text line after every 10th. With cameraAudio the audio blocks are written as the
// camera writes them instead: 240 ms each, once the front frame time reaches a block's end,
// each block's samples holding its number.
struct FakeRecording {
    int32_t frames = 90;
    int32_t rate = 30;
    bool twoChannel = true;
    int32_t declaredRate = -1; // the rate Open reports; -1: the rate above
    bool cameraAudio = false;
    // A rear camera at a rate of its own (0: as the front): its frames come after the front
    // frames they follow in time, stamped with their own times, a key frame every second.
    int32_t rearRate = 0;
    // With rearRate: each rear frame comes before the front frame it follows in time, as a
    // file's decoding order puts a rear with B-frames at another rate (its key frame first).
    bool rearLeads = false;
    // Variable rate: from this front frame on, frames lie twice as far apart (0: never).
    int32_t slowFrom = 0;
    bool sound = true; // audio blocks at all
    // A car's further cameras: with more than 2, cameras 2 … cameras − 1 follow the rear frame
    // of each front frame, at the front's times, camera c's key frames at frames c, c + rate…
    // (tag streams '2' … '5'); VideoChannels tells them.
    int32_t cameras = 0;
};

class FakeParser final : public VMediaParser {
public:
    struct Packet {
        StreamKind kind;
        std::vector<uint8_t> payload;
        FakePacketTag tag;
        int64_t timeUs = 0; // as the camera's counting gives it (CountedTimes)
        int32_t channel = 0;
    };
    explicit FakeParser(FakeRecording recording);

    bool Start() override;
    void Stop() override { m_stops.fetch_add(1); }
    int64_t Open(const std::string& name, OpenInfo* info) override;
    void Close() override;
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override;
    VideoSize GetVideoSize(int) override { return {}; }
    int32_t GetFrameRate(int stream) override;
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        bits = 16;
        rate = 8000;
    }
    // Lands ten packets before the front key frame of the whole second, so the engine
    // sees rear, audio and non-key packets first.
    int SeekTime(float seconds) override;
    int VideoChannels() const override { return m_recording.cameras > 2 ? m_recording.cameras : 0; }

    // Set before use: Start or Open report failure.
    bool failStart = false;
    bool failOpen = false;
    int StartCount() const { return m_starts.load(); }
    int StopCount() const { return m_stops.load(); }

    std::vector<float> Seeks() const;
    int32_t FrontPacketsRead() const { return m_frontRead.load(); }
    int CloseCount() const { return m_closes.load(); }
    // Set when Close ran while a Read was in progress.
    bool ClosedDuringRead() const { return m_closedDuringRead.load(); }
    // Packets handed out since the last reposition, in order.
    std::vector<FakePacketTag> Delivered() const;
    const std::vector<Packet>& Packets() const { return m_packets; }

private:
    FakeRecording m_recording;
    std::vector<Packet> m_packets;
    mutable std::mutex m_mutex;
    size_t m_next = 0;
    bool m_open = false;
    std::vector<float> m_seeks;
    std::vector<FakePacketTag> m_delivered;
    std::atomic<int32_t> m_frontRead{0};
    std::atomic<int> m_closes{0};
    std::atomic<int> m_starts{0};
    std::atomic<int> m_stops{0};
    std::atomic<bool> m_inRead{false};
    std::atomic<bool> m_closedDuringRead{false};
};

class FakeDecoder final : public VMediaDecoder {
public:
    struct Shown {
        int channel;
        FakePacketTag tag;
        int32_t frontPacketsReadThen;               // the parser's count when the picture was shown
        std::chrono::steady_clock::time_point at{}; // when it was shown (or decoded)
        int64_t timeUs = kNoTimeUs;                 // the time the engine decoded it with
    };
    explicit FakeDecoder(const FakeParser* parser = nullptr) : m_parser(parser) {}
    bool Open() override;
    void Close() override { m_closes.fetch_add(1); }
    bool DecodeAndShow(int channel, VPictureArea* area, const uint8_t* bytes,
                       int32_t length) override;
    void SetContrast(int, int) override {}
    void SetBrightness(int, int) override {}
    bool SaveSnapshot(int, const std::string&) override { return true; }
    void SetFlipMode(int, int) override {}

    std::vector<Shown> ShownPictures() const;
    // Packets decoded without being shown, in order.
    std::vector<Shown> DecodedOnly() const;
    int32_t FrontShown() const { return m_frontShown.load(); }
    bool Decode(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs) override;
    // Remembers the packet, and whether the engine called it a key frame, as deferred; it
    // is never decoded.
    void Defer(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs,
               bool key) override;
    struct Deferred {
        int channel;
        FakePacketTag tag;
        bool key;
    };
    std::vector<Deferred> DeferredPackets() const;
    // No reordering: a picture's time is its packet's.
    int64_t PictureTimeUs(int channel) const override;
    // Moves the channel's last packet decoded-only to the pictures shown.
    bool Show(int channel, VPictureArea* area) override;
    // Kept pictures: the channel's last packet decoded-only moves to its kept ones; ShowKept
    // moves the oldest to the pictures shown; dropped ones go back to the decoded-only.
    bool Keep(int channel, VPictureArea* area, int64_t timeUs, bool convert) override;
    size_t KeptCount(int channel) const override;
    int64_t KeptTimeUs(int channel, size_t index) const override;
    bool ShowKept(int channel, VPictureArea* area) override;
    bool DropKept(int channel) override;
    void DropAllKept(int channel) override;
    // The most pictures the channel kept at once so far.
    size_t MostKept(int channel) const;
    void SetDecodeCost(int channel, DecodeCost cost) override;
    // The cost last set for the channel (0 … 5).
    DecodeCost CostOf(int channel) const;
    // Set before use: Open reports failure.
    bool failOpen = false;
    int OpenCount() const { return m_opens.load(); }
    int CloseCount() const { return m_closes.load(); }

private:
    const FakeParser* m_parser;
    std::atomic<int> m_opens{0};
    std::atomic<int> m_closes{0};
    mutable std::mutex m_mutex;
    std::vector<Shown> m_shown;
    std::vector<Shown> m_decodedOnly;
    std::vector<Deferred> m_deferred;
    std::atomic<int32_t> m_frontShown{0};
    static constexpr int kChannels = 6;
    int64_t m_pictureUs[kChannels] = {kNoTimeUs, kNoTimeUs, kNoTimeUs,
                                      kNoTimeUs, kNoTimeUs, kNoTimeUs}; // under m_mutex
    DecodeCost m_costs[kChannels] = {};                                 // under m_mutex
    std::deque<Shown> m_kept[kChannels];                                // under m_mutex
    size_t m_mostKept[kChannels] = {};                                  // under m_mutex
};

// Takes blocks at once and remembers their numbers, and each block's first byte and length.
class FakeAudio final : public VAudio {
public:
    bool Open(int32_t, int32_t) override;
    int Close() override;
    void Write(const uint8_t* bytes, int32_t length) override;
    void SetVolume(uint32_t) override {}
    int64_t QueuedMicros() const override { return 0; }
    void Flush() override { m_flushes.fetch_add(1); }
    std::vector<int32_t> Blocks() const;
    std::vector<std::pair<int, int32_t>> FirstBytesAndLengths() const;
    int Flushes() const { return m_flushes.load(); }
    // Set before use: Open reports failure.
    bool failOpen = false;
    // Opens that succeeded less closes since.
    int OpenNow() const { return m_open.load(); }

private:
    mutable std::mutex m_mutex;
    std::vector<int32_t> m_blocks;
    std::vector<std::pair<int, int32_t>> m_pieces;
    std::atomic<int> m_open{0};
    std::atomic<int> m_flushes{0};
};

FakePacketTag TagOf(const uint8_t* payload, int32_t size);
