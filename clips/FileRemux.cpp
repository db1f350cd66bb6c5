#include "clips/FileRemux.h"

#include "clips/AvErrorText.h"
#include "clips/Mp4Writer.h"
#include "sources/FolderSource.h"

#include <algorithm>
#include <memory>
#include <string>

namespace clips {

namespace {

constexpr AVRational kMicroseconds{1, 1000000};

struct InputCloser {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// A packet read and not yet written: its times moved to the drive's line (µs), its duration in
// µs.
struct Held {
    Packet packet;
    bool video = false;
};

// What the first file of a camera set for the whole copy.
struct Coding {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> extradata;

    static Coding Of(const AVCodecParameters* p) {
        Coding c;
        c.codec = p->codec_id;
        c.width = p->width;
        c.height = p->height;
        if (p->extradata != nullptr && p->extradata_size > 0)
            c.extradata.assign(p->extradata, p->extradata + p->extradata_size);
        return c;
    }
    bool operator==(const Coding&) const = default;
};

// Sound parameters that must agree for one stream of the output.
bool SameSound(const AVCodecParameters* a, const AVCodecParameters* b) {
    return a->codec_id == b->codec_id && a->sample_rate == b->sample_rate &&
           a->ch_layout.nb_channels == b->ch_layout.nb_channels &&
           a->extradata_size == b->extradata_size &&
           (a->extradata_size == 0 ||
            std::equal(a->extradata, a->extradata + a->extradata_size, b->extradata));
}

// One camera's copy through the drive's files.
class CameraRemux {
public:
    CameraRemux(const FolderSource& source, const ClipPlan& plan, bool sound,
                const CameraFile& file, CopyProgress& progress, const std::atomic<bool>& cancel)
        : m_source(source), m_plan(plan), m_sound(sound), m_file(file), m_progress(progress),
          m_cancel(cancel), m_out(file.path, file.shownPath), m_startUs(plan.startMs * 1000),
          m_endUs(plan.endMs * 1000) {}

    LosslessOutcome Run() {
        for (const ClipPart& part : m_plan.parts) {
            if (m_videoDone)
                break;
            if (!CopyPart(part))
                return Failed();
        }
        if (!m_started && !m_held.empty() && !Commit())
            return Failed();
        if (!m_started) {
            m_error = "no pictures of the " + CameraName(m_file.channel) +
                      " camera in the clip (writing " + m_file.shownPath + ")";
            return Failed();
        }
        if (!m_out.Finish())
            return Failed();
        LosslessOutcome outcome;
        outcome.ok = true;
        outcome.frames = m_out.Packets(m_video);
        outcome.pictures = outcome.frames;
        outcome.lengthMs = m_out.EndUs(m_video) / 1000;
        outcome.startShiftMs = (m_startUs - m_originUs) / 1000;
        outcome.codec = avcodec_get_name(m_coding.codec);
        outcome.sound = m_audio >= 0 && m_out.Packets(m_audio) > 0;
        return outcome;
    }

private:
    LosslessOutcome Failed() {
        LosslessOutcome outcome;
        outcome.cancelled = m_cancelled;
        if (!m_cancelled)
            outcome.error = !m_error.empty() ? m_error : m_out.Error();
        return outcome;
    }

    bool Cancelled() {
        if (m_cancel.load(std::memory_order_relaxed))
            m_cancelled = true;
        return m_cancelled;
    }

