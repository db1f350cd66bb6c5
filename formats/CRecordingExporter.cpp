#include "CRecordingExporter.h"

#include "base/AsciiText.h"
#include "player/api/OpenInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kTemporaryAttempts = 100;

bool IsPlainChar(char c) {
    return ascii::IsAlnum(c) || c == '_' || c == '-' || c == '.';
}

// The writer's stream slot of a chunk id: 0 front, 1 rear, 2 sound; -1 for anything else.
// The writer's stream slot of a packet; -1 for what the file does not hold.
int SlotOf(const MediaPacket& packet) {
    switch (packet.kind) {
    case FrontVideo:
        return 0;
    case RearVideo:
        return packet.channel == 1 ? 1 : -1;
    case Audio:
        return 2;
    default:
        return -1;
    }
}

// "24.0 s of 30.0 s", or frames when the rate is unknown.
std::string HowMuch(int64_t frames, int64_t total, int32_t rate) {
    char text[96];
    if (rate > 0 && total > 0)
        std::snprintf(text, sizeof text, "%.1f s of %.1f s", static_cast<double>(frames) / rate,
                      static_cast<double>(total) / rate);
    else if (rate > 0)
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(frames) / rate);
    else if (total > 0)
        std::snprintf(text, sizeof text, "%lld of %lld front frames",
                      static_cast<long long>(frames), static_cast<long long>(total));
    else
        std::snprintf(text, sizeof text, "%lld front frames", static_cast<long long>(frames));
    return text;
}

// The path's real place: absolute, symbolic links and ".." resolved (a part that does not
// exist yet kept as written).
fs::path RealPlace(const std::string& path, std::error_code& error) {
    const fs::path absolute = fs::absolute(path, error);
    return error ? absolute : fs::weakly_canonical(absolute, error);
}

std::string SystemReason(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

// A new empty file in `folder` that no one else uses; its path, or empty with errno set.
std::string MakeTemporary(const fs::path& folder, int& counter) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const std::string name = ".tatview-export-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++) + ".part";
        const std::string path = (folder / name).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace

// What one copy came to.
struct CRecordingExporter::CopyResult {
    bool opened = false;    // the parser opened the recording
    int createError = 0;    // the writer could not make the file: errno (-1 unknown); 0: made
    bool cancelled = false; // the progress callback said stop
    ReadEnd readEnd = ReadEnd::kEnded;
    bool writeFailed = false; // a chunk was refused
    int writeError = 0;       // errno at the refusal or at closing
    uint32_t riffSize = 0;    // the writer's Close: 0 when the file could not be completed
};

const char* OutcomeWord(ExportReport::Outcome outcome) {
    switch (outcome) {
    case ExportReport::Outcome::kComplete:
        return "complete";
    case ExportReport::Outcome::kCancelled:
        return "cancelled";
    case ExportReport::Outcome::kIncomplete:
        return "incomplete";
    case ExportReport::Outcome::kFailed:
        return "failed";
    case ExportReport::Outcome::kSkipped:
        return "skipped";
    }
    return "failed";
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name.find("..") != std::string_view::npos)
        return false;
    for (const char c : name)
        if (!IsPlainChar(c))
            return false;
    return true;
}

CRecordingExporter::CRecordingExporter(VMediaParser& parser, std::string storageRoot)
    : m_parser(parser), m_storageRoot(std::move(storageRoot)),
      m_buffer(static_cast<size_t>(kPacketBufferSize), AlignedBuffer::Fill::kScratch) {}

ExportReport CRecordingExporter::ExportToFolder(const std::string& name, const std::string& folder,
                                                const ExportProgress& progress) {
    if (!IsPlainFileName(name)) {
        ExportReport report;
        report.outcome = ExportReport::Outcome::kSkipped;
        report.name = name;
        report.reason = "the name is not a plain file name";
        return report;
    }
    if (folder.empty()) {
        ExportReport report;
        report.name = name;
        report.reason = "no folder to export to";
        return report;
    }
    return ExportTo(name, (fs::path(folder) / (name + kExtension)).string(), progress);
}

bool CRecordingExporter::InsideStorage(const std::string& folder) const {
    std::error_code error;
    const fs::path resolved = RealPlace(folder, error);
    return !error && ResolvedInsideStorage(resolved);
}

bool CRecordingExporter::ResolvedInsideStorage(const fs::path& folder) const {
    if (m_storageRoot.empty())
        return false;
    std::error_code error;
    struct stat storage {};
    if (::stat(m_storageRoot.c_str(), &storage) != 0) {
        // No storage folder to compare with: compare the paths.
        const fs::path root = fs::weakly_canonical(m_storageRoot, error);
        if (error)
            return false;
        const auto [r, f] = std::mismatch(root.begin(), root.end(), folder.begin(), folder.end());
        return r == root.end();
    }
    // The folder and every folder above it, by device and inode: a storage reached through
    // another path (a second mount, another letter case on a card) is still found.
    for (fs::path at = folder;; at = at.parent_path()) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0 && st.st_dev == storage.st_dev &&
            st.st_ino == storage.st_ino)
            return true;
        if (at == at.root_path() || at.empty() || !at.has_relative_path())
            return false;
    }
}

std::string CRecordingExporter::Refusal(const fs::path& target) const {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status) && !fs::is_regular_file(status))
        return target.string() + " exists and is not a regular file";
    const fs::path folder = target.parent_path();
    if (!fs::is_directory(folder, error))
        return "there is no folder " + folder.string();
    if (ResolvedInsideStorage(folder))
        return target.string() + " lies inside the card's storage";
    return {};
}

