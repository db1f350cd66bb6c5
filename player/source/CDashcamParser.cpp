#include "CDashcamParser.h"

#include "player/api/VAudio.h"
#include "storage/QuickDuration.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr double kNoTime = std::numeric_limits<double>::infinity();
// Creation times further apart than this are not the same moment's files.
constexpr double kMaxStartGap = 60.0;
constexpr int32_t kMaxSoundRate = 48000;

// One item ready to be handed out.
struct Item {
    StreamKind kind = NoPacket;
    int32_t channel = 0;
    double time = 0;    // seconds into the recording: the order items are handed out in
    int64_t timeUs = 0; // presentation time in microseconds of the recording
    bool key = false;
    std::vector<uint8_t> bytes;
};

} // namespace

// One file of the recording: its demuxer, the video stream's Annex B filter, and (for the
// file that carries the recording's sound) the sound decoder and resampler.
class CDashcamParser::Input {
public:
    ~Input() { Release(); }

    // Opens the file; false when it cannot be read as a video file.
    bool Open(const std::string& path, int32_t channel) {
        m_channel = channel;
        m_videoKind = channel == 0 ? FrontVideo : RearVideo;
        if (avformat_open_input(&m_format, path.c_str(), nullptr, nullptr) < 0)
            return false;
        if (avformat_find_stream_info(m_format, nullptr) < 0)
            return false;
        m_video = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_video < 0)
            return false;
        const AVStream* stream = m_format->streams[m_video];
        const AVCodecID id = stream->codecpar->codec_id;
        if (id != AV_CODEC_ID_H264 && id != AV_CODEC_ID_HEVC)
            return false;
        m_codec = id == AV_CODEC_ID_HEVC ? VideoCodec::kHevc : VideoCodec::kH264;
        const AVBitStreamFilter* filter =
            av_bsf_get_by_name(id == AV_CODEC_ID_HEVC ? "hevc_mp4toannexb" : "h264_mp4toannexb");
        if (filter == nullptr || av_bsf_alloc(filter, &m_filter) < 0 ||
            avcodec_parameters_copy(m_filter->par_in, stream->codecpar) < 0)
            return false;
        m_filter->time_base_in = stream->time_base;
        if (av_bsf_init(m_filter) < 0)
            return false;
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
        AVRational rate = stream->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0)
            rate = stream->r_frame_rate;
        m_frameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
        m_start = stream->start_time != AV_NOPTS_VALUE
                      ? static_cast<double>(stream->start_time) * av_q2d(stream->time_base)
                      : 0.0;
        // The pictures' length; the container's (which counts the sound too) without one.
        if (stream->duration > 0)
            m_duration = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
        else if (m_format->duration > 0)
            m_duration = static_cast<double>(m_format->duration) / AV_TIME_BASE;
        return m_packet != nullptr && m_frame != nullptr;
    }

    // Takes the file's sound (AAC, PCM or what libavcodec decodes) into use; false when it has
    // none that decodes.
    bool OpenSound() {
        const int index = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (index < 0)
            return false;
        const AVCodecParameters* parameters = m_format->streams[index]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        if (codec == nullptr)
            return false;
        m_sound = avcodec_alloc_context3(codec);
        if (m_sound == nullptr || avcodec_parameters_to_context(m_sound, parameters) < 0)
            return false;
        m_sound->thread_count = 1;
        m_sound->pkt_timebase = m_format->streams[index]->time_base;
        if (avcodec_open2(m_sound, codec, nullptr) < 0 || m_sound->sample_rate <= 0)
            return false;
        m_soundRate = std::min(m_sound->sample_rate, kMaxSoundRate);
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        AVChannelLayout in = m_sound->ch_layout;
        if (in.nb_channels <= 0)
            av_channel_layout_default(&in, std::max(parameters->ch_layout.nb_channels, 1));
        if (swr_alloc_set_opts2(&m_resampler, &mono, AV_SAMPLE_FMT_S16, m_soundRate, &in,
                                m_sound->sample_fmt, m_sound->sample_rate, 0, nullptr) < 0 ||
            swr_init(m_resampler) < 0)
            return false;
        m_audio = index;
        return true;
    }
    void DropSound() {
        avcodec_free_context(&m_sound);
        swr_free(&m_resampler);
        m_audio = -1;
    }

    // The next item of this file, or null at its end.
    const Item* Peek() {
        while (m_ready.empty() && !m_ended)
            ReadMore();
        return m_ready.empty() ? nullptr : &m_ready.front();
    }
    Item Take() {
        Item item = std::move(m_ready.front());
        m_ready.pop_front();
        return item;
    }

    // To the key frame at or before `seconds` of the recording.
    bool SeekTo(double seconds) {
        const double fileSeconds = std::max(seconds - m_offset + m_start, 0.0);
        const auto target = static_cast<int64_t>(fileSeconds * AV_TIME_BASE);
        const int result = av_seek_frame(m_format, -1, target, AVSEEK_FLAG_BACKWARD);
        av_bsf_flush(m_filter);
        if (m_sound != nullptr) {
            avcodec_flush_buffers(m_sound);
            swr_init(m_resampler);
        }
        m_ready.clear();
        m_pcm.clear();
        m_ended = false;
        m_failed = false;
        return result >= 0;
    }

    VideoCodec Codec() const { return m_codec; }
    double FrameRate() const { return m_frameRate; }
    double Duration() const { return m_duration; }
    bool Failed() const { return m_failed; }
    bool HasSound() const { return m_audio >= 0; }
    int32_t SoundRate() const { return m_soundRate; }
    VideoSize Size() const {
        const AVCodecParameters* p = m_format->streams[m_video]->codecpar;
        return {p->width, p->height};
    }
    void SetOffset(double seconds) { m_offset = seconds; }
    // The container's creation time in seconds since 1970; NaN when it has none.
    double CreationTime() const {
        const AVDictionaryEntry* entry =
            av_dict_get(m_format->metadata, "creation_time", nullptr, 0);
        int64_t micros = 0;
        if (entry == nullptr || av_parse_time(&micros, entry->value, 0) < 0)
            return std::nan("");
        return static_cast<double>(micros) / 1e6;
    }

