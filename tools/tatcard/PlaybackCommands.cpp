#include "PlaybackCommands.h"

#include "CardCommands.h"
#include "CommandLine.h"
#include "FolderCommands.h"
#include "MeasuringAudio.h"
#include "MeasuringPictureArea.h"
#include "PlayMeasurements.h"
#include "ProcessClock.h"
#include "base/DiagLog.h"
#include "player/audio/AudioOutputFactory.h"
#include "player/audio/CAudioTempo.h"
#include "player/decoder/CDecoder.h"
#include "player/decoder/FFmpegHwDevice.h"
#include "player/decoder/HwDeviceProvider.h"
#include "player/engine/CQTRMediaPlayer.h"
#include "sources/MediaOptions.h"
#include "sources/TripPlan.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool ParseInt(const std::string& text, long long low, long long high, long long& value) {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || errno != 0 || parsed < low ||
        parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ParseSize(const std::string& text, int32_t& width, int32_t& height) {
    const size_t x = text.find('x');
    long long w = 0;
    long long h = 0;
    if (x == std::string::npos || !ParseInt(text.substr(0, x), 16, 4096, w) ||
        !ParseInt(text.substr(x + 1), 16, 4096, h))
        return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

struct ScriptStep {
    enum Kind { kSeek, kStep, kPause, kFrameStep } kind;
    long long value; // milliseconds for seeks and pauses, seconds for steps, frames for frame steps
};

struct PlayOptions {
    std::string card;
    std::string name;
    std::vector<ScriptStep> script;
    long long gapMs = 3000;
    long long limitMs = 0;
    int32_t width = 640;
    int32_t height = 360;
    int32_t speedPercent = 100;
    bool speedGiven = false; // the line then tells how many front frames came on time
    bool nullAudio = false;
    bool verbose = false;
    bool show = false;
    bool fullDecode = false; // --full-decode: no lower cost for the cameras beside the front
    int32_t decodeAhead = static_cast<int32_t>(CQTRMediaPlayer::kDecodeAheadPictures);
    int trip = 0;                              // --trip N: drive N instead of a recording
    int64_t gapSetting = trips::kDefaultGapMs; // --gap S
    HwDecode hwdec = HwDecode::kNo;            // --hwdec: software unless asked
};

constexpr char kHwdecComplaint[] = "--hwdec takes auto, vaapi, cuda or no";

// --hwdec WORD.
bool ParseHwdecOption(const std::string& text, HwDecode& choice) {
    const std::optional<HwDecode> parsed = ParseHwDecode(text);
    if (!parsed)
        return false;
    choice = *parsed;
    return true;
}

// The decoder's devices for the setting; a fallback to software is said once on standard
// error. FFmpeg's own messages (a device library that does not load, ...) only with verbose.
void UseHardware(CDecoder& decoder, HwDecode choice, bool verbose) {
    CFFMH264_Decoder::SetLibraryMessages(verbose);
    if (choice != HwDecode::kNo)
        decoder.SetHwDevices(
            std::make_shared<HwDeviceProvider>(choice, HwDeviceProvider::ToStream(stderr)));
}

// A speed from 0.25 to 8 (a factor of the recording's pace) in whole percent.
bool ParseSpeed(const std::string& text, int32_t& percent) {
    char* end = nullptr;
    errno = 0;
    const double factor = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || errno != 0 || !(factor >= 0.25) ||
        !(factor <= 8.0))
        return false;
    percent = static_cast<int32_t>(std::lround(factor * 100.0));
    return true;
}

// "MS" or "MS,MS,...": one seek each.
bool ParseSeeks(const std::string& text, std::vector<ScriptStep>& script) {
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        long long value = 0;
        if (!ParseInt(text.substr(from, comma - from), 0, 24LL * 3600 * 1000, value))
            return false;
        script.push_back({ScriptStep::kSeek, value});
        if (comma == std::string::npos)
            return true;
        from = comma + 1;
    }
}