    // Reads one recording's file of this camera and copies what of it lies in the clip.
    bool CopyPart(const ClipPart& part) {
        const DashcamRecording* recording = m_source.Recording(part.recording);
        if (recording == nullptr) {
            m_error = "the recording " + part.recording + " is gone from the source";
            return false;
        }
        const std::string& path = recording->channels[static_cast<size_t>(m_file.channel)];
        if (path.empty())
            return true; // the camera has no file in this recording: a hole in its copy
        AVFormatContext* opened = nullptr;
        int result = avformat_open_input(&opened, path.c_str(), nullptr, nullptr);
        if (result < 0)
            return Refuse(result, path);
        Input input(opened);
        result = avformat_find_stream_info(input.get(), nullptr);
        if (result < 0)
            return Refuse(result, path);
        const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (video < 0)
            return Refuse(video, path);
        int audio = -1;
        if (m_sound) {
            audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
            if (audio >= 0 && !Mp4Writer::Holds(input->streams[audio]->codecpar->codec_id))
                audio = -1; // MP4 cannot hold it (PCM): the copy goes without sound
        }
        if (!TakeStreams(*input, video, audio, path))
            return false;
        const AVStream* pictures = input->streams[video];
        const int64_t fileStart = pictures->start_time != AV_NOPTS_VALUE ? pictures->start_time : 0;
        // Where a time of this file lies on the drive's line.
        const int64_t shiftUs =
            part.lineStartMs * 1000 - av_rescale_q(fileStart, pictures->time_base, kMicroseconds);
        if (!m_started) {
            // To the key frame at or before the start (the candidates are looked at below).
            const int64_t target =
                fileStart + av_rescale_q(std::max<int64_t>(m_startUs - part.lineStartMs * 1000, 0),
                                         kMicroseconds, pictures->time_base);
            if (av_seek_frame(input.get(), video, target, AVSEEK_FLAG_BACKWARD) < 0)
                av_seek_frame(input.get(), video, fileStart, AVSEEK_FLAG_BACKWARD);
        }
        Packet packet(av_packet_alloc());
        if (!packet)
            return Refuse(AVERROR(ENOMEM), path);
        for (;;) {
            if (Cancelled())
                return false;
            result = av_read_frame(input.get(), packet.get());
            if (result == AVERROR_EOF)
                break;
            if (result < 0) {
                // Damage that stops the file: the clip's span could not be read whole.
                if (m_videoDone)
                    break;
                return Refuse(result, path);
            }
            const bool isVideo = packet->stream_index == video;
            if (!isVideo && (packet->stream_index != audio || m_audio < 0 || !m_audioFits)) {
                av_packet_unref(packet.get());
                continue;
            }
            const AVRational base = input->streams[packet->stream_index]->time_base;
            if (packet->pts == AV_NOPTS_VALUE)
                packet->pts = packet->dts;
            if (packet->dts == AV_NOPTS_VALUE)
                packet->dts = packet->pts;
            if (packet->pts == AV_NOPTS_VALUE) {
                av_packet_unref(packet.get());
                continue; // a packet with no time cannot be placed
            }
            packet->pts = av_rescale_q(packet->pts, base, kMicroseconds) + shiftUs;
            packet->dts = av_rescale_q(packet->dts, base, kMicroseconds) + shiftUs;
            packet->duration = av_rescale_q(packet->duration, base, kMicroseconds);
            Held held{Packet(av_packet_clone(packet.get())), isVideo};
            av_packet_unref(packet.get());
            if (!held.packet)
                return Refuse(AVERROR(ENOMEM), path);
            if (!Take(std::move(held)))
                return false;
            if (m_videoDone && (m_audio < 0 || !m_audioFits || m_audioDone))
                break;
        }
        return true;
    }

    bool Refuse(int error, const std::string& path) {
        m_error = AvErrorText(error) + " (reading " + path + ")";
        return false;
    }

    // Declares the output's streams from the camera's first file; checks that a later file is
    // coded alike.
    bool TakeStreams(const AVFormatContext& input, int video, int audio, const std::string& path) {
        const AVCodecParameters* pictures = input.streams[video]->codecpar;
        if (m_video < 0) {
            m_coding = Coding::Of(pictures);
            m_video = m_out.AddStream(pictures, input.streams[video]->time_base);
            if (m_video < 0)
                return false;
            if (audio >= 0) {
                m_audio = m_out.AddStream(input.streams[audio]->codecpar,
                                          input.streams[audio]->time_base);
                if (m_audio < 0)
                    return false;
                m_soundParameters.reset(avcodec_parameters_alloc());
                if (!m_soundParameters ||
                    avcodec_parameters_copy(m_soundParameters.get(),
                                            input.streams[audio]->codecpar) < 0)
                    return Refuse(AVERROR(ENOMEM), path);
            }
            m_videoBase = input.streams[video]->time_base;
            if (audio >= 0)
                m_audioBase = input.streams[audio]->time_base;
            m_audioFits = audio >= 0;
            return true;
        }
        if (!(Coding::Of(pictures) == m_coding)) {
            m_error = "the recordings of the drive are coded differently (" + path +
                      "): copy them one at a time";
            return false;
        }
        // Sound that does not match the first file's is left out of this part.
        m_audioFits = audio >= 0 && m_audio >= 0 &&
                      SameSound(input.streams[audio]->codecpar, m_soundParameters.get());
        m_audioDone = false;
        return true;
    }