private:
    void Release() {
        DropSound();
        av_bsf_free(&m_filter);
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avformat_close_input(&m_format);
    }

    double Seconds(int64_t ts, AVRational base) const {
        return static_cast<double>(ts) * av_q2d(base) - m_start + m_offset;
    }

    void ReadMore() {
        const int result = av_read_frame(m_format, m_packet);
        if (result < 0) {
            // The end of the file, or damage that stops it: what was read stays good.
            m_failed = result != AVERROR_EOF;
            m_ended = true;
            av_bsf_send_packet(m_filter, nullptr);
            DrainVideo();
            return;
        }
        if (m_packet->stream_index == m_video) {
            if (av_bsf_send_packet(m_filter, m_packet) < 0)
                av_packet_unref(m_packet);
            DrainVideo();
        } else if (m_packet->stream_index == m_audio) {
            DecodeSound();
        }
        av_packet_unref(m_packet);
    }

    void DrainVideo() {
        const AVRational base = m_format->streams[m_video]->time_base;
        while (av_bsf_receive_packet(m_filter, m_packet) == 0) {
            Item item;
            item.kind = m_videoKind;
            item.channel = m_channel;
            const int64_t ts = m_packet->dts != AV_NOPTS_VALUE ? m_packet->dts : m_packet->pts;
            item.time = ts != AV_NOPTS_VALUE ? Seconds(ts, base) : m_lastVideo;
            m_lastVideo = item.time;
            // The picture's own time; a packet without one is due with the one before.
            const double pts =
                m_packet->pts != AV_NOPTS_VALUE ? Seconds(m_packet->pts, base) : item.time;
            item.timeUs = static_cast<int64_t>(std::llround(pts * 1e6));
            item.key = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
            item.bytes.assign(m_packet->data, m_packet->data + m_packet->size);
            m_ready.push_back(std::move(item));
            av_packet_unref(m_packet);
        }
    }

    void DecodeSound() {
        const AVRational base = m_format->streams[m_audio]->time_base;
        if (m_pcm.empty() && m_packet->pts != AV_NOPTS_VALUE)
            m_pcmTime = Seconds(m_packet->pts, base);
        if (avcodec_send_packet(m_sound, m_packet) < 0)
            return; // a damaged sound packet: the next one decodes again
        while (avcodec_receive_frame(m_sound, m_frame) == 0) {
            // The decoder knows where its samples lie (it drops an encoder's priming
            // samples): a block starts at its first sample's time.
            if (m_pcm.empty() && m_frame->best_effort_timestamp != AV_NOPTS_VALUE)
                m_pcmTime = Seconds(m_frame->best_effort_timestamp, base);
            const int most = swr_get_out_samples(m_resampler, m_frame->nb_samples);
            if (most > 0) {
                const size_t at = m_pcm.size();
                m_pcm.resize(at + static_cast<size_t>(most) * 2);
                uint8_t* out = m_pcm.data() + at;
                const int made = swr_convert(m_resampler, &out, most,
                                             const_cast<const uint8_t**>(m_frame->extended_data),
                                             m_frame->nb_samples);
                m_pcm.resize(at + static_cast<size_t>(std::max(made, 0)) * 2);
            }
            av_frame_unref(m_frame);
        }
        // Whole blocks go out; the rest waits for the next packet.
        const auto block = static_cast<size_t>(VAudio::kBlockBytes);
        size_t used = 0;
        while (m_pcm.size() - used >= block) {
            Item item;
            item.kind = Audio;
            item.time = m_pcmTime;
            item.timeUs = static_cast<int64_t>(std::llround(m_pcmTime * 1e6));
            item.bytes.assign(m_pcm.begin() + static_cast<std::ptrdiff_t>(used),
                              m_pcm.begin() + static_cast<std::ptrdiff_t>(used + block));
            m_ready.push_back(std::move(item));
            used += block;
            m_pcmTime += static_cast<double>(block / 2) / m_soundRate;
        }
        m_pcm.erase(m_pcm.begin(), m_pcm.begin() + static_cast<std::ptrdiff_t>(used));
    }

    StreamKind m_videoKind = FrontVideo;
    int32_t m_channel = 0;
    AVFormatContext* m_format = nullptr;
    AVBSFContext* m_filter = nullptr;
    AVCodecContext* m_sound = nullptr;
    SwrContext* m_resampler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_video = -1;
    int m_audio = -1;
    VideoCodec m_codec = VideoCodec::kH264;
    double m_frameRate = 0;
    double m_duration = 0;
    double m_start = 0;  // the video stream's first time in the file
    double m_offset = 0; // where the file starts in the recording
    double m_lastVideo = 0;
    int32_t m_soundRate = 0;
    std::vector<uint8_t> m_pcm; // resampled sound not yet in a whole block
    double m_pcmTime = 0;       // the recording's time of m_pcm's first sample
    std::deque<Item> m_ready;
    bool m_ended = false;
    bool m_failed = false;
};

