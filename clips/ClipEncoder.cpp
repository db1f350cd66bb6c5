#include "clips/ClipEncoder.h"

#include "clips/AvErrorText.h"
#include "clips/ClipDecoder.h"
#include "clips/ClipGraph.h"
#include "clips/ClipMuxer.h"
#include "clips/ClipSound.h"
#include "clips/ClipVideoEncoder.h"
#include "clips/OverlayText.h"
#include "ui/logic/TrackTimeline.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

namespace clips {

namespace {

constexpr size_t kMostCameras = 6;
constexpr int64_t kProgressEvery = 10; // pictures
// How long the front's pictures wait for the other cameras' first ones before the picture is
// laid out without the cameras that gave none.
constexpr int64_t kCameraWaitUs = 2000000;
// Without a sound packet by this far past the start the clip has no sound.
constexpr int64_t kSoundWaitUs = 1000000;
// Reading stops this far past the end, whatever the streams that have not reached it.
constexpr int64_t kReadPastEndUs = 3000000;
// The decoding stops with this when the export is cancelled.
constexpr int kCancelled = AVERROR_EXIT;

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// One camera of the clip on its way to the filter graph.
struct Camera {
    ClipDecoder decoder;
    std::deque<FramePtr> waiting; // pictures of the span before the graph is built
    FramePtr before;              // the latest picture before the span (not the front's)
    int64_t lastUs = kNoTimeUs;   // the time of the latest picture taken
    int input = -1;               // the graph's input; -1: not in the picture
    bool left = false;            // left out of the picture: not decoded any more
    bool done = false;            // a picture at or after the clip's end came
};

enum class Sound { kUnknown, kNone, kPresent };

// One export: the state of EncodeClip while it runs.
class Encoding {
public:
    Encoding(const EncodeInput& input, const EncodeSettings& settings, const std::string& path,
             const ProgressFn& progress, const std::atomic<bool>& cancel)
        : m_input(input), m_settings(settings), m_progress(progress), m_cancel(cancel),
          m_muxer(path), m_telemetry(input.track) {}

    EncodeOutcome Run();

private:
    bool Fail(std::string error);
    bool Failed() const { return !m_error.empty(); }
    bool Cancelled() const { return m_cancel.load(std::memory_order_relaxed); }

    int OnPicture(size_t camera, AVFrame* decoded);
    int OnSound(const MediaPacket& packet);
    // Builds the graph once every camera has a first picture, the front has waited long
    // enough, or (force) the reading ended.
    int MaybeBuild(bool force);
    int PushFront(FramePtr frame);
    int PushOther(Camera& camera, FramePtr frame);
    // Takes every picture the graph has ready to the encoder.
    int Pull();
    bool TryBegin();
    bool ReadingDone() const;
    void Report();

    const EncodeInput& m_input;
    const EncodeSettings& m_settings;
    const ProgressFn& m_progress;
    const std::atomic<bool>& m_cancel;