// Fills options from args; an empty result is fine, otherwise it is the complaint.
std::string ParsePlay(const std::vector<std::string>& args, PlayOptions& options) {
    std::vector<std::string> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        long long value = 0;
        if (a == "--seek-ms") {
            if (!hasValue || !ParseSeeks(args[++i], options.script))
                return "--seek-ms takes milliseconds, or several separated by commas";
        } else if (a == "--pause-ms" || a == "--gap-ms" || a == "--limit-ms") {
            if (!hasValue || !ParseInt(args[i + 1], 0, 24LL * 3600 * 1000, value))
                return a + " takes a number of milliseconds";
            ++i;
            if (a == "--pause-ms")
                options.script.push_back({ScriptStep::kPause, value});
            else if (a == "--gap-ms")
                options.gapMs = value;
            else
                options.limitMs = value;
        } else if (a == "--step") {
            if (!hasValue || !ParseInt(args[i + 1], -86400, 86400, value) || value == 0)
                return "--step takes a non-zero number of seconds (negative: back)";
            ++i;
            options.script.push_back({ScriptStep::kStep, value});
        } else if (a == "--frame-step") {
            if (!hasValue || !ParseInt(args[i + 1], -100000, 100000, value) || value == 0)
                return "--frame-step takes a non-zero number of frames (negative: back)";
            ++i;
            options.script.push_back({ScriptStep::kFrameStep, value});
        } else if (a == "--speed") {
            if (!hasValue || !ParseSpeed(args[++i], options.speedPercent))
                return "--speed takes a factor from 0.25 to 8";
            options.speedGiven = true;
        } else if (a == "--size") {
            if (!hasValue || !ParseSize(args[++i], options.width, options.height))
                return "--size takes WIDTHxHEIGHT, 16 to 4096 each";
        } else if (a == "--trip") {
            if (!hasValue || !ParseInt(args[i + 1], 1, 1000000, value))
                return "--trip takes a trip number (1 the oldest, as tatcard trips numbers them)";
            ++i;
            options.trip = static_cast<int>(value);
        } else if (a == "--gap") {
            if (!hasValue || !ParseGapSeconds(args[++i], options.gapSetting))
                return kGapComplaint;
        } else if (a == "--hwdec") {
            if (!hasValue || !ParseHwdecOption(args[++i], options.hwdec))
                return kHwdecComplaint;
        } else if (a == "--show") {
            options.show = true;
        } else if (a == "--decode-ahead") {
            if (!hasValue || !ParseInt(args[i + 1], 1, 16, value))
                return "--decode-ahead takes a number of pictures from 1 to 16";
            ++i;
            options.decodeAhead = static_cast<int32_t>(value);
        } else if (a == "--full-decode") {
            options.fullDecode = true;
        } else if (a == "--null-audio") {
            options.nullAudio = true;
        } else if (a == "--verbose") {
            options.verbose = true;
        } else if (a.rfind("--", 0) == 0) {
            return "unknown option " + a;
        } else {
            positional.push_back(a);
        }
    }
    if (options.trip > 0 && positional.size() == 1) {
        options.card = positional[0];
        return {};
    }
    if (positional.size() != 2)
        return options.trip > 0 ? "play --trip N takes a source and no recording name"
                                : "play needs a card folder and a recording name";
    options.card = positional[0];
    options.name = positional[1];
    return {};
}

// The end event of the engine, waited for on the command's thread, and whether the parser's
// reads ended in a failure rather than at the recording's end.
struct EndSignal {
    const VMediaParser* parser = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    bool readFailed = false;

    static void OnEvent(void* user, int event, int, int) {
        auto* self = static_cast<EndSignal*>(user);
        if (event != CQTRMediaPlayer::kEventEnd)
            return;
        // The engine's worker thread, right after its last read.
        const bool failed =
            self->parser != nullptr && self->parser->LastReadEnd() == ReadEnd::kFailed;
        std::lock_guard<std::mutex> hold(self->mutex);
        self->ended = true;
        self->readFailed = failed;
        self->changed.notify_all();
    }
    bool ReadFailed() {
        std::lock_guard<std::mutex> hold(mutex);
        return ended && readFailed;
    }
    // True when the end came within the time.
    bool WaitFor(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [this] { return ended; });
    }
    bool Ended() {
        std::lock_guard<std::mutex> hold(mutex);
        return ended;
    }
};