ExportReport CRecordingExporter::ExportTo(const std::string& name, const std::string& target,
                                          const ExportProgress& progress) {
    ExportReport report;
    report.name = name;
    if (target.empty()) {
        report.reason = "no file to export to";
        return report;
    }
    // The real place: symbolic links and ".." resolved, so the checks see the folder written.
    std::error_code error;
    const fs::path resolved = RealPlace(target, error);
    if (error) {
        report.reason = "cannot find " + target + ": " + error.message();
        return report;
    }
    report.reason = Refusal(resolved);
    if (!report.reason.empty())
        return report;

    const std::string temporary = MakeTemporary(resolved.parent_path(), m_temporaries);
    if (temporary.empty()) {
        report.reason = "cannot create a file in " + resolved.parent_path().string() + ": " +
                        SystemReason(errno);
        return report;
    }
    const CopyResult copy = Copy(name, temporary, progress, report);
    Finish(copy, temporary, resolved, target, report);
    return report;
}

CRecordingExporter::CopyResult CRecordingExporter::Copy(const std::string& name,
                                                        const std::string& temporary,
                                                        const ExportProgress& progress,
                                                        ExportReport& report) {
    CopyResult result;
    OpenInfo info;
    if (m_parser.Open(name, &info) == 0)
        return result;
    result.opened = true;
    report.framesTotal = info.frontFrameCount;
    report.frameRate = info.frontFrameRate;

    // A file still open from an export that ended abnormally is finished first.
    m_writer.Close();
    for (int s = 0; s < 2; ++s) {
        const VideoSize size = m_parser.GetVideoSize(s);
        m_writer.SetVideoSize(s, size.width, size.height);
    }
    int32_t bits = 0;
    int32_t samplesPerSecond = 0;
    m_parser.GetAudioFormat(bits, samplesPerSecond);
    m_writer.SetFrameRate(0, info.frontFrameRate);
    m_writer.SetFrameRate(1, info.rearFrameRate);
    m_writer.SetAudioRate(samplesPerSecond);
    m_writer.SetTwoChannel(info.rearFrameRate != 0);
    errno = 0;
    if (!m_writer.Create(temporary)) {
        result.createError = errno != 0 ? errno : -1;
        m_parser.Close();
        return result;
    }

    uint8_t* const buffer = m_buffer.data();
    for (;;) {
        MediaPacket packet;
        if (!m_parser.Read(buffer, kPacketBufferSize, packet)) {
            result.readEnd = m_parser.LastReadEnd();
            break;
        }
        const int32_t size = packet.size;
        const int slot = SlotOf(packet);
        if (slot < 0) {
            // Text lines go to the sink only, at the time they belong to; empty reads go
            // nowhere.
            if (m_textSink && packet.kind == Text && size > 0)
                m_textSink(buffer, static_cast<size_t>(size), packet.timeUs / 1000);
            continue;
        }
        if (slot == 0 && progress && !progress(report.framesWritten, report.framesTotal)) {
            result.cancelled = true;
            break;
        }
        errno = 0;
        if (!m_writer.AddData(buffer, size, slot)) {
            result.writeFailed = true;
            result.writeError = errno;
            break;
        }
        ++report.packets;
        if (slot == 0)
            ++report.framesWritten;
    }
    m_parser.Close();
    errno = 0;
    result.riffSize = m_writer.Close();
    if (result.riffSize == 0 && result.writeError == 0)
        result.writeError = errno;
    return result;
}

void CRecordingExporter::Finish(const CopyResult& copy, const std::string& temporary,
                                const fs::path& target, const std::string& given,
                                ExportReport& report) {
    using Outcome = ExportReport::Outcome;
    report.outcome = Outcome::kFailed;
    const std::string exported =
        "exported " + HowMuch(report.framesWritten, report.framesTotal, report.frameRate);
    bool keep = false;
    if (!copy.opened) {
        report.reason = "the recording cannot be opened";
    } else if (copy.createError != 0) {
        report.reason = "cannot create a file in " + target.parent_path().string() + ": " +
                        SystemReason(copy.createError > 0 ? copy.createError : 0);
    } else if (copy.riffSize == 0) {
        // A write failed (a full disk): nothing half-written is left behind.
        report.reason = "writing " + given + " failed: " + SystemReason(copy.writeError);
    } else if (copy.writeFailed) {
        // The writer refused a chunk but closed the file whole: the AVI's size limit.
        report.outcome = Outcome::kIncomplete;
        report.reason = exported + "; the AVI file reached its 4 GiB limit";
        keep = true;
    } else if (copy.cancelled) {
        report.outcome = Outcome::kCancelled;
        report.reason = "cancelled; " + exported;
        keep = true;
    } else if (copy.readEnd == ReadEnd::kFailed) {
        if (report.packets == 0) {
            report.reason = "the recording cannot be read";
        } else {
            report.outcome = Outcome::kIncomplete;
            report.reason = exported + "; the rest cannot be read";
            keep = true;
        }
    } else {
        report.outcome = Outcome::kComplete;
        keep = true;
    }

    if (keep && std::rename(temporary.c_str(), target.c_str()) != 0) {
        report.outcome = Outcome::kFailed;
        report.reason = "cannot put the file in place as " + given + ": " + SystemReason(errno);
        keep = false;
    }
    if (!keep) {
        ::unlink(temporary.c_str());
        report.packets = 0;
        report.framesWritten = 0;
        return;
    }
    report.path = given;
    report.bytes = uint64_t{copy.riffSize} + 8;
}