CDashcamParser::CDashcamParser() = default;

CDashcamParser::~CDashcamParser() {
    Close();
}

void CDashcamParser::SetRecordings(std::vector<DashcamRecording> recordings) {
    m_recordings = std::move(recordings);
}

int64_t CDashcamParser::Open(const std::string& nameOrPath, OpenInfo* info) {
    Close();
    const DashcamRecording* found = folderscan::Find(m_recordings, nameOrPath);
    if (found == nullptr && !nameOrPath.empty() && nameOrPath.front() == '/')
        found = folderscan::Find(m_recordings, nameOrPath.substr(1));
    m_recording = found != nullptr ? *found : folderscan::SingleFile(nameOrPath);

    std::vector<std::string> files = m_recording.Pictures();
    if (files.size() > m_inputs.size())
        files.resize(m_inputs.size());
    for (size_t i = 0; i < files.size(); ++i) {
        m_damaged = m_damaged || QuickDuration::OfFile(files[i]).damaged;
        auto input = std::make_unique<Input>();
        if (input->Open(files[i], static_cast<int32_t>(i)))
            m_inputs[i] = std::move(input);
        else
            m_damaged = true;
    }
    if (!m_inputs[0] && files.size() == 2 && m_inputs[1]) {
        // Only the second picture's file reads: it becomes the front picture.
        m_inputs[1].reset();
        auto input = std::make_unique<Input>();
        if (input->Open(files[1], 0))
            m_inputs[0] = std::move(input);
    }
    if (!m_inputs[0])
        return 0;

    // A further file starts as much later as its container says it was made later.
    for (size_t i = 1; i < m_inputs.size(); ++i) {
        if (!m_inputs[i])
            continue;
        const double gap = m_inputs[i]->CreationTime() - m_inputs[0]->CreationTime();
        if (std::isfinite(gap) && std::fabs(gap) <= kMaxStartGap)
            m_inputs[i]->SetOffset(gap);
    }
    for (auto& input : m_inputs) {
        if (input && input->OpenSound()) {
            m_audioRate = input->SoundRate();
            break;
        }
        if (input)
            input->DropSound();
    }
    m_duration = m_inputs[0]->Duration();

    if (info != nullptr) {
        info->frontFrameRate = GetFrameRate(0);
        info->rearFrameRate = GetFrameRate(1);
        info->frontFrameCount = static_cast<int32_t>(std::lround(m_duration * GetFrameRate(0)));
        info->rearFrameCount =
            m_inputs[1]
                ? static_cast<int32_t>(std::lround(m_inputs[1]->Duration() * GetFrameRate(1)))
                : 0;
    }
    m_open = true;
    return 1;
}