    // A packet of the camera's file in line time: held until the start's key frame is known,
    // then written while it lies in the clip.
    bool Take(Held held) {
        if (m_started)
            return Emit(std::move(held));
        AVPacket& p = *held.packet;
        const bool key = held.video && (p.flags & AV_PKT_FLAG_KEY) != 0;
        if (key && p.pts <= m_startUs) {
            m_held.clear(); // a later key frame at or before the start
            m_held.push_back(std::move(held));
            return true;
        }
        if (m_held.empty() || !m_held.front().video) {
            if (!key) {
                if (!held.video)
                    m_held.push_back(std::move(held)); // sound before the first key frame
                return true;
            }
            // No key frame at or before the start: the first one after it.
            std::erase_if(m_held, [](const Held& h) { return h.video; });
            m_held.insert(m_held.begin(), std::move(held));
            return Commit();
        }
        const bool past = held.video && p.pts > m_startUs;
        m_held.push_back(std::move(held));
        return past ? Commit() : true;
    }

    // The start is known: the copy begins at the first held packet (a key frame).
    bool Commit() {
        auto key =
            std::find_if(m_held.begin(), m_held.end(), [](const Held& h) { return h.video; });
        if (key == m_held.end())
            return true;
        m_originUs = key->packet->pts;
        m_started = true;
        if (!m_out.Begin())
            return false;
        std::vector<Held> held = std::move(m_held);
        m_held.clear();
        for (Held& h : held)
            if (!Emit(std::move(h)))
                return false;
        return true;
    }

    bool Emit(Held held) {
        AVPacket* p = held.packet.get();
        if (!held.video) {
            if (p->pts >= m_endUs) {
                m_audioDone = true;
                return true;
            }
            if (p->pts < m_originUs)
                return true;
            return Write(std::move(held));
        }
        if (m_videoDone)
            return true;
        if (p->pts < m_endUs) {
            // Pictures held for decoding a later one are written before it.
            std::vector<Held> waiting = std::move(m_afterEnd);
            m_afterEnd.clear();
            for (Held& w : waiting)
                if (!Write(std::move(w)))
                    return false;
            return Write(std::move(held));
        }
        if (p->dts < m_endUs) {
            m_afterEnd.push_back(std::move(held)); // shown after the end; written only if needed
            return true;
        }
        m_videoDone = true;
        m_afterEnd.clear();
        return true;
    }

    bool Write(Held held) {
        AVPacket* p = held.packet.get();
        const AVRational base = held.video ? m_videoBase : m_audioBase;
        p->pts = av_rescale_q(p->pts - m_originUs, kMicroseconds, base);
        p->dts = av_rescale_q(p->dts - m_originUs, kMicroseconds, base);
        p->duration = av_rescale_q(p->duration, kMicroseconds, base);
        if (!m_out.Write(p, held.video ? m_video : m_audio))
            return false;
        if (held.video)
            m_progress.Picture();
        return true;
    }

    const FolderSource& m_source;
    const ClipPlan& m_plan;
    const bool m_sound;
    const CameraFile& m_file;
    CopyProgress& m_progress;
    const std::atomic<bool>& m_cancel;
    Mp4Writer m_out;
    const int64_t m_startUs;
    const int64_t m_endUs;

    Coding m_coding;
    int m_video = -1;
    int m_audio = -1;
    AVRational m_videoBase{1, 1000000};
    AVRational m_audioBase{1, 1000000};
    struct ParametersFree {
        void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
    };
    std::unique_ptr<AVCodecParameters, ParametersFree> m_soundParameters; // the first file's
    bool m_audioFits = false; // this file's sound goes into the output
    bool m_audioDone = false; // this file's sound has reached the end
    bool m_started = false;   // the start's key frame is known
    int64_t m_originUs = 0;   // the line time of that key frame: the files' zero
    bool m_videoDone = false; // a picture decoded after the end came: nothing more is needed
    bool m_cancelled = false;
    std::vector<Held> m_held;     // before the start is known
    std::vector<Held> m_afterEnd; // pictures shown after the end, decoded before a later one
    std::string m_error;
};

} // namespace

LosslessOutcome RemuxFolderFiles(const FolderSource& source, const ClipPlan& plan, bool sound,
                                 const std::vector<CameraFile>& files, CopyProgress& progress,
                                 const std::atomic<bool>& cancel) {
    LosslessOutcome whole;
    for (size_t f = 0; f < files.size(); ++f) {
        CameraRemux camera(source, plan, sound, files[f], progress, cancel);
        LosslessOutcome one = camera.Run();
        if (!one.ok)
            return one;
        if (f == 0) {
            whole = one;
        } else {
            whole.pictures += one.pictures;
            whole.sound = whole.sound || one.sound;
        }
    }
    whole.ok = true;
    return whole;
}

} // namespace clips
