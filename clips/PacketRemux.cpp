#include "clips/PacketRemux.h"

#include "clips/AlacCoder.h"
#include "clips/AvErrorText.h"
#include "clips/Mp4Writer.h"
#include "formats/AnnexB.h"
#include "sources/TripPlan.h"

extern "C" {
#include <libavcodec/bsf.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace clips {

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
// The pictures' time base in the files (MP4's usual one for video).
constexpr AVRational kVideoBase{1, 90000};

// A packet of the parser kept until the start's key frame is known.
struct HeldPicture {
    std::vector<uint8_t> data;
    int64_t timeUs = 0;
    bool key = false;
};
struct HeldSound {
    std::vector<int16_t> samples;
    int64_t timeUs = 0;
};

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// The parameter sets of a key frame (Annex B), by libavcodec's extract_extradata filter; empty
// when it carries none.
std::vector<uint8_t> ParameterSets(AVCodecID codec, const std::vector<uint8_t>& keyFrame) {
    std::vector<uint8_t> sets;
    const AVBitStreamFilter* filter = av_bsf_get_by_name("extract_extradata");
    AVBSFContext* context = nullptr;
    if (filter == nullptr || av_bsf_alloc(filter, &context) < 0)
        return sets;
    context->par_in->codec_type = AVMEDIA_TYPE_VIDEO;
    context->par_in->codec_id = codec;
    Packet packet(av_packet_alloc());
    if (packet && av_bsf_init(context) >= 0 &&
        av_new_packet(packet.get(), static_cast<int>(keyFrame.size())) >= 0) {
        std::memcpy(packet->data, keyFrame.data(), keyFrame.size());
        if (av_bsf_send_packet(context, packet.get()) >= 0 &&
            av_bsf_receive_packet(context, packet.get()) >= 0) {
            size_t size = 0;
            const uint8_t* data =
                av_packet_get_side_data(packet.get(), AV_PKT_DATA_NEW_EXTRADATA, &size);
            if (data != nullptr)
                sets.assign(data, data + size);
        }
    }
    av_bsf_free(&context);
    return sets;
}

// Whether an access unit decodes on its own: it holds an IDR slice (H.264) or an intra random
// access picture (H.265, NAL types 16 to 21). Read from the payload, as the card's own flag
// follows the camera's rule for its packets and does not hold for others.
bool DecodesAlone(AVCodecID codec, const uint8_t* unit, size_t size) {
    if (codec == AV_CODEC_ID_H264)
        return IsKeyFrame(unit, size);
    for (size_t nal = NextNalHeader(unit, size, 0); nal < size;
         nal = NextNalHeader(unit, size, nal)) {
        const int type = (unit[nal] >> 1) & 0x3F;
        if (type >= 16 && type <= 21)
            return true;
    }
    return false;
}

// One camera's file.
struct Camera {
    explicit Camera(const CameraFile& f) : file(f), writer(f.path, f.shownPath) {}
    const CameraFile& file;
    Mp4Writer writer;
    int video = -1;
    int audio = -1;
    bool started = false;
    bool done = false;
    int64_t originUs = 0;
    int64_t frameUs = 33333;
    std::vector<HeldPicture> held;
};

class ParserRemux {
public:
    ParserRemux(const std::shared_ptr<VRecordingSource>& source, const ClipPlan& plan, bool sound,
                const std::vector<CameraFile>& files, CopyProgress& progress,
                const std::atomic<bool>& cancel)
        : m_source(source), m_plan(plan), m_sound(sound), m_progress(progress), m_cancel(cancel),
          m_startUs(plan.startMs * 1000), m_endUs(plan.endMs * 1000) {
        for (const CameraFile& file : files)
            m_cameras.push_back(std::make_unique<Camera>(file));
    }

    LosslessOutcome Run() {
        if (!Read())
            return Failed();
        for (auto& camera : m_cameras) {
            if (!camera->started && !camera->held.empty() && !Commit(*camera))
                return Failed();
            if (!camera->started) {
                m_error = "no pictures of the " + CameraName(camera->file.channel) +
                          " camera in the clip (writing " + camera->file.shownPath + ")";
                return Failed();
            }
        }
        Camera& front = *m_cameras.front();
        if (m_alac && !m_alac->Finish([&](AVPacket* p) { return WriteSound(p); }))
            return Failed(m_alac->Error());
        LosslessOutcome outcome;
        for (auto& camera : m_cameras) {
            if (!camera->writer.Finish())
                return Failed(camera->writer.Error());
            outcome.pictures += camera->writer.Packets(camera->video);
        }
        outcome.ok = true;
        outcome.frames = front.writer.Packets(front.video);
        outcome.lengthMs = front.writer.EndUs(front.video) / 1000;
        outcome.startShiftMs = (m_startUs - front.originUs) / 1000;
        outcome.codec = avcodec_get_name(m_codecs.front());
        outcome.sound = front.audio >= 0 && front.writer.Packets(front.audio) > 0;
        outcome.soundCoded = outcome.sound;
        return outcome;
    }

private:
    LosslessOutcome Failed(const std::string& error = {}) {
        LosslessOutcome outcome;
        outcome.cancelled = m_cancelled;
        if (!m_cancelled)
            outcome.error = !error.empty() ? error : m_error;
        return outcome;
    }

    bool Fail(const std::string& error) {
        if (m_error.empty())
            m_error = error;
        return false;
    }

    Camera* CameraOf(int channel) {
        for (auto& camera : m_cameras)
            if (camera->file.channel == channel)
                return camera.get();
        return nullptr;
    }

    bool CamerasDone() const {
        for (const auto& camera : m_cameras)
            if (!camera->done)
                return false;
        return true;
    }

    bool AllDone() const { return CamerasDone() && (!m_soundOpen || m_soundDone); }

    bool Read() {
        m_parser = tripplan::MakeParser(m_source, m_plan.plan);
        if (!m_parser)
            return Fail("this program cannot read the recordings' packets");
        m_parser->Start();
        OpenInfo info;
        const std::string& first = m_plan.plan.segments.front().name;
        if (m_parser->Open(first, &info) == 0)
            return Fail("cannot open the recording " + first);
        for (auto& camera : m_cameras) {
            const int32_t rate = m_parser->GetFrameRate(camera->file.channel);
            camera->frameUs = rate > 0 ? 1000000 / rate : 33333;
            m_codecs.push_back(m_parser->GetVideoCodec(camera->file.channel) == VideoCodec::kHevc
                                   ? AV_CODEC_ID_HEVC
                                   : AV_CODEC_ID_H264);
        }
        int32_t bits = 0;
        m_parser->GetAudioFormat(bits, m_soundRate);
        m_soundWanted = m_sound && bits == 16 && m_soundRate > 0;
        // To the key frame at or before the start's whole second; the packets from there on
        // find the last key frame before the start.
        if (m_startUs > 0)
            (void)m_parser->SeekTime(
                static_cast<float>(static_cast<double>(m_plan.startMs) / 1000.0));
        std::vector<uint8_t> buffer(static_cast<size_t>(kPacketBufferSize));
        MediaPacket packet;
        while (!AllDone()) {
            if (m_cancel.load(std::memory_order_relaxed)) {
                m_cancelled = true;
                return false;
            }
            if (!m_parser->Read(buffer.data(), kPacketBufferSize, packet)) {
                if (m_parser->LastReadEnd() == ReadEnd::kFailed)
                    return Fail("the recordings could not be read to the clip's end (damaged "
                                "data on the card)");
                break; // the drive ends before the clip's end
            }
            if (packet.kind == FrontVideo || packet.kind == RearVideo) {
                // The sound that is still wanted lies before pictures a second past the end.
                if (CamerasDone() && packet.timeUs >= m_endUs + 1000000)
                    break;
                Camera* camera = CameraOf(packet.kind == FrontVideo ? 0 : packet.channel);
                if (camera == nullptr || camera->done)
                    continue;
                const auto size = static_cast<size_t>(std::max(packet.size, 0));
                const bool key = DecodesAlone(CodecOf(*camera), packet.payload, size);
                if (!TakePicture(
                        *camera,
                        HeldPicture{{packet.payload, packet.payload + size}, packet.timeUs, key}))
                    return false;
            } else if (packet.kind == Audio && m_soundWanted && packet.timeUs != kNoTimeUs) {
                HeldSound sound{std::vector<int16_t>(static_cast<size_t>(packet.size) / 2),
                                packet.timeUs};
                std::memcpy(sound.samples.data(), packet.payload, sound.samples.size() * 2);
                if (!TakeSound(std::move(sound)))
                    return false;
            }
        }
        m_parser->Stop();
        return true;
    }

    bool TakePicture(Camera& camera, HeldPicture picture) {
        if (camera.started)
            return WritePicture(camera, picture);
        if (picture.key && picture.timeUs <= m_startUs) {
            camera.held.clear(); // a later key frame at or before the start
            camera.held.push_back(std::move(picture));
            return true;
        }
        if (camera.held.empty()) {
            if (!picture.key)
                return true;
            camera.held.push_back(std::move(picture)); // the first key frame, after the start
            return Commit(camera);
        }
        const bool past = picture.timeUs > m_startUs;
        camera.held.push_back(std::move(picture));
        return past ? Commit(camera) : true;
    }

    bool Commit(Camera& camera) {
        HeldPicture& key = camera.held.front();
        const AVCodecID codec = CodecOf(camera);
        const std::vector<uint8_t> sets = ParameterSets(codec, key.data);
        if (sets.empty())
            return Fail("the first key frame of the " + CameraName(camera.file.channel) +
                        " camera carries no parameter sets");
        AVCodecParameters* parameters = avcodec_parameters_alloc();
        if (parameters == nullptr)
            return Fail(AvErrorText(AVERROR(ENOMEM)));
        parameters->codec_type = AVMEDIA_TYPE_VIDEO;
        parameters->codec_id = codec;
        const VideoSize size = m_parser->GetVideoSize(camera.file.channel);
        parameters->width = size.width;
        parameters->height = size.height;
        parameters->extradata =
            static_cast<uint8_t*>(av_mallocz(sets.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (parameters->extradata != nullptr) {
            std::memcpy(parameters->extradata, sets.data(), sets.size());
            parameters->extradata_size = static_cast<int>(sets.size());
        }
        camera.video = camera.writer.AddStream(parameters, kVideoBase);
        avcodec_parameters_free(&parameters);
        if (camera.video < 0)
            return Fail(camera.writer.Error());
        camera.originUs = key.timeUs;
        camera.started = true;
        const bool front = &camera == m_cameras.front().get();
        if (front && m_soundWanted && !OpenSound(camera))
            return false;
        if (!camera.writer.Begin())
            return Fail(camera.writer.Error());
        std::vector<HeldPicture> held = std::move(camera.held);
        camera.held.clear();
        for (const HeldPicture& picture : held)
            if (!WritePicture(camera, picture))
                return false;
        if (front) {
            std::vector<HeldSound> sound = std::move(m_heldSound);
            m_heldSound.clear();
            for (HeldSound& block : sound)
                if (!CodeSound(block))
                    return false;
        }
        return true;
    }

    AVCodecID CodecOf(const Camera& camera) const {
        for (size_t k = 0; k < m_cameras.size(); ++k)
            if (m_cameras[k].get() == &camera)
                return m_codecs[k];
        return AV_CODEC_ID_H264;
    }

    bool WritePicture(Camera& camera, const HeldPicture& picture) {
        if (picture.timeUs >= m_endUs) {
            camera.done = true;
            return true;
        }
        Packet packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(picture.data.size())) < 0)
            return Fail(AvErrorText(AVERROR(ENOMEM)));
        std::memcpy(packet->data, picture.data.data(), picture.data.size());
        packet->pts = av_rescale_q(picture.timeUs - camera.originUs, kMicroseconds, kVideoBase);
        packet->dts = packet->pts;
        packet->duration = av_rescale_q(camera.frameUs, kMicroseconds, kVideoBase);
        if (picture.key)
            packet->flags |= AV_PKT_FLAG_KEY;
        if (!camera.writer.Write(packet.get(), camera.video))
            return Fail(camera.writer.Error());
        m_progress.Picture();
        return true;
    }

    bool OpenSound(Camera& front) {
        m_alac = std::make_unique<AlacCoder>();
        if (!m_alac->Open(m_soundRate))
            return Fail(m_alac->Error());
        AVCodecParameters* parameters = avcodec_parameters_alloc();
        if (parameters == nullptr ||
            avcodec_parameters_from_context(parameters, m_alac->Context()) < 0) {
            avcodec_parameters_free(&parameters);
            return Fail(AvErrorText(AVERROR(ENOMEM)));
        }
        front.audio = front.writer.AddStream(parameters, AVRational{1, m_soundRate});
        avcodec_parameters_free(&parameters);
        if (front.audio < 0)
            return Fail(front.writer.Error());
        m_soundOpen = true;
        m_soundEnd = SampleAt(m_endUs, front.originUs);
        return true;
    }

    // The sample of the sound file at a line time.
    int64_t SampleAt(int64_t timeUs, int64_t originUs) const {
        return static_cast<int64_t>(
            std::llround(static_cast<double>(timeUs - originUs) * m_soundRate / 1e6));
    }

    bool TakeSound(HeldSound block) {
        if (!m_soundOpen) {
            if (m_cameras.front()->started)
                return true; // the front's file has no sound
            m_heldSound.push_back(std::move(block));
            return true;
        }
        return CodeSound(block);
    }

    // Places a block on the sound file's samples: a hole before it (between recordings) is
    // filled with silence, samples before the file's start or already coded are left out.
    bool CodeSound(const HeldSound& block) {
        if (m_soundDone)
            return true;
        const int64_t at = SampleAt(block.timeUs, m_cameras.front()->originUs);
        const int64_t next = m_alac->SamplesAdded();
        const int64_t slack = m_soundRate / 50; // 20 ms: the blocks' times are counted
        int64_t skip = 0;
        if (at > next + slack) {
            const std::vector<int16_t> silence(static_cast<size_t>(std::min(at, m_soundEnd) - next),
                                               0);
            if (!AddSamples(silence.data(), silence.size()))
                return false;
        } else if (at < next - slack || at < 0) {
            skip = std::max(next, int64_t{0}) - at;
        }
        const auto count = static_cast<int64_t>(block.samples.size());
        if (skip >= count)
            return true;
        const int64_t room = m_soundEnd - m_alac->SamplesAdded();
        const int64_t take = std::min(count - skip, room);
        if (take > 0 && !AddSamples(block.samples.data() + skip, static_cast<size_t>(take)))
            return false;
        if (m_alac->SamplesAdded() >= m_soundEnd)
            m_soundDone = true;
        return true;
    }

    bool AddSamples(const int16_t* samples, size_t count) {
        if (!m_alac->Add(samples, count, [&](AVPacket* p) { return WriteSound(p); }))
            return Fail(m_error.empty() ? m_alac->Error() : m_error);
        return true;
    }

    bool WriteSound(AVPacket* packet) {
        Camera& front = *m_cameras.front();
        if (!front.writer.Write(packet, front.audio))
            return Fail(front.writer.Error());
        return true;
    }

    const std::shared_ptr<VRecordingSource>& m_source;
    const ClipPlan& m_plan;
    const bool m_sound;
    CopyProgress& m_progress;
    const std::atomic<bool>& m_cancel;
    const int64_t m_startUs;
    const int64_t m_endUs;

    std::unique_ptr<CTripParser> m_parser;
    std::vector<std::unique_ptr<Camera>> m_cameras;
    std::vector<AVCodecID> m_codecs;
    int32_t m_soundRate = 0;
    bool m_soundWanted = false;
    bool m_soundOpen = false;
    bool m_soundDone = false;
    int64_t m_soundEnd = 0; // the sound file's samples up to the clip's end
    std::unique_ptr<AlacCoder> m_alac;
    std::vector<HeldSound> m_heldSound; // before the front's start is known
    bool m_cancelled = false;
    std::string m_error;
};

} // namespace

LosslessOutcome RemuxParserPackets(const std::shared_ptr<VRecordingSource>& source,
                                   const ClipPlan& plan, bool sound,
                                   const std::vector<CameraFile>& files, CopyProgress& progress,
                                   const std::atomic<bool>& cancel) {
    if (files.empty()) {
        LosslessOutcome outcome;
        outcome.error = "no camera to copy";
        return outcome;
    }
    ParserRemux remux(source, plan, sound, files, progress, cancel);
    return remux.Run();
}

} // namespace clips