// Waits until the measurements hold `count` repositions (at most 5 s) or the recording ends.
void WaitForRepositions(const PlayMeasurements& measurements, size_t count, EndSignal& end) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline && !end.Ended() && measurements.RepositionsMeasured() < count)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Runs one scripted step; waits for a seek's or frame step's picture (at most 5 s each).
void RunStep(const ScriptStep& step, CQTRMediaPlayer& engine, PlayMeasurements& measurements,
             EndSignal& end) {
    switch (step.kind) {
    case ScriptStep::kSeek: {
        const size_t before = measurements.RepositionsMeasured();
        measurements.SeekRequested(Clock::now(), engine.Repositions());
        engine.SeekToMs(step.value);
        WaitForRepositions(measurements, before + 1, end);
        break;
    }
    case ScriptStep::kStep:
        measurements.Break();
        if (step.value > 0)
            engine.StepForward(static_cast<int>(step.value));
        else
            engine.StepBackward(static_cast<int>(-step.value));
        break;
    case ScriptStep::kPause:
        measurements.Break();
        engine.Pause();
        std::this_thread::sleep_for(std::chrono::milliseconds(step.value));
        measurements.Break();
        engine.Resume();
        break;
    case ScriptStep::kFrameStep: {
        // Paused, one frame at a time, each waiting for its picture; then playing goes on.
        measurements.Break();
        engine.Pause();
        const int32_t direction = step.value > 0 ? 1 : -1;
        for (long long i = 0; i < std::llabs(step.value) && !end.Ended(); ++i) {
            const size_t before = measurements.RepositionsMeasured();
            measurements.SeekRequested(Clock::now(), engine.Repositions(), true);
            engine.StepFrames(direction);
            WaitForRepositions(measurements, before + 1, end);
        }
        measurements.Break();
        engine.Resume();
        break;
    }
    }
}

} // namespace

namespace {

// What plays: a recording through its source's parser, or a drive through a trip parser over
// the source's own parsers.
struct PlaySource {
    std::shared_ptr<VRecordingSource> source;
    VMediaParser* parser = nullptr;
    std::string openName;
    std::unique_ptr<CTripParser> tripParser;
    TripPlan plan; // empty for a single recording
};

// The source of `path` and the parser of recording `name`, or of drive `trip` (1 = the oldest;
// 0: none) of it; parser null after one line on standard error.
PlaySource OpenSource(const std::string& path, const std::string& name, int trip, int64_t gapMs) {
    PlaySource play;
    play.source = sources::Open(path, sources::WithMediaParsers(nullptr));
    if (!play.source) {
        CommandFailed("no recordings in " + path);
        return play;
    }
    if (trip > 0) {
        const std::vector<trips::Trip> drives = play.source->Trips(gapMs);
        if (static_cast<size_t>(trip) > drives.size()) {
            CommandFailed("no trip " + std::to_string(trip) + " in " + path + " (" +
                          std::to_string(drives.size()) + " trips)");
            return play;
        }
        play.plan = tripplan::Plan(*play.source, drives[static_cast<size_t>(trip) - 1]);
        play.tripParser = tripplan::MakeParser(play.source, play.plan);
        play.parser = play.tripParser.get();
        play.openName = "trip " + std::to_string(trip);
        if (play.parser == nullptr)
            CommandFailed("cannot read trip " + std::to_string(trip));
        return play;
    }
    if (play.source->Find(name) < 0) {
        CommandFailed("no recording " + name + " in " + path);
        return play;
    }
    play.parser = play.source->EngineParser(name, play.openName);
    if (play.parser == nullptr)
        CommandFailed("cannot read " + name);
    return play;
}

// The process's resident memory (VmRSS of /proc/self/status) in KiB; -1 when unknown.
long long ResidentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmRSS: %lld kB", &kb) == 1)
            break;
    std::fclose(status);
    return kb;
}

// For each boundary of the drive that was played across: the largest wall-clock interval
// between front pictures shown within half a second either side of it (ms).
std::vector<double>
BoundaryIntervals(const TripPlan& plan,
                  const std::vector<std::pair<Clock::time_point, int64_t>>& shown) {
    std::vector<double> intervals;
    for (size_t k = 1; k < plan.segments.size(); ++k) {
        const int64_t boundary = plan.segments[k].offsetUs;
        double largest = -1;
        for (size_t i = 1; i < shown.size(); ++i) {
            if (shown[i].second < boundary - 500000 || shown[i - 1].second > boundary + 500000 ||
                shown[i].second <= shown[i - 1].second ||
                shown[i].second - shown[i - 1].second > 500000)
                continue; // away from the boundary, or across a seek either way
            const double ms =
                std::chrono::duration<double, std::milli>(shown[i].first - shown[i - 1].first)
                    .count();
            largest = std::max(largest, ms);
        }
        if (largest >= 0)
            intervals.push_back(largest);
    }
    return intervals;
}

