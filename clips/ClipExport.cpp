#include "clips/ClipExport.h"

#include "base/ProgramVersion.h"
#include "clips/ClipRecord.h"
#include "clips/ClipTarget.h"
#include "clips/CopyProgress.h"
#include "clips/LosslessCopy.h"
#include "clips/TargetCheck.h"
#include "evidence/FileDigest.h"
#include "evidence/IsoTime.h"
#include "evidence/Manifest.h"
#include "evidence/Report.h"
#include "sources/TripPlan.h"
#include "telemetry/CsvWriter.h"
#include "telemetry/GpxWriter.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <memory>
#include <set>

namespace clips {

namespace {

// What was written before the record: the clip (or the cameras' copies).
struct Written {
    bool ok = false;
    bool cancelled = false;
    std::string error;
    int64_t frames = 0;
    int64_t lengthMs = 0;
    int64_t startShiftMs = 0;
    std::string codec = "h264";
    bool sound = false;
};

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string Failure(const fileio::Result& result, const std::string& path) {
    return result.Reason() + " (writing " + path + ")";
}

// The source files of the clip's recordings, each once, in the recordings' order.
std::vector<std::string> SourcesOf(const VRecordingSource& source, const ClipPlan& plan) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    for (const ClipPart& part : plan.parts)
        for (std::string& file : source.SourceFiles(part.recording))
            if (seen.insert(file).second)
                files.push_back(std::move(file));
    return files;
}

class ClipExporter {
public:
    ClipExporter(const ClipRequest& request, const ProgressFn& progress,
                 const std::atomic<bool>& cancel)
        : m_request(request), m_progress(progress), m_cancel(cancel) {}

