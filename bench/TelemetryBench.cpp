// telemetry_bench: the time to read the embedded telemetry of a one-minute recording of each
// kind, as opening a recording does it (EmbeddedTelemetry::Read on the file, from the page
// cache), and the car's driving data of a one-minute front video (CarSeiReader::Read: an SEI
// unit before each of the 1,800 pictures), also as a multiple of real time. Makes one synthetic
// file per kind in a folder, laid out as the cameras lay them out (1,800 video samples of a 60 MB
// picture stream, the telemetry at its usual rate), reads each `rounds` times and prints the
// median, the slowest and what was found.
//
//   telemetry_bench [FOLDER] [ROUNDS]      FOLDER defaults to a new temporary folder
//   telemetry_bench --file FILE [ROUNDS]   a file of one's own
#include "telemetry/CarSei.pb.h"
#include "telemetry/CarSeiReader.h"
#include "telemetry/EmbeddedTelemetry.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr uint32_t kSeconds = 60;
constexpr uint32_t kFrames = kSeconds * 30;
constexpr uint64_t kVideoBytes = 60ull << 20; // the picture data of a minute

void U16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
void U32(Bytes& out, uint32_t v) {
    U16(out, v >> 16);
    U16(out, v & 0xFFFF);
}
void U32LE(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void F32LE(Bytes& out, float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    U32LE(out, bits);
}
void Text(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Box(std::string_view type, const Bytes& payload) {
    Bytes out;
    U32(out, static_cast<uint32_t>(payload.size() + 8));
    Text(out, type);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}
Bytes Full(std::string_view type, const Bytes& payload) {
    Bytes body(4, 0);
    body.insert(body.end(), payload.begin(), payload.end());
    return Box(type, body);
}

struct Sample {
    uint64_t offset;
    uint32_t size;
};

// A track of one sample per chunk; entryBoxes go into the sample description after its
// fields (a visual sample entry's 78 bytes when given).
Bytes Track(std::string_view handler, std::string_view format, uint32_t timescale, uint32_t ticks,
            const std::vector<Sample>& samples, const Bytes& entryBoxes = {}) {
    Bytes mdhd(8, 0);
    U32(mdhd, timescale);
    U32(mdhd, ticks * static_cast<uint32_t>(samples.size()));
    U32(mdhd, 0);
    Bytes hdlr(4, 0);
    Text(hdlr, handler);
    hdlr.resize(hdlr.size() + 13, 0);
    Bytes entry(6, 0);
    U16(entry, 1);
    if (!entryBoxes.empty()) {
        entry.resize(78, 0);
        entry.insert(entry.end(), entryBoxes.begin(), entryBoxes.end());
    }
    Bytes stsd;
    U32(stsd, 1);
    const Bytes sampleEntry = Box(format, entry);
    stsd.insert(stsd.end(), sampleEntry.begin(), sampleEntry.end());
    Bytes stts;
    U32(stts, 1);
    U32(stts, static_cast<uint32_t>(samples.size()));
    U32(stts, ticks);
    Bytes stsc;
    U32(stsc, 1);
    U32(stsc, 1);
    U32(stsc, 1);
    U32(stsc, 1);
    Bytes stsz;
    U32(stsz, 0);
    U32(stsz, static_cast<uint32_t>(samples.size()));
    Bytes stco;
    U32(stco, static_cast<uint32_t>(samples.size()));
    for (const Sample& s : samples) {
        U32(stsz, s.size);
        U32(stco, static_cast<uint32_t>(s.offset));
    }
    const Bytes stbl = Box("stbl", Cat({Full("stsd", stsd), Full("stts", stts), Full("stsc", stsc),
                                        Full("stsz", stsz), Full("stco", stco)}));
    return Box("trak",
               Box("mdia", Cat({Full("mdhd", mdhd), Full("hdlr", hdlr), Box("minf", stbl)})));
}

// A file: ftyp, free (optional), an mdat of `mdatBytes` (sparse) with `inserts` written at
// their offsets inside it, then moov of the video track and `extraMoov`.
struct Insert {
    uint64_t offset; // from the mdat's payload
    Bytes bytes;
};

void WriteMp4(const std::string& path, const Bytes& free, const std::vector<Insert>& inserts,
              const std::vector<Sample>& telemetrySamples, std::string_view handler,
              std::string_view format, uint32_t ticks, const Bytes& extraMoov, bool withMoov,
              const Bytes& videoEntry = {}) {
    Bytes ftypPayload;
    Text(ftypPayload, "isom");
    U32(ftypPayload, 0);
    Text(ftypPayload, "isommp41");
    const Bytes head = Cat({Box("ftyp", ftypPayload), free});
    const uint64_t mdatData = head.size() + 8;
    std::vector<Sample> video;
    const uint32_t frameBytes = static_cast<uint32_t>(kVideoBytes / kFrames);
    for (uint32_t i = 0; i < kFrames; ++i)
        video.push_back({mdatData + uint64_t{i} * frameBytes, frameBytes - 64});
    std::vector<Sample> data = telemetrySamples;
    for (Sample& s : data)
        s.offset += mdatData;
    Bytes moov = Track("vide", "avc1", 30000, 1001, video, videoEntry);
    if (!data.empty()) {
        const Bytes t = Track(handler, format, 1000, ticks, data);
        moov.insert(moov.end(), t.begin(), t.end());
    }
    moov.insert(moov.end(), extraMoov.begin(), extraMoov.end());

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    Bytes mdatHead;
    U32(mdatHead, static_cast<uint32_t>(kVideoBytes + 8));
    Text(mdatHead, "mdat");
    out.write(reinterpret_cast<const char*>(head.data()),
              static_cast<std::streamsize>(head.size()));
    out.write(reinterpret_cast<const char*>(mdatHead.data()), 8);
    for (const Insert& insert : inserts) {
        out.seekp(static_cast<std::streamoff>(mdatData + insert.offset));
        out.write(reinterpret_cast<const char*>(insert.bytes.data()),
                  static_cast<std::streamsize>(insert.bytes.size()));
    }
    out.seekp(static_cast<std::streamoff>(mdatData + kVideoBytes));
    if (withMoov) {
        const Bytes box = Box("moov", moov);
        out.write(reinterpret_cast<const char*>(box.data()),
                  static_cast<std::streamsize>(box.size()));
    } else {
        out.write("", 0);
        out.close();
        fs::resize_file(path, mdatData + kVideoBytes);
    }
}

std::string Rmc(uint32_t second, uint32_t tenths) {
    char body[128];
    std::snprintf(body, sizeof body,
                  "GPRMC,08%02u%02u.%u0,A,3731.%04u,N,12658.6758,E,30.0,90.0,150324,,", second / 60,
                  second % 60, tenths, 1234 + second);
    unsigned sum = 0;
    for (const char* c = body; *c != '\0'; ++c)
        sum ^= static_cast<unsigned char>(*c);
    char line[160];
    std::snprintf(line, sizeof line, "$%s*%02X", body, sum);
    return line;
}

Bytes GpsBlock(uint32_t second) {
    Bytes out;
    U32(out, 0x4000);
    Text(out, "freeGPS ");
    out.resize(0x10, 0);
    for (const uint32_t v : {8u, second / 60, second % 60, 24u, 3u, 15u})
        U32LE(out, v);
    Text(out, "ANE");
    out.push_back(0);
    for (const float v :
         {3731.1234f + static_cast<float>(second) * 0.01f, 12658.6758f, 20.0f, 45.0f})
        F32LE(out, v);
    out.resize(0x4000, 0);
    return out;
}

Bytes Klv(std::string_view key, char type, uint8_t structSize, uint16_t repeat, const Bytes& v) {
    Bytes out;
    Text(out, key);
    out.push_back(static_cast<uint8_t>(type));
    out.push_back(structSize);
    U16(out, repeat);
    out.insert(out.end(), v.begin(), v.end());
    while (out.size() % 4 != 0)
        out.push_back(0);
    return out;
}

Bytes GpmfPayload(uint32_t second) {
    Bytes gps5;
    for (uint32_t i = 0; i < 18; ++i)
        for (const uint32_t v : {375660480u + second * 100 + i, 1269779300u, 35000u, 10000u, 1000u})
            U32(gps5, v);
    Bytes scal;
    for (const uint32_t v : {10000000u, 10000000u, 1000u, 1000u, 100u})
        U32(scal, v);
    Bytes gpsf;
    U32(gpsf, 3);
    Bytes gpsu;
    Text(gpsu, "240315083000.000");
    const Bytes gps = Cat({Klv("GPSF", 'L', 4, 1, gpsf), Klv("GPSU", 'U', 16, 1, gpsu),
                           Klv("SCAL", 'l', 4, 5, scal), Klv("GPS5", 'l', 20, 18, gps5)});
    Bytes accl;
    for (uint32_t i = 0; i < 200; ++i)
        for (const uint32_t v : {10u, 20u, 4101u})
            U16(accl, v);
    Bytes acclScale;
    U16(acclScale, 418);
    const Bytes acc = Cat({Klv("SCAL", 's', 2, 1, acclScale), Klv("ACCL", 's', 6, 200, accl)});
    const Bytes streams = Cat({Klv("STRM", 0, 1, static_cast<uint16_t>(gps.size()), gps),
                               Klv("STRM", 0, 1, static_cast<uint16_t>(acc.size()), acc)});
    return Klv("DEVC", 0, 1, static_cast<uint16_t>(streams.size()), streams);
}

void MakeFiles(const std::string& folder) {
    const uint64_t step = kVideoBytes / kSeconds;
    // BlackVue: gps and 3gf in a free box before the pictures.
    {
        std::string gps;
        for (uint32_t s = 0; s < kSeconds; ++s)
            gps += "[" + std::to_string(1710491400000ull + s * 1000ull) + "]" + Rmc(s, 0) + "\n";
        Bytes gpsPayload(gps.begin(), gps.end());
        gpsPayload.push_back(0);
        Bytes sensor;
        for (uint32_t i = 0; i < kSeconds * 10; ++i) {
            U32(sensor, i * 100);
            U16(sensor, 3);
            U16(sensor, 0xFFFE);
            U16(sensor, 128);
        }
        U32(sensor, 0xFFFFFFFF);
        sensor.resize(sensor.size() + 6, 0);
        WriteMp4(folder + "/blackvue.mp4",
                 Box("free", Cat({Box("gps ", gpsPayload), Box("3gf ", sensor)})), {}, {}, "", "",
                 0, {}, true);
    }
    // Novatek: a GPS block each second among the pictures, indexed in the movie box.
    {
        std::vector<Insert> blocks;
        Bytes index;
        U32(index, 1);
        U32(index, kSeconds);
        const uint64_t mdatData = 24 + 8; // ftyp of 24 bytes, mdat header
        for (uint32_t s = 0; s < kSeconds; ++s) {
            blocks.push_back({s * step, GpsBlock(s)});
            U32(index, static_cast<uint32_t>(mdatData + s * step));
            U32(index, 0x4000);
        }
        WriteMp4(folder + "/novatek.mp4", {}, blocks, {}, "", "", 0, Box("gps ", index), true);
        WriteMp4(folder + "/novatek-cut.mp4", {}, blocks, {}, "", "", 0, {}, false);
    }
    // GPMF: a data-track sample a second, 18 GPS and 200 accelerometer samples in each.
    {
        std::vector<Insert> payloads;
        std::vector<Sample> samples;
        for (uint32_t s = 0; s < kSeconds; ++s) {
            const Bytes p = GpmfPayload(s);
            payloads.push_back({s * step + 0x100, p});
            samples.push_back({s * step + 0x100, static_cast<uint32_t>(p.size())});
        }
        WriteMp4(folder + "/gpmf.mp4", {}, payloads, samples, "meta", "gpmd", 1001, {}, true);
    }
    // Thinkware: a subtitle cue ten times a second.
    {
        std::vector<Insert> cues;
        std::vector<Sample> samples;
        const uint64_t cueStep = step / 10;
        for (uint32_t i = 0; i < kSeconds * 10; ++i) {
            std::string text =
                "gsensori,4,512,3,-51,512;" + Rmc(i / 10, i % 10).substr(1) + ";CAR,0,0,0";
            Bytes cue;
            U16(cue, static_cast<uint32_t>(text.size()));
            Text(cue, text);
            cues.push_back({i * cueStep + 0x200, cue});
            samples.push_back({i * cueStep + 0x200, static_cast<uint32_t>(cue.size())});
        }
        WriteMp4(folder + "/thinkware.mp4", {}, cues, samples, "sbtl", "tx3g", 100, {}, true);
    }
    // A car's front video: before each picture's slice an SEI unit of the car's message.
    {
        const uint32_t frameBytes = static_cast<uint32_t>(kVideoBytes / kFrames);
        std::vector<Insert> units;
        for (uint32_t i = 0; i < kFrames; ++i) {
            tatv::carsei::SeiMetadata m;
            m.set_version(1);
            m.set_gear_state(tatv::carsei::SeiMetadata::GEAR_DRIVE);
            m.set_frame_seq_no(100000 + i);
            m.set_vehicle_speed_mps(20.0f + static_cast<float>(i % 50) * 0.1f);
            m.set_accelerator_pedal_position(30.0f);
            m.set_steering_wheel_angle(-3.5f);
            m.set_autopilot_state(tatv::carsei::SeiMetadata::TACC);
            m.set_latitude_deg(37.5 + i * 1e-5);
            m.set_longitude_deg(127.0 + i * 1e-5);
            m.set_heading_deg(45.0);
            m.set_linear_acceleration_mps2_x(0.25);
            m.set_linear_acceleration_mps2_y(-0.1);
            m.set_linear_acceleration_mps2_z(9.8);
            const std::string message = m.SerializeAsString();
            Bytes rbsp = {0x05, static_cast<uint8_t>(16 + message.size())};
            rbsp.insert(rbsp.end(), 15, 0x42);
            rbsp.push_back(0x69);
            Text(rbsp, message);
            rbsp.push_back(0x80);
            Bytes nal = {0x06};
            const Bytes escaped = CarSeiReader::AddEmulationPrevention(rbsp.data(), rbsp.size());
            nal.insert(nal.end(), escaped.begin(), escaped.end());
            Bytes sample;
            U32(sample, static_cast<uint32_t>(nal.size()));
            sample.insert(sample.end(), nal.begin(), nal.end());
            U32(sample, frameBytes - 64 - static_cast<uint32_t>(sample.size()) - 4);
            sample.push_back(0x65);
            units.push_back({uint64_t{i} * frameBytes, sample});
        }
        const Bytes avcc = Box("avcC", Bytes{1, 0x64, 0, 0x28, 0xFF, 0xE0, 0});
        WriteMp4(folder + "/car-front.mp4", {}, units, {}, "", "", 0, {}, true, avcc);
    }
    // MPEG-TS: 60 MB of packets, a GPS record in a private PES packet each second.
    {
        std::ofstream out(folder + "/novatek.ts", std::ios::binary | std::ios::trunc);
        const uint64_t packets = kVideoBytes / 188;
        const uint64_t every = packets / kSeconds;
        uint8_t packet[188];
        for (uint64_t i = 0; i < packets; ++i) {
            std::memset(packet, 0xFF, sizeof packet);
            packet[0] = 0x47;
            if (i == 0 || i == 1) {
                Bytes section{0};
                const bool pat = i == 0;
                section.push_back(pat ? 0x00 : 0x02);
                U16(section, 0xB000 | (pat ? 13u : 18u));
                U16(section, 1);
                section.push_back(0xC1);
                section.push_back(0);
                section.push_back(0);
                if (pat) {
                    U16(section, 1);
                    U16(section, 0xF000);
                } else {
                    U16(section, 0xE100);
                    U16(section, 0xF000);
                    section.push_back(0x1B);
                    U16(section, 0xE100);
                    U16(section, 0xF000);
                }
                U32(section, 0);
                packet[1] = static_cast<uint8_t>(0x40 | (pat ? 0 : 0x10));
                packet[2] = 0;
                packet[3] = 0x10;
                std::memcpy(packet + 4, section.data(), section.size());
            } else if (i % every == every / 2 && i / every < kSeconds) {
                const Bytes block = GpsBlock(static_cast<uint32_t>(i / every));
                Bytes pes{0, 0, 1, 0xBF};
                U16(pes, 44);
                pes.insert(pes.end(), block.begin() + 0x10, block.begin() + 0x10 + 44);
                packet[1] = 0x43;
                packet[2] = 0x00;
                packet[3] = 0x30;
                packet[4] = static_cast<uint8_t>(183 - pes.size());
                packet[5] = 0;
                std::memcpy(packet + 188 - pes.size(), pes.data(), pes.size());
            } else {
                packet[1] = 0x01;
                packet[2] = 0x00;
                packet[3] = 0x10;
                std::memset(packet + 4, 0x11, 184);
            }
            out.write(reinterpret_cast<const char*>(packet), sizeof packet);
        }
    }
}

void Measure(const std::string& path, int rounds) {
    std::vector<double> ms;
    TelemetryTrack track;
    TelemetryFormat format = TelemetryFormat::kNone;
    for (int i = 0; i < rounds + 1; ++i) {
        const auto start = std::chrono::steady_clock::now();
        track = EmbeddedTelemetry::Read(path, &format);
        const auto end = std::chrono::steady_clock::now();
        if (i > 0) // the first read fills the page cache
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::error_code error;
    const auto size = fs::file_size(path, error);
    std::printf("%-16s %-11s %6.1f MB  fixes=%-5zu samples=%-6zu median_ms=%.3f max_ms=%.3f\n",
                fs::path(path).filename().c_str(), TelemetryFormatName(format),
                static_cast<double>(size) / 1e6, track.fixes.size(), track.accelerations.size(),
                ms[ms.size() / 2], ms.back());
}

// The car's data of a one-minute front video: the median read and how many times faster than
// the minute plays.
void MeasureCar(const std::string& path, int rounds) {
    std::vector<double> ms;
    size_t states = 0;
    for (int i = 0; i < rounds + 1; ++i) {
        const auto start = std::chrono::steady_clock::now();
        states = CarSeiReader::Read(path).size();
        const auto end = std::chrono::steady_clock::now();
        if (i > 0)
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("%-16s %-11s %6.1f MB  states=%-5zu median_ms=%.3f max_ms=%.3f "
                "real_time_x=%.0f\n",
                fs::path(path).filename().c_str(), "car-sei",
                static_cast<double>(fs::file_size(path)) / 1e6, states, median, ms.back(),
                kSeconds * 1000.0 / median);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--file") == 0) {
        Measure(argv[2], argc >= 4 ? std::max(1, std::atoi(argv[3])) : 20);
        return 0;
    }
    std::string folder = argc >= 2 ? argv[1] : "";
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 20;
    bool made = false;
    if (folder.empty()) {
        folder =
            (fs::temp_directory_path() / ("telemetry_bench." + std::to_string(getpid()))).string();
        made = true;
    }
    fs::create_directories(folder);
    MakeFiles(folder);
    for (const char* name : {"blackvue.mp4", "novatek.mp4", "gpmf.mp4", "thinkware.mp4",
                             "novatek.ts", "novatek-cut.mp4"})
        Measure(folder + "/" + name, rounds);
    MeasureCar(folder + "/car-front.mp4", rounds);
    if (made)
        fs::remove_all(folder);
    return 0;
}