int Play(const PlayOptions& options, PlaySource& source, VPictureArea* shownFront,
         VPictureArea* shownRear) {
    VMediaParser& parser = *source.parser;
    const DiagLog diag = options.verbose ? DiagLog::ToStdout() : DiagLog();
    PlayMeasurements measurements(options.speedPercent);
    CDecoder decoder;
    UseHardware(decoder, options.hwdec, options.verbose);
    const AudioOutputFactory factory(stderr);
    const std::unique_ptr<VAudio> device = factory.Make(
        options.nullAudio ? AudioOutputFactory::Choice::Null : AudioOutputFactory::Choice::Auto);
    MeasuringAudio audio(device.get(),
                         [&](Clock::time_point heard) { measurements.ClickHeard(heard); });
    CAudioTempo tempo;
    CQTRMediaPlayer engine;
    // Each front picture's wall time and play time, for the figures at a drive's boundaries.
    std::mutex shownMutex;
    std::vector<std::pair<Clock::time_point, int64_t>> shown;
    long long rssFirstKb = -1;
    MeasuringPictureArea front(
        options.width, options.height,
        [&](const Picture& picture) {
            const Clock::time_point now = Clock::now();
            measurements.FrontPresented(now, MeasuringPictureArea::IsWhitePicture(picture),
                                        engine.Repositions());
            if (!source.plan.segments.empty()) {
                std::lock_guard<std::mutex> hold(shownMutex);
                shown.emplace_back(now, engine.CurrentUs());
                // The memory once the first recording has played.
                if (rssFirstKb < 0 && source.plan.segments.size() > 1 &&
                    engine.CurrentUs() >= source.plan.segments[1].offsetUs)
                    rssFirstKb = ResidentKb();
            }
        },
        shownFront);
    // Every camera beside the front at half its size, as the window's grid shows them.
    std::vector<std::unique_ptr<MeasuringPictureArea>> others;
    std::vector<VPictureArea*> areas{&front};
    for (int c = 1; c < CQTRMediaPlayer::kMaxCameras; ++c) {
        others.push_back(std::make_unique<MeasuringPictureArea>(
            options.width / 2, options.height / 2, MeasuringPictureArea::Observer{},
            c == 1 ? shownRear : nullptr));
        areas.push_back(others.back().get());
    }
    EndSignal end;
    end.parser = &parser;
    engine.SetParser(&parser);
    engine.SetDecoder(&decoder);
    engine.SetAudio(&audio);
    engine.SetTempo(&tempo);
    engine.SetSpeedPercent(options.speedPercent);
    engine.SetEventCallback(&EndSignal::OnEvent, &end);
    engine.SetDiagLog(options.verbose ? &diag : nullptr);
    engine.SetReducedCost(!options.fullDecode);
    engine.SetDecodeAhead(static_cast<size_t>(options.decodeAhead));
    const CQTRMediaPlayer::StartResult started = engine.Start(areas);
    if (!started.Ok()) {
        return CommandFailed(std::string("cannot start the player: the ") +
                             CQTRMediaPlayer::PartName(started.failed) + " did not start");
    }

    const ProcessClock::Reading began = ProcessClock::Now();
    if (!engine.Open(source.openName))
        return CommandFailed("the player cannot open " + source.openName);
    engine.Resume();
    // The script starts once pictures come (at most 5 s, and never past the limit).
    const Clock::time_point firstPictureDeadline =
        Clock::now() +
        (options.limitMs > 0
             ? std::min<std::chrono::milliseconds>(std::chrono::milliseconds(options.limitMs),
                                                   std::chrono::seconds(5))
             : std::chrono::seconds(5));
    while (measurements.Frames() == 0 && !end.Ended() && Clock::now() < firstPictureDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (const ScriptStep& step : options.script) {
        if (end.WaitFor(std::chrono::milliseconds(options.gapMs)))
            break;
        RunStep(step, engine, measurements, end);
    }
    if (options.limitMs > 0) {
        const auto left = std::chrono::milliseconds(options.limitMs) -
                          std::chrono::duration_cast<std::chrono::milliseconds>(
                              ProcessClock::Now().wall - began.wall);
        end.WaitFor(std::max(left, std::chrono::milliseconds(0)));
    } else {
        while (!end.WaitFor(std::chrono::seconds(1))) {
        }
    }
    const ProcessClock::Reading finished = ProcessClock::Now();
    const long long rssEndKb = ResidentKb();
    engine.Pause();
    engine.Stop();
    engine.Shutdown();

    const PlayMeasurements::Figures f = measurements.Compute();
    std::printf("play frames=%lld duration_ms=%d wall_ms=%lld cpu_ms=%lld interval_p50_ms=%.1f "
                "interval_p95_ms=%.1f interval_p99_ms=%.1f av_offset_mean_ms=%.1f "
                "av_offset_drift_ms=%.1f",
                static_cast<long long>(f.frames), engine.DurationMs(),
                ProcessClock::WallMs(began, finished), ProcessClock::CpuMs(began, finished),
                f.intervalP50Ms, f.intervalP95Ms, f.intervalP99Ms,
                f.haveAv ? f.avOffsetMeanMs : std::nan(""),
                f.haveAv ? f.avOffsetDriftMs : std::nan(""));
    if (f.haveDriftSlope)
        std::printf(" av_drift_ms_per_min=%.1f", f.avDriftMsPerMinute);
    if (!f.seekFirstFrameMs.empty())
        std::printf(" seek_first_frame_ms=%.1f", f.seekFirstFrameMedianMs);
    if (f.seekFirstFrameMs.size() > 1)
        std::printf(" seek_p95_ms=%.1f", f.seekFirstFrameP95Ms);
    if (!f.frameStepMs.empty())
        std::printf(" frame_step_ms=%.1f", f.frameStepMedianMs);
    const CQTRMediaPlayer::FrameStats stats = engine.Stats();
    const int64_t due = stats.onTime + stats.late + stats.skipped;
    if (options.speedGiven && due > 0)
        std::printf(" on_time_pct=%.1f skipped=%lld",
                    100.0 * static_cast<double>(stats.onTime) / static_cast<double>(due),
                    static_cast<long long>(stats.skipped));
    const int cameras = engine.ChannelCount();
    if (cameras > 2) {
        std::printf(" cameras=%d", cameras);
        for (int c = 0; c < cameras; ++c) {
            const CQTRMediaPlayer::CameraStats camera = engine.CameraStatsOf(c);
            std::printf(" camera%d_presented=%lld camera%d_dropped=%lld", c,
                        static_cast<long long>(camera.presented), c,
                        static_cast<long long>(camera.dropped));
        }
    }
    if (!source.plan.segments.empty()) {
        std::lock_guard<std::mutex> hold(shownMutex);
        const std::vector<double> boundaries = BoundaryIntervals(source.plan, shown);
        double largest = 0;
        for (const double ms : boundaries)
            largest = std::max(largest, ms);
        std::printf(" recordings=%zu boundaries=%zu boundary_max_ms=%.1f sound_gap_ms=%.1f "
                    "rss_first_kb=%lld rss_end_kb=%lld",
                    source.plan.segments.size(), boundaries.size(), largest,
                    static_cast<double>(stats.largestSoundHoleUs) / 1000.0, rssFirstKb, rssEndKb);
        if (options.verbose) {
            std::fprintf(stderr, "tatcard: boundary intervals (ms):");
            for (const double ms : boundaries)
                std::fprintf(stderr, " %.1f", ms);
            std::fprintf(stderr, "\n");
        }
    }
    std::printf("\n");
    if (options.verbose) {
        std::fprintf(stderr, "tatcard: %d picture/click pairs, %zu seeks, %zu frame steps\n",
                     f.avPairs, f.seekFirstFrameMs.size(), f.frameStepMs.size());
        std::fprintf(stderr, "tatcard: seeks (ms):");
        for (double ms : f.seekFirstFrameMs)
            std::fprintf(stderr, " %.1f", ms);
        std::fprintf(stderr, "\n");
        std::fprintf(stderr, "tatcard: offsets (ms):");
        for (double offset : f.avOffsetsMs)
            std::fprintf(stderr, " %.1f", offset);
        std::fprintf(stderr, "\n");
    }
    if (end.ReadFailed())
        return CommandFailed(options.name + ": the recording could not be read to its end (" +
                             std::to_string(f.frames) + " pictures shown)");
    return f.frames > 0 ? 0 : 1;
}

} // namespace

