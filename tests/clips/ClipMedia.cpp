#include "tests/clips/ClipMedia.h"

#include "sources/MediaOptions.h"
#include "sources/SourceOpening.h"
#include "sources/TripPlan.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utime.h>

bool MakeCamera(const std::string& path, const CameraSpec& spec) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string separator = spec.source.find('=') == std::string::npos ? "=" : ":";
    std::string line = "ffmpeg -nostdin -v error -y -f lavfi -i \"" + spec.source + separator +
                       "size=" + std::to_string(spec.width) + "x" + std::to_string(spec.height) +
                       ":rate=" + spec.rate + spec.filters + "\"";
    if (spec.sound)
        line += " -f lavfi -i sine=frequency=440:sample_rate=48000";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", spec.seconds);
    line += std::string(" -t ") + seconds + " -c:v " + spec.codec + " -g 15 -pix_fmt yuv420p";
    if (spec.codec == "libx265")
        line += " -x265-params log-level=error";
    else
        line += " -qp 10";
    line += spec.sound ? " -c:a aac -ac 1" : " -an";
    line += " '" + path + "'";
    return std::system(line.c_str()) == 0;
}

bool SetFileTime(const std::string& path, int year, int month, int day, int hour, int minute,
                 int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    utimbuf times{when, when};
    return utime(path.c_str(), &times) == 0;
}

namespace {

struct Input {
    AVFormatContext* format = nullptr;
    ~Input() { avformat_close_input(&format); }
};

} // namespace

void ForEachPicture(const std::string& path,
                    const std::function<void(int64_t, double, const AVFrame&)>& each) {
    Input input;
    if (avformat_open_input(&input.format, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(input.format, nullptr) < 0)
        return;
    const int video = av_find_best_stream(input.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return;
    AVStream* stream = input.format->streams[video];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    decoder->thread_count = 1;
    if (avcodec_open2(decoder, codec, nullptr) < 0) {
        avcodec_free_context(&decoder);
        return;
    }
    const double base = av_q2d(stream->time_base);
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t index = 0;
    const auto receive = [&]() {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            const int64_t pts = frame->best_effort_timestamp;
            each(index++, static_cast<double>(pts - start) * base, *frame);
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(input.format, packet) >= 0) {
        if (packet->stream_index == video && avcodec_send_packet(decoder, packet) >= 0)
            receive();
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
}

double MeanLuma(const AVFrame& frame, int x, int y, int width, int height) {
    double sum = 0;
    int64_t count = 0;
    for (int row = std::max(0, y); row < std::min(frame.height, y + height); ++row)
        for (int column = std::max(0, x); column < std::min(frame.width, x + width); ++column) {
            sum += frame.data[0][static_cast<ptrdiff_t>(row) * frame.linesize[0] + column];
            ++count;
        }
    return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

ClipFacts ReadClip(const std::string& path) {
    ClipFacts facts;
    {
        Input input;
        if (avformat_open_input(&input.format, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(input.format, nullptr) < 0)
            return facts;
        facts.opened = true;
        for (unsigned s = 0; s < input.format->nb_streams; ++s) {
            const AVStream* stream = input.format->streams[s];
            const AVCodecParameters* p = stream->codecpar;
            // The track's duration: from its first sample to the end of its last.
            const double duration =
                stream->duration != AV_NOPTS_VALUE
                    ? static_cast<double>(stream->duration) * av_q2d(stream->time_base)
                    : 0.0;
            if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
                facts.width = p->width;
                facts.height = p->height;
                facts.videoSeconds = duration;
                facts.videoCodec = avcodec_get_name(p->codec_id);
            } else if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
                facts.sound = true;
                facts.soundSeconds = duration;
                facts.soundCodec = avcodec_get_name(p->codec_id);
            }
        }
    }
    ForEachPicture(path, [&](int64_t index, double seconds, const AVFrame&) {
        if (index == 0)
            facts.firstSeconds = seconds;
        facts.pictures = index + 1;
    });
    return facts;
}

FolderClip EncodeFolderClip(const std::string& folder, const clips::ClipMark& from,
                            const clips::ClipMark& to, const clips::EncodeSettings& settings,
                            const std::string& outPath, const clips::ProgressFn& progress,
                            const std::atomic<bool>* cancel) {
    FolderClip clip;
    const std::shared_ptr<VRecordingSource> source =
        sources::Open(folder, sources::WithMediaParsers(nullptr));
    if (!source) {
        clip.planError = "no source";
        return clip;
    }
    clips::ClipPlanning planning = clips::PlanClip(*source, from, to);
    if (!planning.plan) {
        clip.planError = planning.error;
        return clip;
    }
    clip.plan = *planning.plan;
    std::unique_ptr<CTripParser> parser = tripplan::MakeParser(source, clip.plan.plan);
    if (!parser || !parser->Start() || parser->Open("clip", nullptr) == 0) {
        clip.planError = "the drive does not open";
        return clip;
    }
    clips::EncodeInput input;
    input.parser = parser.get();
    input.plan = &clip.plan;
    input.track = tripplan::JoinedTrack(*source, clip.plan.plan);
    input.cameras = std::max(1, parser->VideoChannels());
    std::atomic<bool> never{false};
    clip.outcome = clips::EncodeClip(input, settings, outPath, progress, cancel ? *cancel : never);
    parser->Close();
    parser->Stop();
    return clip;
}
