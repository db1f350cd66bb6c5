#include "CarSeiClips.h"

#include "DashcamClips.h"
#include "telemetry/CarSei.pb.h"
#include "telemetry/CarSeiReader.h"

#include <algorithm>
#include <filesystem>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace carsei {

namespace {

void PutSeiNumber(Bytes& out, size_t value) {
    while (value >= 255) {
        out.push_back(0xFF);
        value -= 255;
    }
    out.push_back(static_cast<uint8_t>(value));
}

} // namespace

Bytes Message(const TimedCarState& v) {
    tatv::carsei::SeiMetadata m;
    m.set_version(1);
    if (v.frameNumber)
        m.set_frame_seq_no(*v.frameNumber);
    if (v.speedMps)
        m.set_vehicle_speed_mps(static_cast<float>(*v.speedMps));
    if (v.gear)
        m.set_gear_state(static_cast<tatv::carsei::SeiMetadata::Gear>(*v.gear));
    if (v.acceleratorPercent)
        m.set_accelerator_pedal_position(static_cast<float>(*v.acceleratorPercent));
    if (v.brake)
        m.set_brake_applied(*v.brake);
    if (v.steeringDegrees)
        m.set_steering_wheel_angle(static_cast<float>(*v.steeringDegrees));
    if (v.blinkerLeft)
        m.set_blinker_on_left(*v.blinkerLeft);
    if (v.blinkerRight)
        m.set_blinker_on_right(*v.blinkerRight);
    if (v.assist)
        m.set_autopilot_state(static_cast<tatv::carsei::SeiMetadata::AutopilotState>(*v.assist));
    if (v.latitude)
        m.set_latitude_deg(*v.latitude);
    if (v.longitude)
        m.set_longitude_deg(*v.longitude);
    if (v.heading)
        m.set_heading_deg(*v.heading);
    if (v.accelX)
        m.set_linear_acceleration_mps2_x(*v.accelX);
    if (v.accelY)
        m.set_linear_acceleration_mps2_y(*v.accelY);
    if (v.accelZ)
        m.set_linear_acceleration_mps2_z(*v.accelZ);
    const std::string bytes = m.SerializeAsString();
    return Bytes(bytes.begin(), bytes.end());
}

Bytes SeiNal(const Bytes& message, int sizeDelta) {
    Bytes payload(15, 0x42);
    payload.push_back(0x69);
    payload.insert(payload.end(), message.begin(), message.end());
    Bytes rbsp;
    PutSeiNumber(rbsp, 5); // user data unregistered
    PutSeiNumber(rbsp, static_cast<size_t>(
                           std::max<long>(0, static_cast<long>(payload.size()) + sizeDelta)));
    rbsp.insert(rbsp.end(), payload.begin(), payload.end());
    rbsp.push_back(0x80); // the stop bit
    Bytes nal{0x06};
    const Bytes escaped = CarSeiReader::AddEmulationPrevention(rbsp.data(), rbsp.size());
    nal.insert(nal.end(), escaped.begin(), escaped.end());
    return nal;
}

Bytes CarNal(const TimedCarState& values) {
    return SeiNal(Message(values));
}

bool InsertUnits(const std::string& from, const std::string& to, const std::vector<Insert>& inserts,
                 std::vector<int64_t>* packetTimesMs) {
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, from.c_str(), nullptr, nullptr) < 0)
        return false;
    AVFormatContext* out = nullptr;
    AVPacket* packet = av_packet_alloc();
    bool ok = avformat_find_stream_info(in, nullptr) >= 0 &&
              avformat_alloc_output_context2(&out, nullptr, "mp4", to.c_str()) >= 0;
    int video = -1;
    for (unsigned i = 0; ok && i < in->nb_streams; ++i) {
        AVStream* stream = avformat_new_stream(out, nullptr);
        ok = stream != nullptr &&
             avcodec_parameters_copy(stream->codecpar, in->streams[i]->codecpar) >= 0;
        if (ok) {
            stream->codecpar->codec_tag = 0;
            stream->time_base = in->streams[i]->time_base;
            if (video < 0 && in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
                video = static_cast<int>(i);
        }
    }
    ok = ok && video >= 0 && avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(out, nullptr) >= 0;
    std::vector<int64_t> pts;
    int frame = 0;
    while (ok && av_read_frame(in, packet) >= 0) {
        const int index = packet->stream_index;
        if (index == video) {
            pts.push_back(packet->pts);
            Bytes extra;
            for (const Insert& insert : inserts)
                if (insert.frame == frame) {
                    const uint32_t size = static_cast<uint32_t>(insert.nal.size());
                    for (int shift = 24; shift >= 0; shift -= 8)
                        extra.push_back(static_cast<uint8_t>(size >> shift));
                    extra.insert(extra.end(), insert.nal.begin(), insert.nal.end());
                }
            if (!extra.empty()) {
                AVPacket* grown = av_packet_alloc();
                ok = grown != nullptr &&
                     av_new_packet(grown, packet->size + static_cast<int>(extra.size())) >= 0;
                if (ok) {
                    std::copy(extra.begin(), extra.end(), grown->data);
                    std::copy(packet->data, packet->data + packet->size,
                              grown->data + extra.size());
                    av_packet_copy_props(grown, packet);
                    grown->stream_index = index;
                    av_packet_unref(packet);
                    av_packet_move_ref(packet, grown);
                }
                av_packet_free(&grown);
            }
            ++frame;
        }
        if (ok) {
            av_packet_rescale_ts(packet, in->streams[index]->time_base,
                                 out->streams[index]->time_base);
            packet->pos = -1;
            ok = av_interleaved_write_frame(out, packet) >= 0;
        }
        av_packet_unref(packet);
    }
    if (ok)
        ok = av_write_trailer(out) >= 0;
    if (ok && packetTimesMs != nullptr && !pts.empty()) {
        const AVRational base = in->streams[video]->time_base;
        const int64_t first = *std::min_element(pts.begin(), pts.end());
        packetTimesMs->clear();
        for (const int64_t t : pts)
            packetTimesMs->push_back(av_rescale_q(t - first, base, AVRational{1, 1000}));
    }
    av_packet_free(&packet);
    if (out != nullptr) {
        if (out->pb != nullptr)
            avio_closep(&out->pb);
        avformat_free_context(out);
    }
    avformat_close_input(&in);
    return ok;
}

bool MakeCarClip(const std::string& path, const std::vector<TimedCarState>& states, double seconds,
                 std::vector<int64_t>* packetTimesMs) {
    ClipSpec spec;
    spec.seconds = seconds;
    return MakeCarClip(path, states, spec, packetTimesMs);
}

bool MakeCarClip(const std::string& path, const std::vector<TimedCarState>& states,
                 const ClipSpec& given, std::vector<int64_t>* packetTimesMs) {
    const std::string plain = path + ".plain.mp4";
    ClipSpec spec = given;
    spec.audioRate = 0;
    if (!MakeClip(plain, spec))
        return false;
    std::vector<Insert> inserts;
    for (size_t k = 0; k < states.size(); ++k)
        inserts.push_back({static_cast<int>(k), CarNal(states[k])});
    const bool ok = InsertUnits(plain, path, inserts, packetTimesMs);
    std::filesystem::remove(plain);
    return ok;
}

} // namespace carsei
