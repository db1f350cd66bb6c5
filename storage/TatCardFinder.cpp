#include "TatCardFinder.h"

#include "TatFormat.h"
#include "base/AsciiText.h"
#include "storage/DashcamNaming.h"
#include "storage/FolderScanner.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

bool IsTatCard(const std::string& root) {
    std::error_code ec;
    return !root.empty() &&
           fs::is_regular_file(fs::path(root) / tat::kStoreFolder / tat::kVolumeFile, ec);
}

std::string UnescapeMountPath(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 3 < path.size()) {
            const char a = path[i + 1];
            const char b = path[i + 2];
            const char c = path[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(path[i]);
    }
    return out;
}

std::string BlockDeviceOf(const std::string& partition) {
    std::string name = partition;
    const bool pSeparated =
        name.rfind("mmcblk", 0) == 0 || name.rfind("nvme", 0) == 0 || name.rfind("loop", 0) == 0;
    size_t end = name.size();
    while (end > 0 && ascii::IsDigit(name[end - 1]))
        --end;
    if (pSeparated) {
        if (end > 0 && end < name.size() && name[end - 1] == 'p')
            return name.substr(0, end - 1);
        return name;
    }
    return end > 0 ? name.substr(0, end) : name;
}

namespace {
bool IsRemovable(const std::string& device, const std::string& sysBlockFolder) {
    if (device.rfind("mmcblk", 0) == 0)
        return true; // SD slots report themselves as fixed, yet hold cards
    std::ifstream in(fs::path(sysBlockFolder) / device / "removable");
    int flag = 0;
    return static_cast<bool>(in >> flag) && flag == 1;
}
} // namespace

namespace {

// The mount points of removable volumes, in the order of the mounts list.
std::vector<std::string> RemovableRoots(const std::string& mountsFile,
                                        const std::string& sysBlockFolder) {
    std::vector<std::string> roots;
    std::ifstream mounts(mountsFile);
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string source;
        std::string target;
        if (!(fields >> source >> target) || source.rfind("/dev/", 0) != 0)
            continue;
        const std::string device = BlockDeviceOf(source.substr(5));
        if (IsRemovable(device, sysBlockFolder))
            roots.push_back(UnescapeMountPath(target));
    }
    return roots;
}

} // namespace

std::vector<std::string> FindRemovableCards(const std::string& mountsFile,
                                            const std::string& sysBlockFolder) {
    std::vector<std::string> cards;
    for (std::string& root : RemovableRoots(mountsFile, sysBlockFolder))
        if (IsTatCard(root))
            cards.push_back(std::move(root));
    return cards;
}

std::vector<RemovableSource> FindRemovableSources(const std::string& mountsFile,
                                                  const std::string& sysBlockFolder,
                                                  int maxEntries) {
    std::vector<RemovableSource> sources;
    for (std::string& root : RemovableRoots(mountsFile, sysBlockFolder)) {
        if (IsTatCard(root))
            sources.push_back({std::move(root), true});
        else if (folderscan::HoldsVideoFiles(root, maxEntries))
            sources.push_back({std::move(root), false});
    }
    return sources;
}

SourceKind ClassifySource(const std::string& path) {
    std::error_code ec;
    if (path.empty())
        return SourceKind::kNone;
    if (fs::is_directory(path, ec))
        return IsTatCard(path) ? SourceKind::kCard : SourceKind::kFolder;
    if (fs::is_regular_file(path, ec)) {
        const std::string extension = fs::path(path).extension().string();
        if (extension.size() > 1 && dashcam::IsVideoExtension(extension.substr(1)))
            return SourceKind::kFile;
    }
    return SourceKind::kNone;
}
