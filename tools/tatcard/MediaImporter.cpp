#include "MediaImporter.h"

#include "AudioInput.h"
#include "ErrorReport.h"
#include "NmeaLog.h"
#include "VideoInput.h"
#include "storage/RecordingName.h"

#include <memory>

namespace {

// The sources opened, each with its first picture in hand.
struct Opened {
    CVideoInput front;
    CVideoInput rear;
    CAudioInput sound;
    std::vector<TimedGpsLine> gps;
    EncodedFrame frontFrame;
    EncodedFrame rearFrame;
};

bool OpenVideo(const std::string& path, int threads, CVideoInput& video, EncodedFrame& first,
               std::string* error) {
    if (!video.Open(path, threads, error))
        return false;
    bool got = false;
    if (!video.Next(first, got, error))
        return false;
    return got ? true : Fail(error, "no pictures in " + path);
}

// Writes the packets frame by frame; false (with error set) when reading a source or
// writing fails.
class CImportOrder {
public:
    CImportOrder(Opened& in, bool twoChannel, int frameRate, VRecordingSink& sink,
                 ImportResult& result)
        : m_in(in), m_twoChannel(twoChannel), m_frameRate(frameRate), m_sink(sink),
          m_result(result) {}

    bool Run(std::string* error) {
        bool haveFront = true;
        bool haveRear = m_twoChannel;
        bool haveSound = m_in.sound.HasSound();
        size_t nextLine = 0;
        for (int frame = 0; haveFront; ++frame) {
            if (!Add(Type(m_in.frontFrame), 0, m_in.frontFrame.data, error))
                return false;
            ++m_result.frontFrames;
            if (haveRear) {
                if (!Add(Type(m_in.rearFrame), 1, m_in.rearFrame.data, error))
                    return false;
                ++m_result.rearFrames;
                if (!m_in.rear.Next(m_in.rearFrame, haveRear, error))
                    return false;
            }
            const int due = AudioBlocksDue(frame, m_frameRate);
            while (haveSound && m_result.audioBlocks < due) {
                if (!m_in.sound.NextBlock(m_block, haveSound, error))
                    return false;
                if (!haveSound)
                    break;
                if (!Add(tat::Audio, 0, m_block, error))
                    return false;
                ++m_result.audioBlocks;
            }
            // A line is due once the frame's time (frame * 1000 / rate ms) has reached it.
            const int64_t frameTime = static_cast<int64_t>(frame) * 1000;
            while (nextLine < m_in.gps.size() &&
                   m_in.gps[nextLine].milliseconds * m_frameRate <= frameTime) {
                const std::string& line = m_in.gps[nextLine++].line;
                if (!m_sink.Add(tat::Text, 0, reinterpret_cast<const uint8_t*>(line.data()),
                                static_cast<uint32_t>(line.size())))
                    return Fail(error, m_sink.Error());
                ++m_result.gpsLines;
            }
            if (!m_in.front.Next(m_in.frontFrame, haveFront, error))
                return false;
        }
        return true;
    }

private:
    static uint8_t Type(const EncodedFrame& frame) {
        return frame.keyFrame ? tat::VideoKeyFrame : tat::VideoFrame;
    }

    bool Add(uint8_t type, uint8_t channel, const std::vector<uint8_t>& payload,
             std::string* error) {
        if (payload.size() > tat::kMaxPacketSize)
            return Fail(error, "a picture of " + std::to_string(payload.size()) +
                                   " bytes is more than a recording can hold");
        if (!m_sink.Add(type, channel, payload.data(), static_cast<uint32_t>(payload.size())))
            return Fail(error, m_sink.Error());
        return true;
    }

    Opened& m_in;
    bool m_twoChannel;
    int m_frameRate;
    VRecordingSink& m_sink;
    ImportResult& m_result;
    std::vector<uint8_t> m_block;
};

} // namespace

bool ImportRecording(const std::string& name, const ImportSources& sources, VRecordingSink& sink,
                     ImportResult* result, std::string* error, int encoderThreads) {
    tat::RecordingName parsed;
    if (!tat::ParseRecordingName(name, parsed, error))
        return false;
    const bool twoChannel = !sources.rear.empty();
    if (parsed.twoChannel != twoChannel)
        return Fail(error, twoChannel ? name + " names a front-only recording (_S) but a rear "
                                               "video is given; name it _D"
                                      : name + " names a two-channel recording (_D) but no "
                                               "rear video is given; name it _S");

    auto in = std::make_unique<Opened>();
    if (!sources.gpsLog.empty() && !ReadGpsLog(sources.gpsLog, in->gps, error))
        return false;
    if (!OpenVideo(sources.front, encoderThreads, in->front, in->frontFrame, error))
        return false;
    if (twoChannel && !OpenVideo(sources.rear, encoderThreads, in->rear, in->rearFrame, error))
        return false;
    if (!in->sound.Open(sources.front, in->front.StartSeconds(), error))
        return false;

    tat::InfoBlock info;
    info.category = static_cast<uint8_t>(parsed.category);
    info.channels = twoChannel ? 2 : 1;
    info.frontFrameRate = static_cast<uint8_t>(in->front.FrameRate());
    info.rearFrameRate = twoChannel ? static_cast<uint8_t>(in->rear.FrameRate()) : 0;
    info.audioRate = kAudioRate;
    info.audioBits = 16;
    info.startTime = parsed.start.ToSeconds(); // the camera's clock, read as UTC
    info.frontWidth = static_cast<uint16_t>(in->front.Width());
    info.frontHeight = static_cast<uint16_t>(in->front.Height());
    info.rearWidth = twoChannel ? static_cast<uint16_t>(in->rear.Width()) : 0;
    info.rearHeight = twoChannel ? static_cast<uint16_t>(in->rear.Height()) : 0;

    ImportResult counted;
    counted.frontCopied = in->front.Copying();
    counted.rearCopied = twoChannel && in->rear.Copying();
    if (!sink.Begin(name, info))
        return Fail(error, sink.Error());
    CImportOrder order(*in, twoChannel, in->front.FrameRate(), sink, counted);
    if (!order.Run(error)) {
        sink.Discard(); // a failed import leaves nothing behind, so it can be run again
        return false;
    }
    if (!sink.Finish())
        return Fail(error, sink.Error());
    if (result != nullptr)
        *result = counted;
    return true;
}
