#include "Report.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace evidence {

namespace {

// |ms|, the most negative value included.
uint64_t Magnitude(int64_t ms) {
    return ms < 0 ? static_cast<uint64_t>(-(ms + 1)) + 1 : static_cast<uint64_t>(ms);
}

// Milliseconds into a recording as "+H:MM:SS.mmm".
std::string RecordingOffset(int64_t ms) {
    const uint64_t magnitude = Magnitude(ms);
    char text[48];
    std::snprintf(text, sizeof text, "%c%" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64,
                  ms < 0 ? '-' : '+', magnitude / 3600000, magnitude / 60000 % 60,
                  magnitude / 1000 % 60, magnitude % 1000);
    return text;
}

// Signed milliseconds as seconds with three decimals: "+1.250".
std::string SignedSeconds(int64_t ms) {
    const uint64_t magnitude = Magnitude(ms);
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

// Columns a terminal or editor gives the UTF-8 text: two for each Hangul syllable and each
// CJK character, one for anything else (a continuation byte adds none).
size_t Columns(std::string_view text) {
    size_t columns = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80)
            continue;
        // Three-byte sequences from U+1100 (0xE1 0x84) and all of 0xE3 to 0xED lead the
        // Hangul and CJK blocks; a close enough rule for where to break a line.
        columns += byte >= 0xE3 && byte <= 0xED ? 2 : 1;
    }
    return columns;
}

// Builds the text line by line in one language.
class Lines {
public:
    explicit Lines(ReportLanguage language) : m_language(language) {}

    std::string P(ReportPhrase phrase) const { return Phrase(phrase, m_language); }
    void Line(const std::string& text = {}) { m_text += text + "\n"; }
    // text broken at spaces into lines of at most kWidth columns (a longer word keeps its
    // line), each led by indent spaces.
    void Paragraph(int indent, const std::string& text) {
        const std::string lead(static_cast<size_t>(indent), ' ');
        std::string line;
        size_t begin = 0;
        while (begin < text.size()) {
            size_t end = text.find(' ', begin);
            if (end == std::string::npos)
                end = text.size();
            const std::string_view word(text.data() + begin, end - begin);
            if (!line.empty() && Columns(lead) + Columns(line) + 1 + Columns(word) > kWidth) {
                Line(lead + line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + std::string(word);
            begin = end + 1;
        }
        if (!line.empty())
            Line(lead + line);
    }
    // "  Label: value" at the indent.
    void Field(int indent, ReportPhrase label, const std::string& value) {
        Line(std::string(static_cast<size_t>(indent), ' ') + P(label) + ": " + value);
    }
    const std::string& Text() const { return m_text; }

private:
    static constexpr size_t kWidth = 78;
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
    out.Paragraph(0, out.P(ReportPhrase::kIntro));
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
    out.Paragraph(2, out.P(ReportPhrase::kHowSha256));
    const std::string file = out.P(ReportPhrase::kFile);
    out.Line("    Linux:   sha256sum " + file);
    out.Line("    macOS:   shasum -a 256 " + file);
    out.Line("    Windows: certutil -hashfile " + file + " SHA256");
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
