// Fuzz target for the names of dash-cam files and their grouping into recordings: each of the
// first kMaxFiles lines of the input's first kMaxBytes is a file's path relative to the folder.
// Whatever the names, every recording must have a played file, every file must be one of the
// input's, and no file may belong to two recordings as a played camera.
//
// A few files make every grouping there is (cameras of one moment, qualities, side files, a
// folder's event.json), and a kilobyte holds them with room for long folder names; more would
// only make each input slower to run.
#include "storage/DashcamNaming.h"
#include "storage/FolderScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kMaxFiles = 16;
constexpr size_t kMaxBytes = 1024;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), std::min(size, kMaxBytes));
    std::vector<folderscan::FoundFile> files;
    files.reserve(kMaxFiles);
    std::set<std::string> paths;
    size_t at = 0;
    while (at <= text.size() && files.size() < kMaxFiles) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        folderscan::FoundFile file;
        file.relative = std::string(text.substr(at, end - at));
        file.size = static_cast<int64_t>(file.relative.size());
        file.mtime = static_cast<int64_t>(files.size()) * 1000003;
        const dashcam::FileNameInfo info = dashcam::ReadFileName(file.relative);
        if (info.role != dashcam::FileRole::kIgnored && !info.named)
            Check(!info.hasTime);
        Check(info.category >= 0 && info.category <= 3);
        paths.insert("/r/" + file.relative);
        files.push_back(std::move(file));
        at = end + 1;
    }
    const auto list = folderscan::Group("/r", files);
    std::set<std::string> played;
    for (const DashcamRecording& recording : list) {
        Check(recording.ChannelCount() >= 1);
        Check(!recording.FirstPicture().empty());
        Check(recording.sizeBytes >= 0);
        for (const std::string& file : recording.AllFiles())
            Check(paths.count(file) == 1);
        for (const std::string& file : recording.channels)
            if (!file.empty())
                Check(played.insert(file).second);
        // The pictures played are files of the recording, one word each, at most six.
        const std::vector<std::string> pictures = recording.Pictures();
        Check(!pictures.empty() && pictures.size() <= 6);
        Check(recording.CameraWords().size() == pictures.size());
        for (const std::string& file : pictures)
            Check(paths.count(file) == 1);
    }
    return 0;
}
