#include "ClipCommand.h"

#include "CommandLine.h"
#include "clips/ClipExport.h"
#include "clips/ClipPlan.h"
#include "sources/MediaOptions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Set by SIGINT and SIGTERM while an export runs; read by the export between its steps.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    g_stop.store(true);
}

// The stop signals caught for as long as this lives; the old handlers come back after.
class StopSignals {
public:
    StopSignals() {
        g_stop.store(false);
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopSignals() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// Whole decimal digits only; false for anything else or beyond `high`.
bool ReadNumber(const std::string& text, long long high, long long& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::atoll(text.c_str());
    return value <= high;
}

// The progress line: one line rewritten in place on a terminal.
class ProgressLine {
public:
    explicit ProgressLine(bool terminal) : m_terminal(terminal) {}

    void Show(const clips::ClipProgress& progress) {
        if (!m_terminal)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (m_shown && now - m_last < std::chrono::milliseconds(100))
            return;
        m_last = now;
        m_shown = true;
        char left[32] = "";
        if (progress.secondsLeft >= 0)
            std::snprintf(left, sizeof left, ", %.0f s left", progress.secondsLeft);
        std::fprintf(stderr, "\rclip: %" PRId64 "/%" PRId64 " frames%s\033[K", progress.framesDone,
                     progress.framesTotal, left);
        std::fflush(stderr);
    }

    void End() {
        if (m_shown)
            std::fputs("\n", stderr);
        m_shown = false;
    }

private:
    const bool m_terminal;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_last;
};

// "clip: incomplete: exported 2.5 s of 3.5 s; the rest cannot be read (the clip and its
// record end there)", as the card's exports tell a recording read part-way.
std::string IncompleteText(const clips::ClipResult& result) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "clip: incomplete: exported %.1f s of %.1f s; the rest cannot be read (the clip "
                  "and its record end there)",
                  static_cast<double>(result.lengthMs) / 1000.0,
                  static_cast<double>(result.askedMs) / 1000.0);
    return text;
}

} // namespace

std::optional<clips::ClipMark> ParseClipMark(const std::string& text) {
    const size_t at = text.rfind('@');
    if (at == std::string::npos || at == 0)
        return std::nullopt;
    const std::string time = text.substr(at + 1);
    const size_t colon = time.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const size_t dot = time.find('.', colon);
    const std::string seconds =
        time.substr(colon + 1, dot == std::string::npos ? std::string::npos : dot - colon - 1);
    long long mm = 0;
    long long ss = 0;
    long long ms = 0;
    if (!ReadNumber(time.substr(0, colon), 24 * 60, mm) || seconds.size() > 2 ||
        !ReadNumber(seconds, 59, ss))
        return std::nullopt;
    if (dot != std::string::npos) {
        std::string fraction = time.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 3 || !ReadNumber(fraction, 999, ms))
            return std::nullopt;
        fraction.resize(3, '0');
        ms = std::atoll(fraction.c_str());
    }
    return clips::ClipMark{text.substr(0, at), (mm * 60 + ss) * 1000 + ms};
}

