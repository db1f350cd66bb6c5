#include "DriveList.h"

#include "base/AsciiText.h"
#include "storage/TatCardFinder.h"

#include <algorithm>

namespace {

bool BeforeIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return ascii::ToLower(x) < ascii::ToLower(y);
    });
}

} // namespace

namespace DriveList {

std::vector<std::string> CardRoots(const TatCardSource& source) {
    std::vector<std::string> roots;
    if (source.scanRemovable)
        roots = FindRemovableCards(source.mountsFile, source.sysBlockFolder);
    if (!source.cardFolder.empty())
        roots.push_back(source.cardFolder);
    return roots;
}

std::vector<std::string> Entries(const std::vector<std::string>& roots) {
    std::vector<std::string> entries;
    for (const std::string& root : roots) {
        std::string entry = root + std::string(kSuffix);
        if (std::find(entries.begin(), entries.end(), entry) == entries.end())
            entries.push_back(std::move(entry));
    }
    std::stable_sort(entries.begin(), entries.end(), BeforeIgnoringCase);
    return entries;
}

std::string RootOf(std::string_view text) {
    if (text.ends_with(kSuffix))
        text.remove_suffix(kSuffix.size());
    return std::string(text);
}

} // namespace DriveList
