#include "TatCardFinder.h"

#include "TatFormat.h"

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
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9')
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

std::vector<std::string> FindRemovableCards(const std::string& mountsFile,
                                            const std::string& sysBlockFolder) {
    std::vector<std::string> cards;
    std::ifstream mounts(mountsFile);
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string source;
        std::string target;
        if (!(fields >> source >> target) || source.rfind("/dev/", 0) != 0)
            continue;
        const std::string device = BlockDeviceOf(source.substr(5));
        const std::string root = UnescapeMountPath(target);
        if (IsRemovable(device, sysBlockFolder) && IsTatCard(root))
            cards.push_back(root);
    }
    return cards;
}