    ClipResult Run() {
        if (!m_request.source)
            return Fail("no source to export from");
        if (m_request.outPath.empty())
            return Fail("no file to write the clip to");
        VRecordingSource& source = *m_request.source;
        ClipPlanning planning = PlanClip(source, m_request.from, m_request.to, m_request.gapMs);
        if (!planning.plan)
            return Fail(planning.error);
        m_plan = std::move(*planning.plan);

        std::vector<int> channels;
        if (m_request.lossless) {
            channels = LosslessChannels(source, m_plan);
            if (channels.empty())
                return Fail("the recording " + m_plan.parts.front().recording +
                            " has no camera files to copy");
        }
        m_paths = PathsFor(m_request.outPath, channels);
        const std::vector<std::string> targets = m_paths.All();
        if (std::set<std::string>(targets.begin(), targets.end()).size() != targets.size())
            return Fail(m_request.outPath + " leaves no room for the files beside it: name the "
                                            "clip NAME.mp4");
        const std::vector<std::string> sources = SourcesOf(source, m_plan);
        for (const std::string& target : targets) {
            const std::string refusal = TargetRefusal(target, sources, source.StorageFolder());
            if (!refusal.empty())
                return Fail(refusal);
        }
        m_total = PicturesIn(m_plan.endMs - m_plan.startMs, 30.0) *
                  static_cast<int64_t>(std::max<size_t>(channels.size(), 1));

        // The sources' digests first: the card may be gone once the clip is written.
        std::vector<evidence::SourceFile> digested;
        for (const std::string& file : sources) {
            evidence::FileDigest digest;
            const fileio::Result read = evidence::DigestFile(file, digest, [this](uint64_t) {
                Tell(0);
                return !m_cancel.load(std::memory_order_relaxed);
            });
            if (read.error == ECANCELED)
                return Cancelled();
            if (!read.Ok())
                return Fail(read.Reason() + " (reading " + file + ")");
            digested.push_back(evidence::MakeSourceFile(file, digest));
        }

        // Every target's temporary file, made before the long part so that a folder that
        // cannot take them fails at once.
        for (const std::string& target : targets) {
            m_targets.push_back(std::make_unique<ClipTarget>(target));
            const fileio::Result made = m_targets.back()->Create();
            if (!made.Ok())
                return Fail(Failure(made, target));
        }
        if (m_cancel.load())
            return Cancelled();

        const TelemetryTrack line = tripplan::JoinedTrack(source, m_plan.plan);
        const Written clip = m_request.lossless ? Copy(channels) : Encode(line);
        if (clip.cancelled)
            return Cancelled();
        if (!clip.ok)
            return Fail(clip.error);
        if (m_cancel.load())
            return Cancelled();

        // The record of the clip's span, from its first picture to where its pictures end:
        // the marks' end, or less where the recordings could not be read that far.
        const int64_t fromMs = m_plan.startMs - clip.startShiftMs;
        const int64_t askedMs = m_plan.endMs - fromMs;
        const bool cutShort = clip.lengthMs + kCutShortToleranceMs < askedMs;
        const int64_t endMs = cutShort ? fromMs + clip.lengthMs : m_plan.endMs;
        const TelemetryTrack track = ClipTrack(line, fromMs, endMs);
        const std::string name = m_plan.parts.front().recording;
        const std::string gpx = GpxWriter::Write(track, name);
        const std::string csv = CsvWriter::Write(track, m_request.units);
        if (!WriteText(Target(m_paths.gpx), gpx) || !WriteText(Target(m_paths.csv), csv))
            return Fail(m_error);

        evidence::Manifest manifest;
        manifest.programName = "tatview";
        manifest.programVersion = ProgramVersion();
        manifest.sources = std::move(digested);
        manifest.start = PointAt(m_plan, fromMs);
        manifest.end = PointAt(m_plan, endMs);
        manifest.cameraMinusGpsMs = CameraMinusGpsMs(m_plan, line, fromMs, endMs);
        manifest.layout = m_request.lossless ? kLosslessLayout : LayoutWord(m_request.layout);
        manifest.overlay.on = m_request.overlay && !m_request.lossless;
        if (manifest.overlay.on)
            manifest.overlay.fields = OverlayFields(!track.carStates.empty());
        manifest.encoder.codec = clip.codec;
        manifest.encoder.lossless = m_request.lossless;
        manifest.encoder.sound = clip.sound;
        if (!m_request.lossless) {
            manifest.encoder.crf = m_request.crf;
            manifest.encoder.preset = m_request.preset;
        }
        // The outputs' digests last, from the files that go in place.
        if (!AddOutput(manifest, m_paths.clip,
                       channels.empty() ? evidence::OutputKind::kClip
                                        : evidence::OutputKind::kCamera,
                       channels.empty() ? std::string() : CameraName(channels.front())))
            return Result();
        for (size_t k = 0; k < m_paths.cameras.size(); ++k)
            if (!AddOutput(manifest, m_paths.cameras[k], evidence::OutputKind::kCamera,
                           CameraName(channels[k + 1])))
                return Result();
        if (!AddOutput(manifest, m_paths.gpx, evidence::OutputKind::kGpx) ||
            !AddOutput(manifest, m_paths.csv, evidence::OutputKind::kCsv))
            return Result();
        manifest.createdUtc = evidence::IsoUtcTime(static_cast<int64_t>(std::time(nullptr)));
        fileio::Result written =
            evidence::WriteManifest(Target(m_paths.manifest).TemporaryPath(), manifest);
        if (!written.Ok())
            return Fail(Failure(written, m_paths.manifest));
        written = evidence::WriteReport(Target(m_paths.report).TemporaryPath(), manifest,
                                        m_request.language, FileName(m_paths.manifest));
        if (!written.Ok())
            return Fail(Failure(written, m_paths.report));
        if (m_cancel.load())
            return Cancelled();

        // Everything is whole: in place, the record first and the clip last, so that a clip at
        // the target always has its record beside it.
        for (size_t k = 1; k <= m_targets.size(); ++k) {
            ClipTarget& target = *m_targets[k % m_targets.size()]; // the clip (0) last
            const fileio::Result committed = target.Commit();
            if (!committed.Ok())
                return Fail(Failure(committed, target.Path()));
        }
        ClipResult result;
        result.ok = true;
        result.written = targets;
        result.frames = clip.frames;
        result.lengthMs = clip.lengthMs;
        result.startShiftMs = clip.startShiftMs;
        result.askedMs = askedMs;
        result.cutShort = cutShort;
        return result;
    }

private:
    ClipResult Fail(const std::string& error) {
        ClipResult result;
        result.error = error.empty() ? "the export failed" : error;
        return result;
    }
    ClipResult Result() { return Fail(m_error); }
    ClipResult Cancelled() {
        ClipResult result;
        result.cancelled = true;
        return result;
    }

