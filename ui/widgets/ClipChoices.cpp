#include "ClipChoices.h"

#include "evidence/Manifest.h"
#include "evidence/Report.h"
#include "resources/strings/StringTable.h"
#include "ui/logic/StatusText.h"
#include "ui/logic/TripRows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// Texts of the clip export (resources/strings/strings.inc).
constexpr int kLosslessNotice = 664;
constexpr int kNoTargetText = 666;
constexpr int kNotMp4Text = 668;
constexpr int kCrfRangeText = 670;
constexpr int kUnknownPresetText = 672;
constexpr int kNoLengthText = 674;
constexpr int kNoFolderText = 676;
constexpr int kSavedText = 678;
constexpr int kFailedText = 680;
constexpr int kCancelledText = 682;
constexpr int kCutShortText = 700; // "The recordings could not be read to the clip's end: ..."
constexpr int kFramesLeftText = 688;
constexpr int kFramesText = 690;
constexpr int kLengthWord = 698;

constexpr int64_t kSecondsPerDay = 86400;

// "hh:mm:ss" of the time of day of wall-clock seconds; "--:--:--" when unknown.
std::string TimeOfDay(int64_t wallSeconds) {
    if (wallSeconds < 0)
        return "--:--:--";
    return StatusText::TimeText(wallSeconds % kSecondsPerDay);
}

// "hhmmss" of the time of day; "000000" when unknown.
std::string Compact(int64_t wallSeconds) {
    std::string text = wallSeconds < 0 ? "00:00:00" : TimeOfDay(wallSeconds);
    text.erase(std::remove(text.begin(), text.end(), ':'), text.end());
    return text;
}

bool EndsWithMp4(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".mp4";
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

} // namespace

ClipChoices::ClipChoices(ClipEnds ends, int cameras, uint16_t languageId)
    : m_ends(std::move(ends)), m_cameras(std::max(cameras, 1)), m_language(languageId),
      m_layout(m_cameras > 1 ? clips::Layout::kPip : clips::Layout::kFront) {}

std::vector<clips::Layout> ClipChoices::Layouts() const {
    if (m_cameras <= 1)
        return {clips::Layout::kFront};
    return {clips::Layout::kFront, clips::Layout::kPip, clips::Layout::kSide, clips::Layout::kGrid};
}

bool ClipChoices::SetLayout(clips::Layout layout) {
    const std::vector<clips::Layout> offered = Layouts();
    if (std::find(offered.begin(), offered.end(), layout) == offered.end())
        return false;
    m_layout = layout;
    return true;
}

std::string ClipChoices::Error() const {
    if (m_ends.line.endMs <= m_ends.line.startMs || m_ends.from.recording.empty())
        return PickText(kNoLengthText, m_language);
    if (m_target.empty())
        return PickText(kNoTargetText, m_language);
    if (!EndsWithMp4(m_target))
        return PickText(kNotMp4Text, m_language);
    const std::string folder = std::filesystem::path(m_target).parent_path().string();
    if (!IsFolder(folder.empty() ? std::string(".") : folder))
        return FormatText(kNoFolderText, m_language, folder.c_str());
    if (!m_lossless) {
        if (m_crf < clips::kMinCrf || m_crf > clips::kMaxCrf)
            return FormatText(kCrfRangeText, m_language, clips::kMinCrf, clips::kMaxCrf);
        const std::vector<std::string>& presets = clips::Presets();
        if (std::find(presets.begin(), presets.end(), m_preset) == presets.end())
            return FormatText(kUnknownPresetText, m_language, m_preset.c_str());
    }
    return {};
}

std::string ClipChoices::Notice() const {
    return m_lossless ? PickText(kLosslessNotice, m_language) : std::string();
}

std::string ClipChoices::SpanText() const {
    std::string text = TimeOfDay(m_ends.wallStartSec) + " \u2013 " + TimeOfDay(m_ends.wallEndSec) +
                       " (" + PickText(kLengthWord, m_language) + " " +
                       TripRows::LengthText(m_ends.line.endMs - m_ends.line.startMs) + ")\n" +
                       m_ends.from.recording;
    if (m_ends.to.recording != m_ends.from.recording)
        text += " \u2013 " + m_ends.to.recording;
    return text;
}