void CDashcamParser::Close() {
    for (auto& input : m_inputs)
        input.reset();
    m_open = false;
    m_damaged = false;
    m_duration = 0;
    m_audioRate = 8000;
    m_lastEnd = ReadEnd::kEnded;
}

bool CDashcamParser::Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) {
    packet = MediaPacket{};
    packet.kind = EndOfStream;
    if (!m_open) {
        m_lastEnd = ReadEnd::kEnded;
        return false;
    }
    for (;;) {
        // The earliest of the files' next items.
        Input* earliest = nullptr;
        double time = kNoTime;
        for (auto& input : m_inputs) {
            if (!input)
                continue;
            const Item* item = input->Peek();
            if (item != nullptr && item->time < time) {
                time = item->time;
                earliest = input.get();
            }
        }
        if (earliest == nullptr) {
            const bool failed = std::any_of(m_inputs.begin(), m_inputs.end(),
                                            [](const auto& in) { return in && in->Failed(); });
            m_lastEnd = failed || m_damaged ? ReadEnd::kFailed : ReadEnd::kEnded;
            return false;
        }
        const Item item = earliest->Take();
        const auto length = static_cast<int32_t>(item.bytes.size());
        if (length > capacity || buffer == nullptr)
            continue; // larger than any packet the engine takes: left out
        std::memcpy(buffer, item.bytes.data(), item.bytes.size());
        packet.kind = item.kind;
        packet.channel = item.kind == Audio ? 0 : item.channel;
        packet.keyFrame = item.kind != Audio && item.key;
        packet.timeUs = item.timeUs;
        packet.size = length;
        packet.payload = buffer;
        return true;
    }
}

CDashcamParser::Input* CDashcamParser::InputOf(int stream) const {
    if (stream < 0 || stream >= kMaxCameras)
        return nullptr;
    return m_inputs[static_cast<size_t>(stream)].get();
}

VideoSize CDashcamParser::GetVideoSize(int stream) {
    const Input* input = InputOf(stream);
    return input != nullptr ? input->Size() : VideoSize{};
}

int32_t CDashcamParser::GetFrameRate(int stream) {
    const Input* input = InputOf(stream);
    if (input == nullptr)
        return 0;
    const double rate = input->FrameRate();
    return rate > 0 && rate < 1000 ? static_cast<int32_t>(std::lround(rate)) : 0;
}

void CDashcamParser::GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) {
    bitsPerSample = 16;
    samplesPerSecond = m_audioRate;
}

int CDashcamParser::SeekTime(float seconds) {
    if (!m_open || std::isnan(seconds))
        return -1;
    const double at = std::max(static_cast<double>(seconds), 0.0);
    bool moved = true;
    for (auto& input : m_inputs)
        if (input)
            moved = input->SeekTo(at) && moved;
    m_lastEnd = ReadEnd::kEnded;
    return moved ? 0 : -1;
}

VideoCodec CDashcamParser::GetVideoCodec(int stream) {
    const Input* input = InputOf(stream);
    return input != nullptr ? input->Codec() : VideoCodec::kH264;
}

int CDashcamParser::VideoChannels() const {
    if (!m_open)
        return 0;
    int channels = 1;
    for (size_t i = 0; i < m_inputs.size(); ++i)
        if (m_inputs[i])
            channels = static_cast<int>(i) + 1;
    return channels;
}
