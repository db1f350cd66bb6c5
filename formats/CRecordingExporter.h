#pragma once

#include "CAVIWriter.h"
#include "base/AlignedBuffer.h"
#include "player/api/VMediaParser.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

class DiagLog;

// What became of one recording's export.
struct ExportReport {
    enum class Outcome {
        kComplete,   // every packet of the recording is in the file
        kCancelled,  // stopped by the progress callback; the file holds what came before
        kIncomplete, // reading failed part-way (damage, a read error, a card pulled) or the
                     // AVI's 4 GiB limit came first; the file holds the part before
        kFailed,     // nothing usable: refused, not readable at all, or the file could not
                     // be written; no file was left and an older one at the target is intact
        kSkipped,    // the name cannot become a file name; nothing was read or written
    };
    Outcome outcome = Outcome::kFailed;
    std::string name;          // the recording
    std::string path;          // the file this export left at the target (empty when none)
    int64_t framesWritten = 0; // front frames in that file (0 when none was left)
    int64_t framesTotal = 0;   // front frames the recording declares (0: unknown)
    int32_t frameRate = 0;     // front frames per second the recording declares (0: unknown)
    int64_t packets = 0;       // chunks in that file: front, rear and sound
    uint64_t bytes = 0;        // that file's size
    std::string reason;        // one line for people when the outcome is not kComplete (English)
};

// "complete", "cancelled", "incomplete", "failed" or "skipped".
const char* OutcomeWord(ExportReport::Outcome outcome);

// Called on the exporting thread before each front frame is written: front frames written so
// far and the total (0: unknown). Returning false cancels before that frame: the file keeps
// the frames before it (each with the rear frame and sound that followed it), closed and
// playable.
using ExportProgress = std::function<bool(int64_t written, int64_t total)>;

// Called on the exporting thread with each text-channel packet (GPS and G-sensor lines) the
// export passes by, and its time: the time of the front frame before it, in milliseconds from
// the recording's start (0 before the first frame or when the frame rate is unknown). The
// bytes last for the call.
using ExportTextSink = std::function<void(const uint8_t* payload, size_t size, int64_t timeMs)>;

// Whether a recording name may become a file name: ASCII letters, digits, '_', '-' and '.',
// not empty, no ".." (hence no '/').
bool IsPlainFileName(std::string_view name);

// Copies a recording from a parser into an AVI file without decoding: the front video ("00dc"),
// rear video (any other "dc") and sound ("wb") packets unchanged, in recording order, through
// one 1 MiB buffer allocated at construction; text lines and empty reads are left out. The
// writer is set up from the parser's picture sizes, frame rates and sound rate; a recording
// with a rear frame rate of 0 gives a file with one video stream.
//
// The file is written under a temporary name in the target's folder and renamed over the
// target only when it is finished: complete, cancelled, or cut short by a failed read (then
// kIncomplete, with the playable part). A write that fails (a full disk) removes the temporary
// file and leaves whatever was at the target before untouched. A target whose folder lies
// inside the card's storage (by its real path: symbolic links and ".." resolved, the same
// folder reached through another mount included) is refused before anything is read; so is a
// target that exists and is not a regular file. A target that is a symbolic link to a file
// gets the new file where the link points; a link to nothing is replaced by the file.
//
// Memory: the buffer, the writer's index (16 bytes per packet) and the file stream's buffer;
// nothing else grows with the size or number of recordings.
//
// Threads: one exporting thread at a time per exporter; the progress callback runs on it. The
// parser is used by nobody else while an export runs.
class CRecordingExporter {
public:
    static constexpr char kExtension[] = ".avi";

    // parser: started, owned by the caller, outliving the exporter. storageRoot: the card's
    // storage folder (CARD/TATSTORE), whose insides no export may write to; empty: none.
    CRecordingExporter(VMediaParser& parser, std::string storageRoot);
    CRecordingExporter(const CRecordingExporter&) = delete;
    CRecordingExporter& operator=(const CRecordingExporter&) = delete;

    // The AVI writer's diagnostic lines. Set before exporting.
    void SetDiagLog(const DiagLog* log) { m_writer.SetDiagLog(log); }

    // Where the text-channel packets of the next exports go (none by default). Set before
    // exporting.
    void SetTextSink(ExportTextSink sink) { m_textSink = std::move(sink); }

    // Exports recording `name` (as the parser opens it) to exactly `target`.
    ExportReport ExportTo(const std::string& name, const std::string& target,
                          const ExportProgress& progress);
    // Exports to folder/<name>.avi; kSkipped (nothing read or written) when the name is not a
    // plain file name, kFailed when no folder is named.
    ExportReport ExportToFolder(const std::string& name, const std::string& folder,
                                const ExportProgress& progress);

    // Whether `folder`, which need not exist yet, lies inside the card's storage (by its real
    // place, as the exports see it), so that nothing is to be made or written there.
    bool InsideStorage(const std::string& folder) const;

private:
    // Why `target` (already resolved) may not be written; empty when it may.
    std::string Refusal(const std::filesystem::path& target) const;
    // As the public one, of a folder already resolved.
    bool ResolvedInsideStorage(const std::filesystem::path& folder) const;
    struct CopyResult;
    // Opens the recording, sets up the writer and copies the packets into `temporary`; counts
    // what it wrote into the report.
    CopyResult Copy(const std::string& name, const std::string& temporary,
                    const ExportProgress& progress, ExportReport& report);
    // Decides the outcome of a copy into `temporary`: renames it over `target` or removes it.
    void Finish(const CopyResult& copy, const std::string& temporary,
                const std::filesystem::path& target, const std::string& given,
                ExportReport& report);

    VMediaParser& m_parser;
    std::string m_storageRoot;
    CAVIWriter m_writer;
    AlignedBuffer m_buffer;
    int m_temporaries = 0; // temporary names made, for the next one
    ExportTextSink m_textSink;
};
