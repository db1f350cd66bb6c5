#include "FolderScanner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <unordered_map>

namespace fs = std::filesystem;

int DashcamRecording::ChannelCount() const {
    return static_cast<int>(
        std::count_if(channels.begin(), channels.end(), [](const auto& c) { return !c.empty(); }));
}

std::string DashcamRecording::FirstPicture() const {
    for (const std::string& file : channels)
        if (!file.empty())
            return file;
    return {};
}

std::string DashcamRecording::SecondPicture() const {
    const std::string first = FirstPicture();
    for (size_t c = dashcam::kRear; c < channels.size(); ++c)
        if (!channels[c].empty() && channels[c] != first)
            return channels[c];
    return {};
}

std::vector<std::string> DashcamRecording::Pictures() const {
    std::vector<std::string> files;
    for (const std::string& file : carCameras)
        if (!file.empty())
            files.push_back(file);
    if (!files.empty())
        return files;
    for (std::string file : {FirstPicture(), SecondPicture()})
        if (!file.empty())
            files.push_back(std::move(file));
    return files;
}

std::vector<std::string> DashcamRecording::CameraWords() const {
    std::vector<std::string> words;
    for (size_t c = 0; c < carCameras.size(); ++c)
        if (!carCameras[c].empty())
            words.emplace_back(dashcam::kCarCameras[c]);
    if (!words.empty())
        return words;
    const size_t count = Pictures().size();
    static constexpr const char* kTwo[] = {"front", "rear"};
    for (size_t c = 0; c < count && c < 2; ++c)
        words.emplace_back(kTwo[c]);
    return words;
}

std::vector<std::string> DashcamRecording::AllFiles() const {
    std::vector<std::string> files;
    for (const std::string& file : channels)
        if (!file.empty())
            files.push_back(file);
    files.insert(files.end(), extraFiles.begin(), extraFiles.end());
    files.insert(files.end(), sideFiles.begin(), sideFiles.end());
    return files;
}

