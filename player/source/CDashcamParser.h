#pragma once

#include "player/api/VMediaParser.h"
#include "storage/FolderScanner.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Reads the recordings of dash-cam folders (ordinary MP4, MOV or MPEG-TS files, one per
// camera) through libavformat, for the engine and the tools.
//
// Open takes a recording's name (from the list given with SetRecordings) or the path of one
// video file. The files of its pictures (DashcamRecording::Pictures: a car's cameras, up to
// kMaxCameras, else the first and second picture) are read side by side and their packets
// handed out in decoding-time order: video as Annex B access units (channel c for the c-th
// picture file, 0 the front as FrontVideo, 1 and above as RearVideo; H.264 or H.265 as the
// stream says, with the container's key-frame flags and presentation times), and the sound of
// the first picture's file (else the next one's that has sound) decoded and resampled to 16-bit
// mono at the file's own rate in blocks of VAudio::kBlockBytes, each at the time of its first
// sample. No text packets: the recording's telemetry (side files and data embedded in the
// video) is not read here; whoever shows it reads it from the recording's files
// (RecordingTelemetry). Each file's times count from its own first video time, so every camera
// starts with the front (sound that starts earlier has negative times); when a file's
// container carries a creation time that differs from the front file's (by at most a minute)
// that file starts that much later. SeekTime moves every file to the key frame at or before
// the time.
//
// A file that does not open (an MP4 whose index a power cut never wrote) or that ends in the
// middle (a cut TS file) plays as far as it can be read: reads then end with kFailed. Open
// fails (0) only when not one picture file opens. Damaged() tells, after Open, whether a file
// was found damaged (QuickDuration) or did not open.
//
// No thread of its own: everything runs on the caller's thread, one caller at a time. Owns the
// demuxers, filters, the sound decoder and resampler of the open recording.
class CDashcamParser final : public VMediaParser {
public:
    CDashcamParser();
    ~CDashcamParser() override;
    CDashcamParser(const CDashcamParser&) = delete;
    CDashcamParser& operator=(const CDashcamParser&) = delete;

    // The recordings Open finds by name (a folder's scan).
    void SetRecordings(std::vector<DashcamRecording> recordings);

    bool Start() override { return true; }
    void Stop() override { Close(); }

    int64_t Open(const std::string& nameOrPath, OpenInfo* info) override;
    void Close() override;

    // False at the end (see LastReadEnd). A video packet larger than the buffer is left out.
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override;
    ReadEnd LastReadEnd() const override { return m_lastEnd; }

    // The most picture files one recording plays.
    static constexpr int kMaxCameras = 6;

    // Streams 0 … kMaxCameras − 1, as the channels are numbered.
    VideoSize GetVideoSize(int stream) override;
    // Whole frames per second, rounded (29.97 reads as 30); 0 for no such stream.
    int32_t GetFrameRate(int stream) override;
    // 16 bits at the sound's own rate (8000 when the recording has no sound).
    void GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) override;

    // 0 on success, -1 for a time that is not a number, or with nothing open.
    int SeekTime(float seconds) override;

    VideoCodec GetVideoCodec(int stream) override;
    // The channels up to the last picture file that opened (a file in between that did not
    // open delivers nothing); 0 with nothing open.
    int VideoChannels() const override;

    // What Open found.
    bool Damaged() const { return m_damaged; }
    double DurationSeconds() const { return m_duration; }
    const DashcamRecording& Recording() const { return m_recording; }

private:
    class Input;
    Input* InputOf(int stream) const;

    std::vector<DashcamRecording> m_recordings;
    DashcamRecording m_recording;
    std::array<std::unique_ptr<Input>, kMaxCameras> m_inputs; // by channel
    bool m_open = false;
    bool m_damaged = false;
    double m_duration = 0;
    int32_t m_audioRate = 8000;
    ReadEnd m_lastEnd = ReadEnd::kEnded;
};
