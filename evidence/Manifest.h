#pragma once

#include "FileDigest.h"
#include "base/FileIo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The evidence record of one clip export: the program that made it, every source recording
// file with its digest, every file the export wrote with its digest, where the clip starts and
// ends, and how it was made. Written beside the clip as "<clip>.manifest.json" (JSON, UTF-8)
// and read back to check the files (Verify.h).
//
// Plain values; the caller owns them. Threads: no state of its own; any thread may build,
// write or read a manifest (the local times inside are text by then).
namespace evidence {

// A file the export read. Its path is as the export opened it (absolute on the card or the
// disk); a relative path counts from the manifest's folder.
struct SourceFile {
    std::string path;
    uint64_t sizeBytes = 0;
    std::string modifiedUtc; // ISO 8601 in UTC, IsoUtcTime: "2024-03-05T00:07:02Z"
    std::string sha256;      // 64 lower-case hex digits

    bool operator==(const SourceFile&) const = default;
};

// What an output file is.
enum class OutputKind {
    kClip,   // the clip (MP4)
    kGpx,    // its route
    kCsv,    // its G-sensor samples and fixes
    kCamera, // one camera's part of a lossless copy (OutputFile::camera names it)
};

// The word a manifest writes for a kind ("clip", "gpx", "csv", "camera").
const char* OutputKindWord(OutputKind kind);

// A file the export wrote, named relative to the manifest's folder ("incident.mp4",
// "incident/front.mp4"): never absolute, never through "..".
struct OutputFile {
    std::string name;
    OutputKind kind = OutputKind::kClip;
    std::string camera; // kCamera: which camera ("front", "rear", ...); else empty
    uint64_t sizeBytes = 0;
    std::string sha256; // 64 lower-case hex digits

    bool operator==(const OutputFile&) const = default;
};

// One end of the clip: in recording time (a recording's name and the milliseconds from its
// start) and on the wall clock.
struct ClipPoint {
    std::string recording;
    int64_t offsetMs = 0;
    std::string wallClock; // local ISO 8601 with the UTC offset, IsoWallClock:
                           // "2024-03-05T09:08:14.500+09:00"

    bool operator==(const ClipPoint&) const = default;
};

// The text drawn over the pictures.
struct OverlaySettings {
    bool on = false;
    std::vector<std::string> fields; // what it shows, in the exporter's words ("time", "speed")

    bool operator==(const OverlaySettings&) const = default;
};

// How the clip was coded.
struct EncoderSettings {
    std::string codec;      // "h264", "hevc", ...; for a lossless copy the recording's codec
    std::optional<int> crf; // the constant-rate factor; none for a lossless copy
    std::string preset;     // the encoder's preset ("medium"); empty for a lossless copy
    bool lossless = false;  // packets copied unchanged rather than coded again
    bool sound = false;     // the clip carries the recording's sound

    bool operator==(const EncoderSettings&) const = default;
};

// The manifest format this code writes; it reads this one only.
inline constexpr int kManifestFormatVersion = 1;
// A manifest file larger than this is refused unread (16 MiB: far above any real one).
inline constexpr size_t kMaxManifestBytes = size_t{16} << 20;

struct Manifest {
    std::string programName;    // "tatview"
    std::string programVersion; // "0.1.0"
    std::string createdUtc;     // when the export finished, IsoUtcTime
    std::vector<SourceFile> sources;
    std::vector<OutputFile> outputs;
    ClipPoint start;
    ClipPoint end;
    // The camera's clock minus GPS time, in milliseconds, where the clip has fixes with dates.
    std::optional<int64_t> cameraMinusGpsMs;
    std::string layout; // the picture layout, in the exporter's words ("front", "side-by-side")
    OverlaySettings overlay;
    EncoderSettings encoder;

    bool operator==(const Manifest&) const = default;
};

// A source entry for the file at path with its digest.
SourceFile MakeSourceFile(const std::string& path, const FileDigest& digest);
// An output entry for the file called name (relative to the manifest) with its digest.
OutputFile MakeOutputFile(const std::string& name, OutputKind kind, const FileDigest& digest,
                          const std::string& camera = {});

// Whether name can name an output: not empty, not absolute, no empty, "." or ".." part, no NUL.
bool IsPlainRelativeName(std::string_view name);

// "<folder>/<stem>.manifest.json" for the clip "<folder>/<stem>.<extension>".
std::string ManifestPathFor(const std::string& clipPath);

// The manifest as JSON text (two-space indents, a line end at the end). Bytes of a path that
// are not UTF-8 are written as U+FFFD, so such a source then reads as missing.
std::string ManifestJson(const Manifest& manifest);

// Writes the manifest to path in one replacement (a temporary file beside it, renamed over it
// once flushed), so path holds the old file or the whole new one.
fileio::Result WriteManifest(const std::string& path, const Manifest& manifest);

// A manifest read back, or why it could not be.
struct ManifestRead {
    std::optional<Manifest> manifest;
    std::string error; // empty when manifest is set: "outputs[1].sha256: not 64 lower-case hex
                       // digits"
};

// Reads manifest text. Refuses text that is not JSON, nested deeper than a manifest, of another
// format or version, or with a field missing or of the wrong kind (sizes and offsets out of
// range, a digest that is not 64 lower-case hex digits, an output name IsPlainRelativeName
// refuses). Fields it does not know are ignored.
ManifestRead ParseManifest(std::string_view text);

// Reads and parses the manifest file at path (at most kMaxManifestBytes).
ManifestRead ReadManifest(const std::string& path);

} // namespace evidence