namespace folderscan {

namespace {

CivilTime LocalTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm parts {};
    if (localtime_r(&t, &parts) == nullptr)
        return CivilTime::FromSeconds(seconds);
    CivilTime c;
    c.year = parts.tm_year + 1900;
    c.month = parts.tm_mon + 1;
    c.day = parts.tm_mday;
    c.hour = parts.tm_hour;
    c.minute = parts.tm_min;
    c.second = parts.tm_sec;
    return c;
}

bool Skipped(const fs::path& folder) {
    const std::string name = folder.filename().string();
    return name.empty() || name[0] == '.' || name == "TATSTORE";
}

// Walks the tree, at most maxDepth folders deep (1: the root's own files); calls
// take(relative, entry) for each regular file until it returns false or the entries run out.
template <typename Take>
void Walk(const std::string& root, int maxEntries, int maxDepth, Take take) {
    std::error_code error;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
    const fs::recursive_directory_iterator end;
    int seen = 0;
    while (!error && it != end) {
        if (maxEntries > 0 && ++seen > maxEntries)
            return;
        const fs::directory_entry& entry = *it;
        std::error_code typeError;
        if (entry.is_directory(typeError)) {
            if (entry.is_symlink(typeError) || it.depth() + 1 >= maxDepth || Skipped(entry.path()))
                it.disable_recursion_pending();
        } else if (entry.is_regular_file(typeError) && !entry.is_symlink(typeError)) {
            const std::string path = entry.path().string();
            std::string relative = path.size() > root.size() ? path.substr(root.size())
                                                             : entry.path().filename().string();
            while (!relative.empty() && relative.front() == '/')
                relative.erase(0, 1);
            if (!take(relative, entry))
                return;
        }
        it.increment(error);
        if (error) {
            // An unreadable folder: go on with the next entry after it.
            error.clear();
            if (it == end)
                break;
        }
    }
}

std::string Join(const std::string& root, const std::string& relative) {
    if (root.empty() || root.back() == '/')
        return root + relative;
    return root + "/" + relative;
}

std::string_view FolderOf(std::string_view relative) {
    const size_t slash = relative.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
}

std::string_view StemPathOf(std::string_view relative) {
    const size_t dot = relative.rfind('.');
    const size_t slash = relative.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return relative;
    return relative.substr(0, dot);
}

std::string_view FileNameOf(std::string_view relative) {
    const size_t slash = relative.rfind('/');
    return slash == std::string_view::npos ? relative : relative.substr(slash + 1);
}

// The quality (-1 where there is none yet) and modification time of each camera's played
// file.
struct PlayedFiles {
    std::array<int, dashcam::kChannelCount> quality;
    std::array<int64_t, dashcam::kChannelCount> mtime;
    PlayedFiles() {
        quality.fill(-1);
        mtime.fill(0);
    }
};

void Place(DashcamRecording& recording, const dashcam::FileNameInfo& info, std::string path,
           int64_t mtime, PlayedFiles& played) {
    if (info.carCamera >= 0 && info.carCamera < dashcam::kCarCameraCount) {
        std::string& camera = recording.carCameras[static_cast<size_t>(info.carCamera)];
        if (camera.empty())
            camera = path;
    }
    const auto slot = static_cast<size_t>(info.channel);
    std::string& current = recording.channels[slot];
    if (current.empty()) {
        current = std::move(path);
    } else if (info.quality > played.quality[slot]) {
        recording.extraFiles.push_back(std::move(current));
        current = std::move(path);
    } else {
        recording.extraFiles.push_back(std::move(path));
        return;
    }
    played.quality[slot] = info.quality;
    played.mtime[slot] = mtime;
}

// The offsets of local wall-clock time from UTC in the machine's zone (local seconds minus UTC
// seconds) by local hour (local seconds / 3600, rounded down), kNoOffset where mktime could
// not tell: a folder's recordings fall in few hours, in any order, and mktime reads the zone
// (TZ, or a stat of /etc/localtime) on every call.
using ZoneHours = std::unordered_map<int64_t, int64_t>;
constexpr int64_t kNoOffset = std::numeric_limits<int64_t>::min();

// The offset of one local hour (mktime with tm_isdst = -1: daylight saving time as the zone
// has it on that date).
int64_t HourOffset(int64_t hour) {
    const CivilTime start = CivilTime::FromSeconds(hour * 3600);
    if (start.year < 1900 || start.year > 9999)
        return kNoOffset;
    std::tm parts{};
    parts.tm_year = start.year - 1900;
    parts.tm_mon = start.month - 1;
    parts.tm_mday = start.day;
    parts.tm_hour = start.hour;
    parts.tm_isdst = -1;
    errno = 0;
    const time_t t = std::mktime(&parts);
    if (t == static_cast<time_t>(-1) && errno != 0)
        return kNoOffset;
    return hour * 3600 - static_cast<int64_t>(t);
}

// Seconds since 1970 (UTC) of a local wall-clock time in the machine's zone; false when
// mktime cannot tell.
bool LocalToUtc(const CivilTime& local, ZoneHours& zone, int64_t& utc) {
    const int64_t wall = local.ToSeconds();
    const int64_t hour = wall >= 0 ? wall / 3600 : -((-wall + 3599) / 3600);
    auto [at, added] = zone.try_emplace(hour, kNoOffset);
    if (added)
        at->second = HourOffset(hour);
    if (at->second == kNoOffset)
        return false;
    utc = wall - at->second;
    return true;
}

// A recording's length in milliseconds from its played files' modification times and the
// local start its name carries, as Group describes it; -1 when no reading fits.
int64_t TimedLengthMs(const CivilTime& start, const PlayedFiles& played, ZoneHours& zone) {
    int64_t startUtc = 0;
    const bool zoneKnown = LocalToUtc(start, zone, startUtc);
    const int64_t startAsUtc = start.ToSeconds();
    int64_t zoneReading = -1;
    int64_t fatReading = -1;
    // The seconds from `from` to `to` when they lie in 0 to kMaxTimedLengthSeconds (any file
    // time, however far off, is compared without overflowing).
    const auto fitting = [](int64_t to, int64_t from, int64_t& seconds) {
        return !__builtin_sub_overflow(to, from, &seconds) && seconds >= 0 &&
               seconds <= kMaxTimedLengthSeconds;
    };
    for (const int64_t mtime : played.mtime) {
        int64_t seconds = 0;
        if (mtime <= 0)
            continue;
        if (zoneKnown && fitting(mtime, startUtc, seconds))
            zoneReading = std::max(zoneReading, seconds);
        if (fitting(mtime, startAsUtc, seconds))
            fatReading = std::max(fatReading, seconds);
    }
    const int64_t seconds = zoneReading >= 0 ? zoneReading : fatReading;
    return seconds >= 0 ? seconds * 1000 : -1;
}

// The files of the tree that a convention names (or may join a recording) and keep(name's
// FileNameInfo) takes, with their sizes and times; maxEntries and maxDepth as Walk takes them.
template <typename Keep>
std::vector<FoundFile> FindFiles(const std::string& root, int maxEntries, int maxDepth, Keep keep) {
    std::vector<FoundFile> files;
    Walk(root, maxEntries, maxDepth,
         [&](const std::string& relative, const fs::directory_entry& entry) {
             const dashcam::FileNameInfo info = dashcam::ReadFileName(relative);
             if (info.role == dashcam::FileRole::kIgnored || !keep(info))
                 return true;
             struct stat st {};
             FoundFile file;
             file.relative = relative;
             if (stat(entry.path().c_str(), &st) == 0) {
                 file.size = st.st_size;
                 file.mtime = st.st_mtime;
             }
             files.push_back(std::move(file));
             return true;
         });
    return files;
}

// The most entries of a file's folder looked at for the other cameras of its recording: a
// camera's folder of a few days' driving, read in a few milliseconds.
constexpr int kSiblingEntries = 20000;

// The recording of the folder that plays `path` (named by a convention as `info` tells) as one
// of its cameras, when it has more than one; nullopt when no other camera's file is beside it.
// Only the files that can belong to it are looked at and grouped: those named for the same
// recording, and side files no convention names (they join by their stem).
std::optional<DashcamRecording> WithItsOtherCameras(const std::string& path,
                                                    const dashcam::FileNameInfo& info) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error)
        return std::nullopt;
    const std::string folder = absolute.parent_path().string();
    const std::string name = absolute.filename().string();
    const auto mayBelong = [&](const dashcam::FileNameInfo& other) {
        return other.named ? other.recording == info.recording
                           : other.role == dashcam::FileRole::kSideFile;
    };
    for (DashcamRecording& recording :
         Group(folder, FindFiles(folder, kSiblingEntries, 1, mayBelong))) {
        const auto isIt = [&](const std::string& file) {
            return !file.empty() && fs::path(file).filename() == name;
        };
        const bool played =
            std::any_of(recording.channels.begin(), recording.channels.end(), isIt) ||
            std::any_of(recording.carCameras.begin(), recording.carCameras.end(), isIt);
        if (played)
            return recording.Pictures().size() > 1 ? std::optional(std::move(recording))
                                                   : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::vector<DashcamRecording> Scan(const std::string& root) {
    return Group(root,
                 FindFiles(root, 0, kMaxDepth, [](const dashcam::FileNameInfo&) { return true; }));
}

std::vector<DashcamRecording> Group(const std::string& root, const std::vector<FoundFile>& files) {
    std::vector<DashcamRecording> list;
    std::vector<PlayedFiles> played;
    std::unordered_map<std::string, size_t> byKey;
    std::unordered_map<std::string, size_t> byStemPath; // a video file's path without extension
    struct Side {
        std::string relative;
        int64_t size;
    };
    std::vector<Side> unmatchedSides;
    std::vector<Side> folderSides; // event.json: every recording of its folder
    std::vector<int64_t> earliest; // modification time of a recording's first video file
    // Most recordings have two files or more: room for that many up front spares the growing
    // lists' copies and, for thousands of recordings, fresh pages on every scan.
    const size_t expected = files.size() / 2 + 1;
    list.reserve(expected);
    played.reserve(expected);
    earliest.reserve(expected);

    for (const FoundFile& file : files) {
        const std::string& relative = file.relative;
        const dashcam::FileNameInfo info = dashcam::ReadFileName(relative);
        if (info.role == dashcam::FileRole::kIgnored)
            continue;
        const int64_t fileSize = std::max<int64_t>(file.size, 0);
        if (info.role == dashcam::FileRole::kSideFile && !info.named) {
            if (FileNameOf(relative) == "event.json")
                folderSides.push_back({relative, fileSize});
            else
                unmatchedSides.push_back({relative, fileSize});
            continue;
        }
        std::string key = info.family;
        key += '\x1f';
        key += static_cast<char>('0' + info.category);
        key += '\x1f';
        if (!info.named)
            key += StemPathOf(relative); // plain files: one recording each
        else
            key += info.recording;
        auto [at, added] = byKey.try_emplace(std::move(key), list.size());
        if (added) {
            DashcamRecording recording;
            recording.name = info.recording;
            recording.family = info.family;
            recording.category = info.category;
            recording.start = info.start;
            recording.startFromName = info.hasTime;
            list.push_back(std::move(recording));
            played.emplace_back();
            earliest.push_back(-1);
        }
        DashcamRecording& recording = list[at->second];
        recording.sizeBytes += fileSize;
        if (info.role == dashcam::FileRole::kSideFile) {
            recording.sideFiles.push_back(Join(root, relative));
            continue;
        }
        if (earliest[at->second] < 0 || file.mtime < earliest[at->second])
            earliest[at->second] = file.mtime;
        byStemPath.emplace(std::string(StemPathOf(relative)), at->second);
        Place(recording, info, Join(root, relative), file.mtime, played[at->second]);
    }

    // Side files without a convention: beside a video file of the same stem, or named as a
    // recording.
    std::unordered_map<std::string, size_t> byName;
    for (size_t i = 0; i < list.size(); ++i)
        byName.emplace(list[i].name, i);
    for (const Side& side : unmatchedSides) {
        const std::string stemPath(StemPathOf(side.relative));
        size_t index = 0;
        if (const auto found = byStemPath.find(stemPath); found != byStemPath.end())
            index = found->second;
        else if (const auto named = byName.find(std::string(FileNameOf(stemPath)));
                 named != byName.end())
            index = named->second;
        else
            continue;
        list[index].sideFiles.push_back(Join(root, side.relative));
        list[index].sizeBytes += side.size;
    }
    if (!folderSides.empty()) {
        // The recordings with a video file in each folder, each once.
        std::unordered_map<std::string, std::vector<size_t>> byFolder;
        for (const auto& [stemPath, index] : byStemPath) {
            std::vector<size_t>& indexes = byFolder[std::string(FolderOf(stemPath))];
            if (std::find(indexes.begin(), indexes.end(), index) == indexes.end())
                indexes.push_back(index);
        }
        for (const Side& side : folderSides) {
            const auto found = byFolder.find(std::string(FolderOf(side.relative)));
            if (found == byFolder.end())
                continue;
            for (const size_t index : found->second) {
                list[index].sideFiles.push_back(Join(root, side.relative));
                list[index].sizeBytes += side.size;
            }
        }
    }

    // Recordings of side files alone are no recordings; plain files are dated by their time,
    // named ones timed by it.
    std::vector<DashcamRecording> result;
    result.reserve(list.size());
    ZoneHours zone;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].ChannelCount() == 0)
            continue;
        list[i].mtime =
            std::max<int64_t>(0, *std::max_element(played[i].mtime.begin(), played[i].mtime.end()));
        if (list[i].startFromName)
            list[i].lengthMs = TimedLengthMs(list[i].start, played[i], zone);
        else if (earliest[i] > 0)
            list[i].start = LocalTime(earliest[i]);
        std::sort(list[i].sideFiles.begin(), list[i].sideFiles.end());
        std::sort(list[i].extraFiles.begin(), list[i].extraFiles.end());
        result.push_back(std::move(list[i]));
    }
    std::sort(result.begin(), result.end(),
              [](const DashcamRecording& a, const DashcamRecording& b) {
                  const int64_t ta = a.start.ToSeconds();
                  const int64_t tb = b.start.ToSeconds();
                  return std::tie(a.category, ta, a.name, a.channels) <
                         std::tie(b.category, tb, b.name, b.channels);
              });
    return result;
}