    int64_t m_startUs = 0;
    int64_t m_endUs = 0;
    int m_frontRate = 30;
    int64_t m_framesTotal = 0;
    std::vector<std::unique_ptr<Camera>> m_cameras;
    ClipGraph m_graph;
    OverlaySecond m_second;
    std::string m_text;
    ClipVideoEncoder m_video;
    ClipSound m_sound;
    Sound m_soundState = Sound::kNone;
    ClipMuxer m_muxer;
    TrackTimeline m_telemetry;
    int64_t m_lastPacketUs = kNoTimeUs;
    std::chrono::steady_clock::time_point m_began;
    std::string m_error;
};

bool Encoding::Fail(std::string error) {
    if (m_error.empty())
        m_error = std::move(error);
    return false;
}

EncodeOutcome Encoding::Run() {
    EncodeOutcome outcome;
    m_began = std::chrono::steady_clock::now();
    const auto finish = [&]() {
        if (Cancelled()) {
            outcome.cancelled = true;
            outcome.error.clear();
        } else {
            outcome.error =
                m_error.empty() ? std::string("the clip could not be written") : m_error;
        }
        return outcome;
    };
    VMediaParser* parser = m_input.parser;
    if (parser == nullptr || m_input.plan == nullptr) {
        m_error = "nothing to read the clip from";
        return finish();
    }
    const ClipPlan& plan = *m_input.plan;
    if (plan.endMs <= plan.startMs) {
        m_error = "the clip has no length";
        return finish();
    }
    m_startUs = plan.startMs * 1000;
    m_endUs = plan.endMs * 1000;
    const int32_t rate = parser->GetFrameRate(0);
    m_frontRate = rate > 0 ? rate : 30;
    m_framesTotal = std::max<int64_t>(1, ((m_endUs - m_startUs) * m_frontRate + 500000) / 1000000);

    // The cameras the layout shows; the others are not decoded.
    const size_t recorded = static_cast<size_t>(std::max(1, m_input.cameras));
    size_t shown = 1;
    if (m_settings.layout == Layout::kPip)
        shown = std::min<size_t>(recorded, 2);
    else if (m_settings.layout == Layout::kSide || m_settings.layout == Layout::kGrid)
        shown = std::min(recorded, kMostCameras);
    for (size_t c = 0; c < shown; ++c) {
        m_cameras.push_back(std::make_unique<Camera>());
        std::string error;
        if (!m_cameras.back()->decoder.Open(parser->GetVideoCodec(c == 0 ? 0 : 1), error)) {
            m_error = error;
            return finish();
        }
    }

    if (parser->SeekTime(static_cast<float>(static_cast<double>(plan.startMs) / 1000.0)) < 0 &&
        plan.startMs > 0) {
        m_error = "the recording could not be read from the clip's start";
        return finish();
    }
    int32_t bits = 16;
    int32_t soundRate = 0;
    if (m_settings.sound) {
        parser->GetAudioFormat(bits, soundRate);
        m_soundState = Sound::kUnknown;
    }

    std::vector<uint8_t> buffer(kPacketBufferSize);
    MediaPacket packet;
    int result = 0;
    while (result >= 0 && !Failed() && !ReadingDone()) {
        if (Cancelled())
            return finish();
        if (!parser->Read(buffer.data(), kPacketBufferSize, packet))
            break;
        if (packet.kind == NoPacket) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (packet.kind == FrontVideo || packet.kind == RearVideo) {
            const size_t c = packet.kind == FrontVideo ? 0 : static_cast<size_t>(packet.channel);
            if (packet.kind == RearVideo && packet.channel < 1)
                continue;
            if (packet.timeUs != kNoTimeUs)
                m_lastPacketUs = std::max(m_lastPacketUs, packet.timeUs);
            if (c < m_cameras.size() && !m_cameras[c]->left && !m_cameras[c]->done)
                result = m_cameras[c]->decoder.Decode(
                    packet.payload, packet.size, packet.timeUs,
                    [this, c](AVFrame* frame) { return OnPicture(c, frame); });
            if (result >= 0 && m_soundState == Sound::kUnknown && packet.timeUs != kNoTimeUs &&
                packet.timeUs > m_startUs + kSoundWaitUs) {
                m_soundState = Sound::kNone; // the recording has no sound here
                TryBegin();
            }
        } else if (packet.kind == Audio && m_soundState != Sound::kNone) {
            if (m_soundState == Sound::kUnknown) {
                std::string error;
                if (!m_sound.Open(bits, soundRate, m_startUs, m_endUs, true, error)) {
                    m_error = error;
                    return finish();
                }
                m_soundState = Sound::kPresent;
                m_muxer.Declare(ClipMuxer::kAudio, m_sound.Encoder());
                TryBegin();
            }
            result = OnSound(packet);
        }
    }
    if (Cancelled())
        return finish();
    if (result < 0 && !Failed())
        Fail("the pictures could not be decoded: " + AvErrorText(result));
    if (Failed())
        return finish();

    // The pictures the decoders hold back, then the graph's.
    for (size_t c = 0; c < m_cameras.size() && result >= 0; ++c)
        if (!m_cameras[c]->left && !m_cameras[c]->done)
            result = m_cameras[c]->decoder.Finish(
                [this, c](AVFrame* frame) { return OnPicture(c, frame); });
    if (result >= 0)
        result = MaybeBuild(true);
    if (result >= 0 && m_graph.Built()) {
        for (auto& camera : m_cameras) {
            if (camera->input < 0)
                continue;
            if (camera->before) // never reached the span: its last picture shows throughout
                result = m_graph.Push(static_cast<size_t>(camera->input), camera->before.get());
            camera->before.reset();
            if (result >= 0)
                result = m_graph.End(static_cast<size_t>(camera->input));
            if (result < 0)
                break;
        }
        if (result >= 0)
            result = Pull();
    }
    if (Cancelled())
        return finish();
    if (result < 0 && !Failed())
        Fail("the clip's picture could not be made: " + AvErrorText(result));
    if (Failed())
        return finish();
    if (m_video.Pictures() == 0) {
        m_error = "no picture of the front camera lies between the clip's marks";
        return finish();
    }
    if (m_soundState == Sound::kUnknown)
        m_soundState = Sound::kNone;
    std::string error;
    const auto writeVideo = [this](AVPacket* p) { return m_muxer.Write(ClipMuxer::kVideo, p); };
    const auto writeSound = [this](AVPacket* p) { return m_muxer.Write(ClipMuxer::kAudio, p); };
    if (!m_video.Finish(m_endUs - m_startUs, writeVideo, error) ||
        (m_soundState == Sound::kPresent && !m_sound.Finish(writeSound, error)) || !TryBegin() ||
        !m_muxer.Finish()) {
        m_error = !m_muxer.Error().empty() ? m_muxer.Error() : error;
        return finish();
    }
    if (m_video.Pictures() % kProgressEvery != 0)
        Report(); // the last pictures
    outcome.ok = true;
    outcome.frames = m_video.Pictures();
    outcome.lengthMs = m_video.LengthUs() / 1000;
    return outcome;
}

bool Encoding::ReadingDone() const {
    if (m_lastPacketUs != kNoTimeUs && m_lastPacketUs > m_endUs + kReadPastEndUs)
        return true;
    for (const auto& camera : m_cameras)
        if (!camera->left && !camera->done)
            return false;
    return m_soundState == Sound::kNone || (m_soundState == Sound::kPresent && m_sound.Full());
}

int Encoding::OnPicture(size_t c, AVFrame* decoded) {
    if (Cancelled())
        return kCancelled;
    Camera& camera = *m_cameras[c];
    const int64_t timeUs =
        decoded->pts != AV_NOPTS_VALUE ? decoded->pts : decoded->best_effort_timestamp;
    if (timeUs == AV_NOPTS_VALUE || camera.done || camera.left)
        return 0;
    if (timeUs >= m_endUs) {
        camera.done = true;
        return 0;
    }
    if (camera.lastUs != kNoTimeUs && timeUs <= camera.lastUs)
        return 0; // not after the picture before (recordings that overlap by a tick)
    if (timeUs < m_startUs && c == 0)
        return 0; // the front's pictures before the start are decoded only to reach it
    FramePtr frame(av_frame_clone(decoded));
    if (!frame)
        return AVERROR(ENOMEM);
    frame->pts = timeUs - m_startUs;
    if (timeUs < m_startUs) {
        camera.before = std::move(frame); // the picture shown at the start, until the next
        return 0;
    }
    camera.lastUs = timeUs;
    if (!m_graph.Built()) {
        camera.waiting.push_back(std::move(frame));
        return MaybeBuild(false);
    }
    return c == 0 ? PushFront(std::move(frame)) : PushOther(camera, std::move(frame));
}

int Encoding::OnSound(const MediaPacket& packet) {
    if (packet.timeUs == kNoTimeUs || packet.payload == nullptr)
        return 0;
    std::string error;
    const auto write = [this](AVPacket* p) { return m_muxer.Write(ClipMuxer::kAudio, p); };
    if (!m_sound.Add(packet.payload, packet.size, packet.timeUs, write, error)) {
        Fail(!m_muxer.Error().empty() ? m_muxer.Error() : error);
        return AVERROR_EXTERNAL;
    }
    return 0;
}

int Encoding::MaybeBuild(bool force) {
    if (m_graph.Built())
        return 0;
    Camera& front = *m_cameras[0];
    if (front.waiting.empty() && !force)
        return 0;
    bool everyCamera = true;
    for (size_t c = 1; c < m_cameras.size(); ++c)
        if (!m_cameras[c]->before && m_cameras[c]->waiting.empty())
            everyCamera = false;
    const bool waitedEnough =
        !front.waiting.empty() &&
        front.waiting.back()->pts - front.waiting.front()->pts >= kCameraWaitUs;
    if (!everyCamera && !waitedEnough && !force)
        return 0;
    if (front.waiting.empty())
        return 0; // no picture of the front in the span: nothing to lay out

    // The cameras' first pictures tell their sizes and formats.
    const auto firstOf = [](const Camera& camera) -> const AVFrame* {
        if (camera.before)
            return camera.before.get();
        return camera.waiting.empty() ? nullptr : camera.waiting.front().get();
    };
    std::vector<CameraSize> sizes;
    for (const auto& camera : m_cameras) {
        const AVFrame* first = firstOf(*camera);
        sizes.push_back(first != nullptr ? CameraSize{first->width, first->height} : CameraSize{});
    }
    const PictureLayout layout = ArrangePictures(m_settings.layout, sizes);
    std::vector<std::string> labels;
    std::vector<GraphInput> inputs;
    for (size_t k = 0; k < layout.places.size(); ++k) {
        const auto c = static_cast<size_t>(layout.places[k].camera);
        const AVFrame* first = firstOf(*m_cameras[c]);
        labels.push_back("c" + std::to_string(k));
        inputs.push_back({first->width, first->height, first->format, first->sample_aspect_ratio});
        m_cameras[c]->input = static_cast<int>(k);
    }
    const int64_t firstLineMs = (front.waiting.front()->pts + m_startUs) / 1000;
    m_second = OverlaySecondAt(*m_input.plan, firstLineMs);
    m_text = OverlayText(*m_input.plan, m_telemetry, m_second.lineMs, m_settings.units);
    const std::string description =
        FilterDescription(layout, labels, "out", m_settings.overlay, m_text);
    std::string error;
    if (!m_graph.Build(description, inputs, error)) {
        Fail("the clip's picture could not be laid out: " + error);
        return AVERROR_EXTERNAL;
    }

    // The pictures that waited, the other cameras' first (the front's then find them there).
    int result = 0;
    for (size_t c = 1; c < m_cameras.size() && result >= 0; ++c) {
        Camera& camera = *m_cameras[c];
        if (camera.input < 0) {
            camera.left = true;
            camera.waiting.clear();
            camera.before.reset();
            continue;
        }
        std::deque<FramePtr> waiting;
        waiting.swap(camera.waiting);
        for (FramePtr& frame : waiting)
            if (result >= 0)
                result = PushOther(camera, std::move(frame));
    }
    std::deque<FramePtr> waiting;
    waiting.swap(front.waiting);
    for (FramePtr& frame : waiting)
        if (result >= 0)
            result = PushFront(std::move(frame));
    return result;
}

int Encoding::PushFront(FramePtr frame) {
    if (m_settings.overlay) {
        const OverlaySecond second =
            OverlaySecondAt(*m_input.plan, (frame->pts + m_startUs) / 1000);
        if (!(second == m_second)) {
            m_second = second;
            std::string text =
                OverlayText(*m_input.plan, m_telemetry, second.lineMs, m_settings.units);
            if (text != m_text) {
                m_text = std::move(text);
                if (!m_graph.ChangeText(m_text, frame->pts)) {
                    Fail("the overlay's text could not be changed");
                    return AVERROR_EXTERNAL;
                }
            }
        }
    }
    const int result = m_graph.Push(static_cast<size_t>(m_cameras[0]->input), frame.get());
    return result < 0 ? result : Pull();
}

int Encoding::PushOther(Camera& camera, FramePtr frame) {
    const auto input = static_cast<size_t>(camera.input);
    if (camera.before) {
        // The picture current at the start goes first, so that the start does not lack it.
        const int result = m_graph.Push(input, camera.before.get());
        camera.before.reset();
        if (result < 0)
            return result;
    }
    const int result = m_graph.Push(input, frame.get());
    return result < 0 ? result : Pull();
}

int Encoding::Pull() {
    FramePtr frame(av_frame_alloc());
    if (!frame)
        return AVERROR(ENOMEM);
    const auto write = [this](AVPacket* p) { return m_muxer.Write(ClipMuxer::kVideo, p); };
    for (;;) {
        if (Cancelled())
            return kCancelled;
        const int result = m_graph.Pull(frame.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return 0;
        if (result < 0)
            return result;
        std::string error;
        if (m_video.Encoder() == nullptr) {
            if (!m_video.Open(*frame, m_frontRate, m_settings.crf, m_settings.preset, true,
                              error)) {
                Fail(error);
                return AVERROR_EXTERNAL;
            }
            m_muxer.Declare(ClipMuxer::kVideo, m_video.Encoder());
            if (!TryBegin())
                return AVERROR_EXTERNAL;
        }
        const bool coded = m_video.Encode(frame.get(), m_graph.TimeBase(), write, error);
        av_frame_unref(frame.get());
        if (!coded) {
            Fail(!m_muxer.Error().empty() ? m_muxer.Error() : error);
            return AVERROR_EXTERNAL;
        }
        if (m_video.Pictures() % kProgressEvery == 0)
            Report();
    }
}

bool Encoding::TryBegin() {
    if (m_muxer.Begun())
        return true;
    if (!m_muxer.Declared(ClipMuxer::kVideo) || m_soundState == Sound::kUnknown)
        return true; // not yet: the file's streams are not all known
    if (!m_muxer.Begin())
        return Fail(m_muxer.Error());
    return true;
}

void Encoding::Report() {
    if (!m_progress)
        return;
    ClipProgress progress;
    progress.framesDone = m_video.Pictures();
    progress.framesTotal = std::max(m_framesTotal, progress.framesDone);
    if (progress.framesDone >= kProgressEvery) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_began).count();
        progress.secondsLeft = elapsed / static_cast<double>(progress.framesDone) *
                               static_cast<double>(progress.framesTotal - progress.framesDone);
    }
    m_progress(progress);
}

} // namespace

EncodeOutcome EncodeClip(const EncodeInput& input, const EncodeSettings& settings,
                         const std::string& path, const ProgressFn& progress,
                         const std::atomic<bool>& cancel) {
    Encoding encoding(input, settings, path, progress, cancel);
    return encoding.Run();
}

} // namespace clips