    void Tell(int64_t done) {
        if (m_progress)
            m_progress({done, m_total, -1});
    }

    ClipTarget& Target(const std::string& path) {
        for (auto& target : m_targets)
            if (target->Path() == path)
                return *target;
        return *m_targets.front(); // every path has its target (made from the same list)
    }

    bool WriteText(ClipTarget& target, const std::string& text) {
        const fileio::Result written = fileio::ReplaceFile(target.TemporaryPath(), text.data(),
                                                           text.size(), fileio::ReplaceOptions{});
        if (!written.Ok()) {
            m_error = Failure(written, target.Path());
            return false;
        }
        return true;
    }

    bool AddOutput(evidence::Manifest& manifest, const std::string& path, evidence::OutputKind kind,
                   const std::string& camera = {}) {
        evidence::FileDigest digest;
        const fileio::Result read = evidence::DigestFile(Target(path).TemporaryPath(), digest);
        if (!read.Ok()) {
            m_error = read.Reason() + " (reading back " + path + ")";
            return false;
        }
        manifest.outputs.push_back(evidence::MakeOutputFile(FileName(path), kind, digest, camera));
        return true;
    }

    Written Copy(const std::vector<int>& channels) {
        std::vector<CameraFile> files;
        std::vector<std::string> order{m_paths.clip};
        order.insert(order.end(), m_paths.cameras.begin(), m_paths.cameras.end());
        for (size_t k = 0; k < channels.size(); ++k) {
            const ClipTarget& target = Target(order[k]);
            files.push_back({channels[k], target.TemporaryPath(), target.Path()});
        }
        const LosslessOutcome copied =
            LosslessCopy(m_request.source, m_plan, m_request.sound, files, m_progress, m_cancel);
        Written written;
        written.ok = copied.ok;
        written.cancelled = copied.cancelled;
        written.error = copied.error;
        written.frames = copied.frames;
        written.lengthMs = copied.lengthMs;
        written.startShiftMs = copied.startShiftMs;
        written.codec = copied.codec;
        written.sound = copied.sound;
        return written;
    }

    Written Encode(const TelemetryTrack& line) {
        Written written;
        const std::unique_ptr<CTripParser> parser =
            tripplan::MakeParser(m_request.source, m_plan.plan);
        if (!parser) {
            written.error = "this program cannot read the recordings' pictures";
            return written;
        }
        parser->Start();
        OpenInfo info;
        const std::string& first = m_plan.plan.segments.front().name;
        if (parser->Open(first, &info) == 0) {
            parser->Stop();
            written.error = "cannot open the recording " + m_plan.parts.front().recording;
            return written;
        }
        EncodeInput input;
        input.parser = parser.get();
        input.plan = &m_plan;
        input.track = line;
        input.cameras = parser->VideoChannels();
        if (input.cameras <= 0) {
            const int index = m_request.source->Find(m_plan.parts.front().recording);
            input.cameras =
                index < 0 ? 1 : m_request.source->Recordings()[static_cast<size_t>(index)].channels;
        }
        input.cameras = std::max(input.cameras, 1);
        EncodeSettings settings;
        settings.layout = m_request.layout;
        settings.overlay = m_request.overlay;
        settings.crf = m_request.crf;
        settings.preset = m_request.preset;
        settings.sound = m_request.sound;
        settings.units = m_request.units;
        const EncodeOutcome encoded =
            EncodeClip(input, settings, Target(m_paths.clip).TemporaryPath(), m_progress, m_cancel);
        parser->Stop();
        written.ok = encoded.ok;
        written.cancelled = encoded.cancelled;
        written.error = encoded.error;
        written.frames = encoded.frames;
        written.lengthMs = encoded.lengthMs;
        written.sound = m_request.sound;
        return written;
    }

    const ClipRequest& m_request;
    const ProgressFn& m_progress;
    const std::atomic<bool>& m_cancel;
    ClipPlan m_plan;
    ClipPaths m_paths;
    int64_t m_total = 1;
    std::vector<std::unique_ptr<ClipTarget>> m_targets; // ClipPaths::All's order
    std::string m_error;
};

} // namespace

ClipResult Export(const ClipRequest& request, const ProgressFn& progress,
                  const std::atomic<bool>& cancel) {
    ClipExporter exporter(request, progress, cancel);
    return exporter.Run();
}

} // namespace clips