bool HoldsVideoFiles(const std::string& root, int maxEntries) {
    bool found = false;
    Walk(root, maxEntries, kMaxDepth, [&](const std::string& relative, const fs::directory_entry&) {
        const dashcam::FileNameInfo info = dashcam::ReadFileName(relative);
        found = info.role == dashcam::FileRole::kVideo;
        return !found;
    });
    return found;
}

const DashcamRecording* Find(const std::vector<DashcamRecording>& list, const std::string& name) {
    for (const DashcamRecording& recording : list)
        if (recording.name == name)
            return &recording;
    return nullptr;
}

DashcamRecording SingleFile(const std::string& path) {
    DashcamRecording recording;
    const std::string_view stem = StemPathOf(FileNameOf(path));
    const dashcam::FileNameInfo info = dashcam::ReadFileName(FileNameOf(path));
    recording.name = std::string(stem);
    recording.family = info.family;
    recording.category = info.category;
    recording.start = info.start;
    recording.startFromName = info.hasTime;
    recording.channels[dashcam::kFront] = path;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (info.named && S_ISREG(st.st_mode)) {
            if (std::optional<DashcamRecording> whole = WithItsOtherCameras(path, info))
                return std::move(*whole);
        }
        recording.sizeBytes = st.st_size;
        recording.mtime = std::max<int64_t>(0, st.st_mtime);
        if (!info.hasTime) {
            recording.start = LocalTime(st.st_mtime);
        } else {
            PlayedFiles played;
            played.mtime[dashcam::kFront] = recording.mtime;
            ZoneHours zone;
            recording.lengthMs = TimedLengthMs(recording.start, played, zone);
        }
    }
    return recording;
}

} // namespace folderscan
