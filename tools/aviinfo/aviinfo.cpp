// aviinfo: looks inside recordings exported as AVI, and writes sample recordings.
//
//   aviinfo info FILE.avi            streams, frame counts, packets and telemetry
//   aviinfo chunks FILE.avi [N]      the first N chunks (default 40): offset, id, size
//   aviinfo sample OUT.avi --front F.h264 [--rear R.h264] [--seconds S]
//                    [--front-size WxH] [--rear-size WxH]
//                                    a recording from H.264 byte streams (each access unit
//                                    led by a delimiter), with a clicking tone and made-up
//                                    GPS and G-sensor lines
//   --verbose                        diagnostic lines on standard output
//   --help, --version                the usage and the version
#include "base/AlignedBuffer.h"
#include "base/ByteOrder.h"
#include "base/DiagLog.h"
#include "base/ProgramVersion.h"
#include "formats/AnnexB.h"
#include "formats/CAVIExtractor.h"
#include "formats/CAVIWriter.h"
#include "formats/ChunkId.h"
#include "telemetry/CTextData.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kFrameRate = 30;
constexpr int kAudioRate = 8000;
constexpr int kAudioBlock = 3840; // bytes: 240 ms of 16-bit mono at 8 kHz

constexpr char kUsage[] = "usage: aviinfo info FILE.avi | chunks FILE.avi [N] | "
                          "sample OUT.avi --front F.h264 [--rear R.h264] [--seconds S] "
                          "[--front-size WxH] [--rear-size WxH] [--verbose]\n";

// The usage on standard error after a command line aviinfo cannot use; exit status 2.
int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Info(const std::string& path, const DiagLog* diag) {
    CAVIExtractor reader;
    reader.SetDiagLog(diag);
    OpenInfo info;
    const int64_t movi = reader.Open(path, &info);
    if (movi == 0) {
        std::fprintf(stderr, "aviinfo: %s is not a readable recording\n", path.c_str());
        return 1;
    }
    int32_t bits = 0;
    int32_t rate = 0;
    reader.GetAudioFormat(bits, rate);
    std::printf("file           %s\n", path.c_str());
    std::printf("movi bytes     %lld\n", static_cast<long long>(movi));
    std::printf("video streams  %d\n", reader.VideoStreamCount());
    for (int s = 0; s < reader.VideoStreamCount(); ++s) {
        const VideoSize size = reader.GetVideoSize(s);
        std::printf("  %s        %dx%d at %d fps\n", s == 0 ? "front" : "rear ", size.width,
                    size.height, reader.StoredFrameRate(s));
    }
    std::printf("audio          %d-bit, %d Hz\n", bits, rate);
    std::printf("index frames   front %d, rear %d\n", info.frontFrameCount, info.rearFrameCount);

    AlignedBuffer buffer(kPacketBufferSize + 1);
    long counts[6] = {};
    long long bytes[6] = {};
    CTextData telemetry;
    char id[5];
    for (;;) {
        int32_t size = kPacketBufferSize;
        if (reader.ReadChunk(id, buffer.data(), size) < 0)
            break;
        if (!IsMediaChunkId(id))
            break; // the index follows the movi data
        const StreamKind kind = StreamKindFromChunkId(id);
        ++counts[kind];
        bytes[kind] += size;
        if (kind == Text) {
            const int64_t timeMs = counts[FrontVideo] * 1000 / std::max(1, info.frontFrameRate);
            telemetry.OnTextPacket(buffer.data(), static_cast<size_t>(size), timeMs);
        }
    }
    const char* names[4] = {"front video", "rear video", "audio", "text"};
    for (int k = 0; k < 4; ++k)
        std::printf("%-14s %ld packets, %lld bytes\n", names[k], counts[k], bytes[k]);
    if (info.frontFrameRate > 0)
        std::printf("duration       %.1f s\n",
                    static_cast<double>(counts[FrontVideo]) / info.frontFrameRate);
    size_t valid = 0;
    for (const CGPSData& fix : telemetry.GpsFixes())
        valid += fix.valid != 0 ? 1 : 0;
    std::printf("gps fixes      %zu (%zu valid)\n", telemetry.GpsCount(), valid);
    CGPSData last;
    if (telemetry.NewestFix(last) && last.valid)
        std::printf("last position  %.5f, %.5f at %.0f km/h\n", last.LatitudeDegrees(),
                    last.LongitudeDegrees(), last.GetSpeed());
    std::printf("g-sensor       %zu samples (one per second)\n", telemetry.SensorCount());
    return 0;
}

int Chunks(const std::string& path, long limit, const DiagLog* diag) {
    CAVIExtractor reader;
    reader.SetDiagLog(diag);
    if (reader.Open(path, nullptr) == 0) {
        std::fprintf(stderr, "aviinfo: %s is not a readable recording\n", path.c_str());
        return 1;
    }
    AlignedBuffer buffer(kPacketBufferSize);
    char id[5];
    for (long i = 0; i < limit; ++i) {
        int32_t size = kPacketBufferSize;
        const int64_t at = reader.ReadChunk(id, buffer.data(), size);
        if (at < 0)
            break;
        std::printf("%10lld  %s  %d\n", static_cast<long long>(at), id, size);
    }
    return 0;
}

bool LoadUnits(const std::string& path, std::vector<std::vector<uint8_t>>& units) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    units = SplitAccessUnits(bytes.data(), bytes.size());
    if (units.empty())
        std::fprintf(stderr, "aviinfo: %s holds no H.264 access units with delimiters\n",
                     path.c_str());
    return !units.empty();
}

