#include "TrackCommands.h"

#include "CommandLine.h"
#include "FolderCommands.h"
#include "base/FileIo.h"
#include "telemetry/CsvWriter.h"
#include "telemetry/GpxWriter.h"

#include "storage/TatFormat.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the folder that would hold `out` is the card's storage folder or lies inside it,
// compared by device and inode so that another path to the same folder is caught too.
bool InsideStorage(const std::string& card, const std::string& out) {
    namespace fs = std::filesystem;
    struct stat storage {};
    const std::string root = card + "/" + tat::kStoreFolder;
    if (::stat(root.c_str(), &storage) != 0)
        return false;
    std::error_code error;
    fs::path at = fs::weakly_canonical(fs::absolute(out, error), error).parent_path();
    if (error)
        return false;
    for (;; at = at.parent_path()) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0 && st.st_dev == storage.st_dev &&
            st.st_ino == storage.st_ino)
            return true;
        if (at.empty() || at == at.root_path() || !at.has_relative_path())
            return false;
    }
}

} // namespace

int WriteTrack(const TelemetryTrack& track, const std::string& name, const std::string& out,
               TrackFormat format, SpeedUnit unit) {
    const std::string document =
        format == TrackFormat::kGpx ? GpxWriter::Write(track, name) : CsvWriter::Write(track, unit);
    if (format == TrackFormat::kGpx && GpxWriter::PointCount(track) == 0)
        std::fprintf(stderr, "tatcard: %s: no GPS fixes\n", name.c_str());
    if (out.empty()) {
        if (!fileio::WriteFully(STDOUT_FILENO, document.data(), document.size()).Ok())
            return CommandFailed("cannot write to standard output");
        return 0;
    }
    const fileio::Result written =
        fileio::ReplaceFile(out, document.data(), document.size(), fileio::ReplaceOptions{});
    if (!written.Ok())
        return CommandFailed(out + ": " + written.Reason());
    return 0;
}

int ExportTrack(const std::string& path, const std::string& name, const std::string& out,
                TrackFormat format, SpeedUnit unit) {
    if (!out.empty() && InsideStorage(path, out))
        return CommandFailed(out + " lies inside the card's storage");
    const std::shared_ptr<VRecordingSource> source = OpenSourceOrTell(path);
    if (!source)
        return 1;
    if (source->Find(name) < 0)
        return CommandFailed("no recording " + name + " in " + path);
    return WriteTrack(source->LoadTrack(name), name, out, format, unit);
}

bool InsideCardStorage(const std::string& card, const std::string& out) {
    return InsideStorage(card, out);
}
