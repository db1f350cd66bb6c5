#include "TrackCommands.h"

#include "CardCommands.h"
#include "CommandLine.h"
#include "FolderCommands.h"
#include "base/AlignedBuffer.h"
#include "base/FileIo.h"
#include "player/api/OpenInfo.h"
#include "player/source/CTATParser.h"
#include "telemetry/CsvWriter.h"
#include "telemetry/GpxWriter.h"
#include "telemetry/RecordingTelemetry.h"
#include "telemetry/TextChannelTrack.h"

#include "storage/TatCardFinder.h"
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

bool ReadCardTrack(const std::string& card, const std::string& name, TelemetryTrack& track) {
    uint8_t drive = 0;
    TatDescription description;
    const auto library = OpenRecording(card, name, drive, description);
    if (!library)
        return false;
    CTATParser parser(library.get());
    if (!parser.Start()) {
        CommandFailed("cannot start reading the card");
        return false;
    }
    OpenInfo info;
    if (parser.Open(name, &info) == 0) {
        parser.Stop();
        CommandFailed(name + ": cannot be read");
        return false;
    }
    AlignedBuffer buffer(kPacketBufferSize);
    TextChannelTrack text;
    for (MediaPacket packet; parser.Read(buffer.data(), kPacketBufferSize, packet);)
        if (packet.kind == Text && packet.size > 0)
            text.OnTextPacket(packet.payload, static_cast<size_t>(packet.size),
                              packet.timeUs / 1000);
    parser.Close();
    parser.Stop();
    track = text.Take();
    return true;
}

int WriteTrack(const TelemetryTrack& track, const std::string& name, const std::string& out,
               TrackFormat format) {
    const std::string document =
        format == TrackFormat::kGpx ? GpxWriter::Write(track, name) : CsvWriter::Write(track);
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

int ExportTrack(const std::string& source, const std::string& name, const std::string& out,
                TrackFormat format) {
    if (!out.empty() && InsideStorage(source, out))
        return CommandFailed(out + " lies inside the card's storage");
    const SourceKind kind = ClassifySource(source);
    if (kind == SourceKind::kFolder || kind == SourceKind::kFile) {
        const std::vector<DashcamRecording> list = RecordingsOfSource(source);
        const DashcamRecording* recording = folderscan::Find(list, name);
        if (recording == nullptr)
            return CommandFailed("no recording " + name + " in " + source);
        return WriteTrack(RecordingTelemetry::Load(recording->AllFiles()), name, out, format);
    }
    TelemetryTrack track;
    if (!ReadCardTrack(source, name, track))
        return 1;
    return WriteTrack(track, name, out, format);
}