// A GPS sentence for second `s` of a drive north-east from central Seoul.
std::string GpsLine(int s) {
    const double lat = 3733.96 + 0.01 * s; // ddmm.mm
    const double lon = 12658.674 + 0.012 * s;
    const double knots = 20.0 + 10.0 * std::sin(s / 5.0);
    char line[128];
    std::snprintf(line, sizeof line,
                  "G$GPRMC,%02d%02d%02d.000,A,%.4f,N,%.4f,E,%.1f,45.0,070526,,,A", 3 + s / 3600,
                  (s / 60) % 60, s % 60, lat, lon, knots);
    return line;
}

struct SampleOptions {
    std::string front;
    std::string rear;
    int seconds = 10;
    VideoSize frontSize{1280, 720};
    VideoSize rearSize{640, 360};
};

bool ParseSize(const std::string& text, VideoSize& size) {
    return std::sscanf(text.c_str(), "%dx%d", &size.width, &size.height) == 2 && size.width > 0 &&
           size.height > 0;
}

int Sample(const std::string& out, const SampleOptions& options, const DiagLog* diag) {
    const std::string& front = options.front;
    const std::string& rear = options.rear;
    const int seconds = options.seconds;
    std::vector<std::vector<uint8_t>> frontUnits;
    std::vector<std::vector<uint8_t>> rearUnits;
    if (!LoadUnits(front, frontUnits) || (!rear.empty() && !LoadUnits(rear, rearUnits)))
        return 1;
    const bool twoChannel = !rearUnits.empty();
    CAVIWriter writer;
    writer.SetDiagLog(diag);
    writer.SetVideoSize(0, options.frontSize.width, options.frontSize.height);
    writer.SetVideoSize(1, options.rearSize.width, options.rearSize.height);
    writer.SetFrameRate(0, kFrameRate);
    writer.SetFrameRate(1, kFrameRate);
    writer.SetAudioRate(kAudioRate);
    writer.SetTwoChannel(twoChannel);
    errno = 0;
    if (!writer.Create(out)) {
        const int reason = errno;
        std::fprintf(stderr, "aviinfo: cannot create %s: %s\n", out.c_str(),
                     reason != 0 ? std::strerror(reason) : "unknown reason");
        return 1;
    }
    const int frames = std::min<int>(seconds * kFrameRate, static_cast<int>(frontUnits.size()));
    std::vector<uint8_t> audio;
    long samplesWritten = 0;
    bool ok = true;
    for (int f = 0; f < frames && ok; ++f) {
        const auto& unit = frontUnits[static_cast<size_t>(f)];
        ok = writer.AddData(unit.data(), static_cast<int32_t>(unit.size()), 0);
        if (twoChannel && ok && static_cast<size_t>(f) < rearUnits.size()) {
            const auto& r = rearUnits[static_cast<size_t>(f)];
            ok = writer.AddData(r.data(), static_cast<int32_t>(r.size()), 1);
        }
        // Sound up to the end of this frame: a quiet 440 Hz tone with a click each second.
        const long due = (f + 1L) * kAudioRate / kFrameRate;
        for (; samplesWritten < due; ++samplesWritten) {
            const long inSecond = samplesWritten % kAudioRate;
            const double v = inSecond < 80
                                 ? 12000.0
                                 : 1500.0 * std::sin(static_cast<double>(samplesWritten) * 0.3456);
            uint8_t sample[2];
            StoreU16LE(sample, static_cast<uint16_t>(static_cast<int16_t>(v)));
            audio.insert(audio.end(), sample, sample + 2);
        }
        while (ok && audio.size() >= kAudioBlock) {
            ok = writer.AddData(audio.data(), kAudioBlock, 2);
            audio.erase(audio.begin(), audio.begin() + kAudioBlock);
        }
        if (ok && f % kFrameRate == 0) {
            const std::string gps = GpsLine(f / kFrameRate);
            ok = writer.AddData(reinterpret_cast<const uint8_t*>(gps.data()),
                                static_cast<int32_t>(gps.size()), 3);
        }
        if (ok && f % (kFrameRate / 10) == 0) {
            const uint8_t sensor[4] = {'M', 128, static_cast<uint8_t>(120 + f % 16), 64};
            ok = writer.AddData(sensor, 4, 3);
        }
    }
    const uint32_t riff = writer.Close();
    if (!ok || riff == 0) {
        std::fprintf(stderr, "aviinfo: writing %s failed\n", out.c_str());
        return 1;
    }
    std::printf("wrote %s: %d frames%s, %u bytes\n", out.c_str(), frames,
                twoChannel ? " per channel" : "", riff + 8);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    bool verbose = false;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("aviinfo %s\n", ProgramVersion());
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else
            args.emplace_back(argv[i]);
    }
    const DiagLog diag = verbose ? DiagLog::ToStdout() : DiagLog();
    if (args.size() >= 2 && args[0] == "info")
        return Info(args[1], &diag);
    if (args.size() >= 2 && args[0] == "chunks")
        return Chunks(args[1], args.size() >= 3 ? std::atol(args[2].c_str()) : 40, &diag);
    if (args.size() >= 2 && args[0] == "sample") {
        SampleOptions options;
        for (size_t i = 2; i < args.size(); i += 2) {
            if (i + 1 >= args.size())
                return Usage();
            const std::string& value = args[i + 1];
            if (args[i] == "--front")
                options.front = value;
            else if (args[i] == "--rear")
                options.rear = value;
            else if (args[i] == "--seconds")
                options.seconds = std::atoi(value.c_str());
            else if (args[i] == "--front-size" && ParseSize(value, options.frontSize))
                continue;
            else if (args[i] == "--rear-size" && ParseSize(value, options.rearSize))
                continue;
            else
                return Usage();
        }
        if (options.front.empty() || options.seconds <= 0)
            return Usage();
        return Sample(args[1], options, &diag);
    }
    return Usage();
}
