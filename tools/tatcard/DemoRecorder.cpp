#include "DemoRecorder.h"

#include "DemoScene.h"
#include "ErrorReport.h"
#include "H264Encoder.h"

#include <deque>
#include <vector>

namespace {

constexpr double kPixelsPerMetre = 8.0; // how far the road moves in the front picture

// Keeps the order of the packets of one recording and writes them to the sink.
class CPacketOrder {
public:
    CPacketOrder(const RecordingPlan& plan, const CDrive& drive, const DemoFormat& format,
                 VRecordingSink& sink)
        : m_plan(plan), m_drive(drive), m_format(format), m_sink(sink) {}

    bool WriteFrame(int frame, const EncodedFrame& front, const EncodedFrame* rear) {
        if (!Add(front.keyFrame ? tat::VideoKeyFrame : tat::VideoFrame, 0, front.data))
            return false;
        if (rear != nullptr &&
            !Add(rear->keyFrame ? tat::VideoKeyFrame : tat::VideoFrame, 1, rear->data))
            return false;
        const int due = AudioBlocksDue(frame, m_format.framesPerSecond);
        for (; m_audioBlocks < due; ++m_audioBlocks) {
            if (!Add(tat::Audio, 0, AudioBlock(m_audioBlocks)))
                return false;
        }
        const int fps = m_format.framesPerSecond;
        if (frame % fps == 0) {
            const std::string gps = GpsLine(m_plan, m_drive, frame / fps);
            if (!Add(tat::Text, 0, std::vector<uint8_t>(gps.begin(), gps.end())))
                return false;
        }
        const int sensorEvery = std::max(1, fps / kSensorRate);
        if (frame % sensorEvery == 0) {
            const auto line = SensorLine(m_plan, frame / sensorEvery);
            if (!m_sink.Add(tat::Text, 0, line.data(), static_cast<uint32_t>(line.size())))
                return false;
        }
        return true;
    }

private:
    bool Add(uint8_t type, uint8_t channel, const std::vector<uint8_t>& payload) {
        return m_sink.Add(type, channel, payload.data(), static_cast<uint32_t>(payload.size()));
    }

    const RecordingPlan& m_plan;
    const CDrive& m_drive;
    const DemoFormat& m_format;
    VRecordingSink& m_sink;
    int m_audioBlocks = 0;
};

} // namespace

tat::InfoBlock CDemoRecorder::InfoFor(const RecordingPlan& plan) const {
    tat::InfoBlock info;
    info.category = static_cast<uint8_t>(std::max(0, tat::CategoryFromName(plan.name)));
    info.channels = plan.twoChannel ? 2 : 1;
    info.frontFrameRate = static_cast<uint8_t>(m_format.framesPerSecond);
    info.rearFrameRate = plan.twoChannel ? static_cast<uint8_t>(m_format.framesPerSecond) : 0;
    info.audioRate = kAudioRate;
    info.audioBits = 16;
    info.startTime = plan.start.ToSeconds();
    info.frontWidth = static_cast<uint16_t>(m_format.frontWidth);
    info.frontHeight = static_cast<uint16_t>(m_format.frontHeight);
    info.rearWidth = plan.twoChannel ? static_cast<uint16_t>(m_format.rearWidth) : 0;
    info.rearHeight = plan.twoChannel ? static_cast<uint16_t>(m_format.rearHeight) : 0;
    return info;
}

bool CDemoRecorder::Record(const RecordingPlan& plan, VRecordingSink& sink,
                           std::string* error) const {
    const int fps = m_format.framesPerSecond;
    CH264Encoder frontEncoder;
    CH264Encoder rearEncoder;
    if (!frontEncoder.Open(m_format.frontWidth, m_format.frontHeight, fps, m_encoderThreads, error))
        return false;
    if (plan.twoChannel &&
        !rearEncoder.Open(m_format.rearWidth, m_format.rearHeight, fps, m_encoderThreads, error))
        return false;
    if (!sink.Begin(plan.name, InfoFor(plan)))
        return Fail(error, plan.name + ": " + sink.Error());
    if (!RecordBegun(plan, sink, frontEncoder, rearEncoder, error)) {
        sink.Abandon(false);
        return false;
    }
    return true;
}

bool CDemoRecorder::RecordBegun(const RecordingPlan& plan, VRecordingSink& sink,
                                CH264Encoder& frontEncoder, CH264Encoder& rearEncoder,
                                std::string* error) const {
    const int fps = m_format.framesPerSecond;
    const int frames = plan.seconds * fps;

    const CDrive drive(plan);
    const CDemoScene frontScene(m_format.frontWidth, m_format.frontHeight, plan.variant);
    const CDemoScene rearScene(m_format.rearWidth, m_format.rearHeight, plan.variant + 7777u);
    YuvPicture frontPicture(m_format.frontWidth, m_format.frontHeight);
    YuvPicture rearPicture(m_format.rearWidth, m_format.rearHeight);
    CPacketOrder order(plan, drive, m_format, sink);

    // The encoders may finish pictures late; a frame is written once both channels have it.
    std::vector<EncodedFrame> frontDone;
    std::vector<EncodedFrame> rearDone;
    std::deque<EncodedFrame> frontQueue;
    std::deque<EncodedFrame> rearQueue;
    int written = 0;
    auto writeReady = [&]() {
        for (EncodedFrame& f : frontDone)
            frontQueue.push_back(std::move(f));
        for (EncodedFrame& r : rearDone)
            rearQueue.push_back(std::move(r));
        frontDone.clear();
        rearDone.clear();
        while (!frontQueue.empty() && (!plan.twoChannel || !rearQueue.empty())) {
            if (!order.WriteFrame(written, frontQueue.front(),
                                  plan.twoChannel ? &rearQueue.front() : nullptr))
                return Fail(error, plan.name + ": " + sink.Error());
            frontQueue.pop_front();
            if (plan.twoChannel)
                rearQueue.pop_front();
            ++written;
        }
        return true;
    };

    for (int f = 0; f < frames; ++f) {
        const bool flash = f % fps == 0;
        const double metres = drive.Distance(static_cast<double>(f) / fps) - plan.routeStart;
        const auto travel = static_cast<int64_t>(metres * kPixelsPerMetre);
        if (!flash)
            frontScene.Render(travel, frontPicture);
        DrawCaption(frontPicture, plan.name, f, fps, flash);
        if (!frontEncoder.Encode(frontPicture, frontDone, error))
            return false;
        if (plan.twoChannel) {
            if (!flash)
                rearScene.Render(-travel * m_format.rearHeight / m_format.frontHeight, rearPicture);
            DrawCaption(rearPicture, plan.name, f, fps, flash);
            if (!rearEncoder.Encode(rearPicture, rearDone, error))
                return false;
        }
        if (!writeReady())
            return false;
    }
    if (!frontEncoder.Flush(frontDone, error) ||
        (plan.twoChannel && !rearEncoder.Flush(rearDone, error)) || !writeReady())
        return false;
    if (written != frames || !frontQueue.empty() || !rearQueue.empty())
        return Fail(error, plan.name + ": the encoder lost pictures");

    if (plan.cutOff) {
        sink.Abandon(true);
        return true;
    }
    if (!sink.Finish())
        return Fail(error, plan.name + ": " + sink.Error());
    return true;
}
