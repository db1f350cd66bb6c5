#include "clips/TargetCheck.h"

#include <filesystem>
#include <sys/stat.h>

namespace clips {

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the folder that would hold `target` is `folder` or lies inside it.
bool Inside(const std::string& target, const struct stat& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path at = fs::weakly_canonical(fs::absolute(target, error), error).parent_path();
    if (error)
        return false;
    for (;; at = at.parent_path()) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0 && SameFile(st, folder))
            return true;
        if (at.empty() || at == at.root_path() || !at.has_relative_path())
            return false;
    }
}

} // namespace

std::string TargetRefusal(const std::string& target, const std::vector<std::string>& sources,
                          const std::string& storageFolder) {
    struct stat written {};
    if (::stat(target.c_str(), &written) == 0) {
        for (const std::string& source : sources) {
            struct stat read {};
            if (::stat(source.c_str(), &read) == 0 && SameFile(read, written))
                return target + " is one of the clip's source files (" + source + ")";
        }
    }
    struct stat storage {};
    if (!storageFolder.empty() && ::stat(storageFolder.c_str(), &storage) == 0 &&
        Inside(target, storage))
        return target + " lies inside the card's storage (" + storageFolder + ")";
    return {};
}

} // namespace clips