int PlayCommand(const std::vector<std::string>& args, const PlayWindowRunner& window) {
    PlayOptions options;
    const std::string complaint = ParsePlay(args, options);
    if (!complaint.empty())
        return BadArguments(complaint);
    if (options.show && !window) {
        std::fprintf(stderr, "tatcard: --show needs the window build (Qt 6)\n");
        return 2;
    }
    PlaySource source = OpenSource(options.card, options.name, options.trip, options.gapSetting);
    if (!source.parser)
        return 1;
    if (!options.show)
        return Play(options, source, nullptr, nullptr);
    return window(options.width, options.height, [&](VPictureArea* front, VPictureArea* rear) {
        return Play(options, source, front, rear);
    });
}

int BenchCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    int32_t width = 640;
    int32_t height = 360;
    HwDecode hwdec = HwDecode::kNo;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--size") {
            if (i + 1 >= args.size() || !ParseSize(args[++i], width, height))
                return BadArguments("--size takes WIDTHxHEIGHT, 16 to 4096 each");
        } else if (args[i] == "--hwdec") {
            if (i + 1 >= args.size() || !ParseHwdecOption(args[++i], hwdec))
                return BadArguments(kHwdecComplaint);
        } else if (args[i].rfind("--", 0) == 0) {
            return BadArguments("unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2)
        return BadArguments("bench needs a card folder and a recording name");
    PlaySource source = OpenSource(positional[0], positional[1], 0, trips::kDefaultGapMs);
    if (!source.parser)
        return 1;
    VMediaParser& parser = *source.parser;
    CDecoder decoder;
    UseHardware(decoder, hwdec, false);
    MeasuringPictureArea front(width, height);
    MeasuringPictureArea rear(width, height);
    if (!parser.Start())
        return CommandFailed("cannot start the parser");
    if (!decoder.Open())
        return CommandFailed("cannot open the decoder");
    const ProcessClock::Reading began = ProcessClock::Now();
    if (parser.Open(source.openName, nullptr) == 0)
        return CommandFailed("cannot open " + positional[1]);
    for (int channel = 0; channel < 2; ++channel)
        if (!decoder.SetVideoCodec(channel, parser.GetVideoCodec(channel)))
            return CommandFailed("cannot open the decoder");
    AlignedBuffer buffer(static_cast<size_t>(kPacketBufferSize));
    long long frames = 0;
    for (MediaPacket packet; parser.Read(buffer.data(), kPacketBufferSize, packet);) {
        if (packet.kind == FrontVideo &&
            decoder.DecodeAndShow(0, &front, packet.payload, packet.size))
            ++frames;
        else if (packet.kind == RearVideo &&
                 decoder.DecodeAndShow(1, &rear, packet.payload, packet.size))
            ++frames;
    }
    const ProcessClock::Reading finished = ProcessClock::Now();
    parser.Stop();
    const long long wallMs = ProcessClock::WallMs(began, finished);
    std::printf("bench frames=%lld wall_ms=%lld cpu_ms=%lld fps=%.1f\n", frames, wallMs,
                ProcessClock::CpuMs(began, finished),
                wallMs > 0 ? static_cast<double>(frames) * 1000.0 / static_cast<double>(wallMs)
                           : 0.0);
    return frames > 0 ? 0 : 1;
}

int HwdecCommand(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return BadArguments("hwdec takes no arguments");
    CFFMH264_Decoder::SetLibraryMessages(false);
    const auto words = [](const std::vector<std::string>& names) {
        std::string line;
        for (const std::string& name : names)
            line += (line.empty() ? "" : " ") + name;
        return line.empty() ? std::string("none") : line;
    };
    std::printf("hwdec compiled=%s\n", words(FFmpegHwDevice::CompiledTypes()).c_str());
    std::printf("hwdec h264=%s\n", words(FFmpegHwDevice::DecoderTypes(false)).c_str());
    std::printf("hwdec hevc=%s\n", words(FFmpegHwDevice::DecoderTypes(true)).c_str());
    for (const HwDeviceKind kind : {HwDeviceKind::kVaapi, HwDeviceKind::kCuda})
        std::printf("hwdec %s=%s\n", kind == HwDeviceKind::kVaapi ? "vaapi" : "cuda",
                    FFmpegHwDevice::Create(kind) ? "answers" : "no device");
    return 0;
}
