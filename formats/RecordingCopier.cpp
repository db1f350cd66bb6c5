#include "RecordingCopier.h"

#include "base/CUniqueFd.h"
#include "base/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Reason(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// Numbers temporary files of this process.
std::atomic<unsigned> g_temporaries{0};

} // namespace

std::string RecordingCopier::TargetName(const DashcamRecording& recording,
                                        const std::string& file) {
    const std::string base = BaseName(file);
    const bool video = std::find(recording.channels.begin(), recording.channels.end(), file) !=
                           recording.channels.end() ||
                       std::find(recording.extraFiles.begin(), recording.extraFiles.end(), file) !=
                           recording.extraFiles.end();
    if (video || base.find(recording.name) != std::string::npos)
        return base;
    return recording.name + "_" + base;
}

ExportReport RecordingCopier::CopyToFolder(const DashcamRecording& recording,
                                           const std::string& folder,
                                           const ExportProgress& progress) {
    ExportReport report;
    report.name = recording.name;
    const std::vector<std::string> files = recording.AllFiles();
    int64_t total = 0;
    for (const std::string& file : files) {
        struct stat st {};
        if (stat(file.c_str(), &st) == 0)
            total += st.st_size;
    }
    std::vector<uint8_t> buffer(kChunkBytes);
    int64_t done = 0;
    size_t copied = 0;
    for (const std::string& file : files) {
        const std::string name = TargetName(recording, file);
        const std::string target = folder + "/" + name;
        std::error_code same;
        if (std::filesystem::equivalent(file, target, same)) {
            report.reason = name + " is the original file";
            report.outcome = ExportReport::Outcome::kFailed;
            return report;
        }
        CUniqueFd in(open(file.c_str(), O_RDONLY | O_CLOEXEC));
        if (!in.Valid()) {
            report.reason = Reason("cannot read " + file, errno);
            break;
        }
        const std::string temporary = folder + "/." + name + ".tmp-" + std::to_string(getpid()) +
                                      "-" + std::to_string(g_temporaries.fetch_add(1));
        CUniqueFd out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!out.Valid()) {
            report.reason = Reason("cannot write in " + folder, errno);
            break;
        }
        bool cancelled = false;
        fileio::Result written;
        uint64_t offset = 0;
        for (;;) {
            const size_t n = fileio::PreadUpTo(in.Get(), buffer.data(), buffer.size(), offset);
            if (n == 0)
                break;
            written = fileio::WriteFully(out.Get(), buffer.data(), n);
            if (!written.Ok())
                break;
            offset += n;
            done += static_cast<int64_t>(n);
            if (progress && !progress(done >> 10, total >> 10)) {
                cancelled = true;
                break;
            }
        }
        struct stat st {};
        const bool whole = fstat(in.Get(), &st) == 0 && offset == static_cast<uint64_t>(st.st_size);
        written = fileio::SyncAndClose(out, written);
        if (cancelled || !written.Ok() || !whole ||
            std::rename(temporary.c_str(), target.c_str()) != 0) {
            const int error = errno;
            unlink(temporary.c_str());
            if (cancelled) {
                report.outcome = ExportReport::Outcome::kCancelled;
                report.reason = "cancelled";
                return report;
            }
            report.reason = !written.Ok() ? "cannot write " + target + ": " + written.Reason()
                            : !whole      ? "cannot read " + file + " whole"
                                          : Reason("cannot write " + target, error);
            break;
        }
        ++copied;
        report.bytes += offset;
        report.path = folder;
        ++report.packets;
    }
    if (copied == files.size()) {
        report.outcome = ExportReport::Outcome::kComplete;
        report.reason.clear();
    } else {
        report.outcome =
            copied == 0 ? ExportReport::Outcome::kFailed : ExportReport::Outcome::kIncomplete;
    }
    return report;
}
