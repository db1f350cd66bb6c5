#include "Report.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace evidence {

namespace {

// Milliseconds into a recording as "+H:MM:SS.mmm".
std::string RecordingOffset(int64_t ms) {
    const uint64_t magnitude =
        ms < 0 ? static_cast<uint64_t>(-(ms + 1)) + 1 : static_cast<uint64_t>(ms);
    char text[48];
    std::snprintf(text, sizeof text, "%c%" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64,
                  ms < 0 ? '-' : '+', magnitude / 3600000, magnitude / 60000 % 60,
                  magnitude / 1000 % 60, magnitude % 1000);
    return text;
}

// Signed milliseconds as seconds with three decimals: "+1.250".
std::string SignedSeconds(int64_t ms) {
    const uint64_t magnitude =
        ms < 0 ? static_cast<uint64_t>(-(ms + 1)) + 1 : static_cast<uint64_t>(ms);
    char text[40];
    std::snprintf(text, sizeof text, "%c%" PRIu64 ".%03" PRIu64, ms < 0 ? '-' : '+',
                  magnitude / 1000, magnitude % 1000);
    return text;
}

ReportPhrase KindPhrase(OutputKind kind) {
    switch (kind) {
    case OutputKind::kClip:
        return ReportPhrase::kKindClip;
    case OutputKind::kGpx:
        return ReportPhrase::kKindGpx;
    case OutputKind::kCsv:
        return ReportPhrase::kKindCsv;
    case OutputKind::kCamera:
        return ReportPhrase::kKindCamera;
    }
    return ReportPhrase::kKindClip;
}

// Builds the text line by line in one language.
class Lines {
public:
    explicit Lines(ReportLanguage language) : m_language(language) {}

    std::string P(ReportPhrase phrase) const { return Phrase(phrase, m_language); }
    void Line(const std::string& text = {}) { m_text += text + "\n"; }
    // "  Label: value" at the indent.
    void Field(int indent, ReportPhrase label, const std::string& value) {
        Line(std::string(static_cast<size_t>(indent), ' ') + P(label) + ": " + value);
    }
    const std::string& Text() const { return m_text; }

private:
    ReportLanguage m_language;
    std::string m_text;
};

std::string PointText(const ClipPoint& point) {
    return point.recording + " " + RecordingOffset(point.offsetMs) + " (" + point.wallClock + ")";
}

void ClipSection(Lines& out, const Manifest& manifest) {
    out.Line(out.P(ReportPhrase::kClip));
    out.Field(2, ReportPhrase::kStart, PointText(manifest.start));
    out.Field(2, ReportPhrase::kEnd, PointText(manifest.end));
    out.Field(2, ReportPhrase::kCameraMinusGps,
              manifest.cameraMinusGpsMs
                  ? SignedSeconds(*manifest.cameraMinusGpsMs) + out.P(ReportPhrase::kSeconds)
                  : out.P(ReportPhrase::kNoFixes));
    out.Field(2, ReportPhrase::kLayout, manifest.layout);
    std::string overlay = out.P(manifest.overlay.on ? ReportPhrase::kOn : ReportPhrase::kOff);
    if (manifest.overlay.on && !manifest.overlay.fields.empty()) {
        overlay += " (";
        for (size_t i = 0; i < manifest.overlay.fields.size(); ++i)
            overlay += (i == 0 ? "" : ", ") + manifest.overlay.fields[i];
        overlay += ")";
    }
    out.Field(2, ReportPhrase::kOverlay, overlay);
    const EncoderSettings& encoder = manifest.encoder;
    std::string encoding = encoder.codec;
    if (encoder.lossless) {
        encoding += ", " + out.P(ReportPhrase::kLosslessCopy);
    } else {
        if (encoder.crf)
            encoding += ", CRF " + std::to_string(*encoder.crf);
        if (!encoder.preset.empty())
            encoding += ", " + out.P(ReportPhrase::kPreset) + " " + encoder.preset;
    }
    out.Field(2, ReportPhrase::kEncoding, encoding);
    out.Field(2, ReportPhrase::kSound,
              out.P(encoder.sound ? ReportPhrase::kOn : ReportPhrase::kOff));
}

std::string Bytes(const Lines& out, uint64_t size) {
    return std::to_string(size) + " " + out.P(ReportPhrase::kBytes);
}

} // namespace

std::string ReportPathFor(const std::string& clipPath) {
    return std::filesystem::path(clipPath).replace_extension(".report.txt").string();
}

std::string ReportText(const Manifest& manifest, ReportLanguage language,
                       const std::string& manifestName) {
    Lines out(language);
    out.Line(out.P(ReportPhrase::kTitle));
    out.Line();
    out.Line(out.P(ReportPhrase::kIntro));
    out.Line();
    out.Field(0, ReportPhrase::kProgram, manifest.programName + " " + manifest.programVersion);
    out.Field(0, ReportPhrase::kCreated, manifest.createdUtc);
    out.Line();
    ClipSection(out, manifest);
    out.Line();

    out.Line(out.P(ReportPhrase::kSources));
    if (manifest.sources.empty())
        out.Line("  " + out.P(ReportPhrase::kNoSources));
    for (const SourceFile& source : manifest.sources) {
        out.Line("  " + source.path);
        out.Field(4, ReportPhrase::kSize, Bytes(out, source.sizeBytes));
        out.Field(4, ReportPhrase::kModified, source.modifiedUtc);
        out.Line("    SHA-256: " + source.sha256);
    }
    out.Line();

    out.Line(out.P(ReportPhrase::kOutputs));
    for (const OutputFile& output : manifest.outputs) {
        std::string kind = out.P(KindPhrase(output.kind));
        if (!output.camera.empty())
            kind += ": " + output.camera;
        out.Line("  " + output.name + " (" + kind + ")");
        out.Field(4, ReportPhrase::kSize, Bytes(out, output.sizeBytes));
        out.Line("    SHA-256: " + output.sha256);
    }
    out.Line();

    out.Line(out.P(ReportPhrase::kHowToCheck));
    out.Line("  " + out.P(ReportPhrase::kHowSha256));
    out.Line("  " + out.P(ReportPhrase::kHowTatcard));
    out.Line("    tatcard verify " + manifestName);
    out.Line("  " + out.P(ReportPhrase::kHowTatcardEnd));
    return out.Text();
}

fileio::Result WriteReport(const std::string& path, const Manifest& manifest,
                           ReportLanguage language, const std::string& manifestName) {
    const std::string text = ReportText(manifest, language, manifestName);
    return fileio::ReplaceFile(path, text.data(), text.size(), fileio::ReplaceOptions{});
}

} // namespace evidence