std::vector<std::string> ClipChoices::ExistingOutputs() const {
    std::vector<std::string> outputs;
    if (m_target.empty())
        return outputs;
    outputs.push_back(m_target);
    if (m_lossless) {
        // The other cameras' files of a lossless copy: "<stem>-rear.mp4", "<stem>-camera3.mp4".
        const std::filesystem::path target(m_target);
        for (int channel = 1; channel < m_cameras; ++channel)
            outputs.push_back((target.parent_path() /
                               (target.stem().string() + "-" + clips::CameraName(channel) + ".mp4"))
                                  .string());
    }
    outputs.push_back(evidence::ManifestPathFor(m_target));
    outputs.push_back(evidence::ReportPathFor(m_target));
    std::vector<std::string> existing;
    std::error_code error;
    for (const std::string& output : outputs)
        if (std::filesystem::exists(output, error))
            existing.push_back(output);
    return existing;
}

clips::ClipRequest ClipChoices::Request(std::shared_ptr<VRecordingSource> source, SpeedUnit units,
                                        int64_t gapMs) const {
    clips::ClipRequest request;
    request.source = std::move(source);
    request.from = m_ends.from;
    request.to = m_ends.to;
    request.gapMs = gapMs;
    request.lossless = m_lossless;
    request.layout = m_cameras > 1 ? m_layout : clips::Layout::kFront;
    request.overlay = m_overlay && !m_lossless;
    request.crf = m_crf;
    request.preset = m_preset;
    request.sound = m_sound;
    request.units = units;
    request.language = IsKorean(m_language) ? evidence::ReportLanguage::kKorean
                                            : evidence::ReportLanguage::kEnglish;
    request.outPath = m_target;
    return request;
}

std::string ClipChoices::DefaultName(const ClipEnds& ends) {
    const std::string recording = ends.from.recording.empty() ? "clip" : ends.from.recording;
    return recording + "_" + Compact(ends.wallStartSec) + "-" + Compact(ends.wallEndSec) + ".mp4";
}

std::string ClipChoices::DefaultFolder(const std::string& last, const std::string& videos,
                                       const std::string& home) {
    if (IsFolder(last))
        return last;
    if (IsFolder(videos))
        return videos;
    return home;
}

std::string ClipChoices::ProgressText(const clips::ClipProgress& progress, uint16_t languageId) {
    const auto done = static_cast<long long>(std::max<int64_t>(progress.framesDone, 0));
    const auto total =
        static_cast<long long>(std::max<int64_t>(progress.framesTotal, progress.framesDone));
    if (progress.secondsLeft < 0)
        return FormatText(kFramesText, languageId, done, total);
    const auto leftMs = static_cast<int64_t>(progress.secondsLeft * 1000.0 + 999.0);
    return FormatText(kFramesLeftText, languageId, done, total,
                      TripRows::LengthText(leftMs).c_str());
}

std::string ClipChoices::OutcomeText(const clips::ClipResult& result, uint16_t languageId) {
    if (result.cancelled)
        return PickText(kCancelledText, languageId);
    if (!result.ok || result.written.empty()) {
        const std::string reason = result.error.empty() ? "?" : result.error;
        return FormatText(kFailedText, languageId, reason.c_str());
    }
    const std::string& clip = result.written.front();
    const std::string manifest = evidence::ManifestPathFor(clip);
    const std::string report = evidence::ReportPathFor(clip);
    std::string record;
    for (const std::string& file : result.written)
        if (file == manifest || file == report)
            record +=
                (record.empty() ? "" : ", ") + std::filesystem::path(file).filename().string();
    if (record.empty())
        record = "-";
    std::string text = FormatText(kSavedText, languageId, clip.c_str(), record.c_str());
    if (result.cutShort) {
        const std::string written = TripRows::LengthText(result.lengthMs);
        const std::string asked = TripRows::LengthText(result.askedMs);
        text += "\n" + FormatText(kCutShortText, languageId, written.c_str(), asked.c_str());
    }
    return text;
}