std::string ParseClipArguments(const std::vector<std::string>& args, ClipArguments& out) {
    clips::ClipRequest& request = out.request;
    bool from = false;
    bool to = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string* value = i + 1 < args.size() ? &args[i + 1] : nullptr;
        const bool takesValue = a == "--from" || a == "--to" || a == "--event" || a == "--layout" ||
                                a == "--crf" || a == "--preset" || a == "--units" || a == "--gap" ||
                                a == "--lang" || a == "--out";
        if (takesValue) {
            if (value == nullptr)
                return a + " needs a value";
            ++i;
        }
        if (a == "--from" || a == "--to") {
            const std::optional<clips::ClipMark> mark = ParseClipMark(*value);
            if (!mark)
                return a + " takes NAME@MM:SS or NAME@MM:SS.mmm (" + *value + ")";
            (a == "--from" ? request.from : request.to) = *mark;
            (a == "--from" ? from : to) = true;
        } else if (a == "--event") {
            out.event = *value;
        } else if (a == "--layout") {
            const std::optional<clips::Layout> layout = clips::LayoutFromWord(*value);
            if (!layout)
                return "--layout takes front, pip, side or grid";
            request.layout = *layout;
        } else if (a == "--crf") {
            long long crf = 0;
            if (!ReadNumber(*value, 1000, crf) || crf < clips::kMinCrf || crf > clips::kMaxCrf)
                return "--crf takes a number from " + std::to_string(clips::kMinCrf) + " to " +
                       std::to_string(clips::kMaxCrf);
            request.crf = static_cast<int>(crf);
        } else if (a == "--preset") {
            const std::vector<std::string>& presets = clips::Presets();
            if (std::find(presets.begin(), presets.end(), *value) == presets.end())
                return "--preset takes one of ultrafast, superfast, veryfast, faster, fast, "
                       "medium, slow, slower, veryslow";
            request.preset = *value;
        } else if (a == "--units") {
            if (!ParseSpeedUnitWord(*value, request.units))
                return kUnitsComplaint;
        } else if (a == "--gap") {
            if (!ParseGapSeconds(*value, request.gapMs))
                return kGapComplaint;
        } else if (a == "--lang") {
            if (*value != "en" && *value != "ko")
                return "--lang takes en or ko";
            request.language = *value == "ko" ? evidence::ReportLanguage::kKorean
                                              : evidence::ReportLanguage::kEnglish;
        } else if (a == "--out") {
            request.outPath = *value;
        } else if (a == "--no-overlay") {
            request.overlay = false;
        } else if (a == "--lossless") {
            request.lossless = true;
        } else if (a == "--no-sound") {
            request.sound = false;
        } else if (a.rfind("--", 0) == 0 || !out.source.empty()) {
            return "unexpected argument " + a;
        } else {
            out.source = a;
        }
    }
    if (out.source.empty())
        return "clip needs a source: a card folder, a dash-cam folder or a video file";
    if (!out.event.empty() && (from || to))
        return "clip takes --from and --to, or --event, not both";
    if (out.event.empty() && !(from && to))
        return "clip needs --from NAME@MM:SS and --to NAME@MM:SS, or --event NAME";
    if (request.outPath.empty())
        return "clip needs --out FILE.mp4";
    return {};
}

int ClipCommand(const std::vector<std::string>& args) {
    ClipArguments parsed;
    const std::string complaint = ParseClipArguments(args, parsed);
    if (!complaint.empty())
        return BadArguments(complaint);
    // The encoders' own statistics stay off the terminal; their failures reach the user as
    // the export's reason.
    av_log_set_level(AV_LOG_ERROR);
    clips::ClipRequest& request = parsed.request;
    request.source = sources::Open(parsed.source, sources::WithMediaParsers(nullptr));
    if (!request.source)
        return CommandFailed("no recordings in " + parsed.source);
    if (!parsed.event.empty()) {
        const std::optional<clips::ClipPlanning> planning =
            clips::PlanEventClip(*request.source, parsed.event, ClipDefaults{}, request.gapMs);
        if (!planning)
            return CommandFailed("no recording " + parsed.event + " in " + parsed.source);
        if (!planning->plan)
            return CommandFailed(planning->error);
        request.from = planning->plan->MarkAt(planning->plan->startMs);
        request.to = planning->plan->MarkAt(planning->plan->endMs);
    }

    ProgressLine line(isatty(STDERR_FILENO) == 1);
    clips::ClipResult result;
    {
        const StopSignals signals;
        result = clips::Export(
            request, [&line](const clips::ClipProgress& progress) { line.Show(progress); }, g_stop);
    }
    line.End();
    if (result.cancelled)
        return CommandFailed("stopped; nothing was written");
    if (!result.ok)
        return CommandFailed(result.error);
    std::fprintf(stderr, "clip: %" PRId64 " frames, %.3f s", result.frames,
                 static_cast<double>(result.lengthMs) / 1000.0);
    if (request.lossless && result.startShiftMs != 0)
        std::fprintf(stderr, ", from the key frame %.3f s before the start",
                     static_cast<double>(result.startShiftMs) / 1000.0);
    std::fputs("\n", stderr);
    for (const std::string& file : result.written)
        std::printf("%s\n", file.c_str());
    if (result.cutShort)
        return CommandFailed(IncompleteText(result));
    return 0;
}
