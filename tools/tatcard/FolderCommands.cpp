#include "FolderCommands.h"

#include "CardCommands.h"
#include "CommandLine.h"
#include "formats/RecordingCopier.h"
#include "sources/SourceOpening.h"
#include "storage/QuickDuration.h"
#include "storage/TatCardFinder.h"

#include <cstdio>

namespace {

// The length of the recording (its longest played file) and whether a played file is damaged.
QuickDuration Measure(const DashcamRecording& recording) {
    QuickDuration whole;
    for (const std::string& file : recording.channels) {
        if (file.empty())
            continue;
        const QuickDuration one = QuickDuration::OfFile(file);
        whole.damaged = whole.damaged || one.damaged;
        if (one.seconds > whole.seconds)
            whole.seconds = one.seconds;
    }
    return whole;
}

bool InCategory(const DashcamRecording& recording, int category) {
    return category == kAllCategories || recording.category == category;
}

} // namespace

std::shared_ptr<VRecordingSource> OpenSourceOrTell(const std::string& path) {
    std::shared_ptr<VRecordingSource> source = sources::Open(path, sources::Options{});
    if (!source)
        CommandFailed("no recordings in " + path);
    return source;
}

std::vector<DashcamRecording> RecordingsOfSource(const std::string& path) {
    switch (ClassifySource(path)) {
    case SourceKind::kFolder:
        return folderscan::Scan(path);
    case SourceKind::kFile:
        return {folderscan::SingleFile(path)};
    default:
        return {};
    }
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c; // UTF-8 passes as it is
        }
    }
    return out + "\"";
}

std::string IsoLocalTime(const CivilTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year % 10000,
                  time.month % 100, time.day % 100, time.hour % 100, time.minute % 100,
                  time.second % 100);
    return text;
}

int ListFolderRecordings(const std::string& path, int category, bool json) {
    if (ClassifySource(path) == SourceKind::kNone)
        return CommandFailed("no recordings in " + path);
    const std::vector<DashcamRecording> list = RecordingsOfSource(path);
    if (json)
        std::fputs("[", stdout);
    const char* separator = "\n";
    for (const DashcamRecording& recording : list) {
        if (!InCategory(recording, category))
            continue;
        if (!json) {
            std::printf("%-28s %12lld  %-7s %s  %d camera%s\n", recording.name.c_str(),
                        static_cast<long long>(recording.sizeBytes),
                        dashcam::CategoryWord(recording.category),
                        IsoLocalTime(recording.start).c_str(), recording.ChannelCount(),
                        recording.ChannelCount() == 1 ? "" : "s");
            continue;
        }
        const QuickDuration length = Measure(recording);
        char duration[32] = "null";
        if (length.seconds >= 0)
            std::snprintf(duration, sizeof duration, "%.3f", length.seconds);
        std::printf("%s{\"name\": %s, \"category\": \"%s\", \"start\": \"%s\", \"channels\": %d, "
                    "\"duration_s\": %s, \"size_bytes\": %lld, \"damaged\": %s}",
                    separator, JsonString(recording.name).c_str(),
                    dashcam::CategoryWord(recording.category),
                    IsoLocalTime(recording.start).c_str(), recording.ChannelCount(), duration,
                    static_cast<long long>(recording.sizeBytes), length.damaged ? "true" : "false");
        separator = ",\n";
    }
    if (json)
        std::fputs("\n]\n", stdout);
    return 0;
}

int DescribeFolderRecording(const std::string& path, const std::string& name) {
    const std::vector<DashcamRecording> list = RecordingsOfSource(path);
    const DashcamRecording* recording = folderscan::Find(list, name);
    if (recording == nullptr)
        return CommandFailed("no recording " + name + " in " + path);
    static constexpr const char* kCameras[dashcam::kChannelCount] = {"front", "rear", "interior",
                                                                     "other"};
    const QuickDuration length = Measure(*recording);
    std::printf("name          %s\n", recording->name.c_str());
    std::printf("naming        %s\n",
                recording->family.empty() ? "(plain file)" : recording->family.c_str());
    std::printf("category      %s\n", dashcam::CategoryWord(recording->category));
    std::printf("start         %s%s\n", IsoLocalTime(recording->start).c_str(),
                recording->startFromName ? "" : " (file time)");
    std::printf("channels      %d\n", recording->ChannelCount());
    for (size_t c = 0; c < recording->channels.size(); ++c)
        if (!recording->channels[c].empty())
            std::printf("%-13s %s\n", kCameras[c], recording->channels[c].c_str());
    for (const std::string& file : recording->extraFiles)
        std::printf("extra         %s\n", file.c_str());
    for (const std::string& file : recording->sideFiles)
        std::printf("side file     %s\n", file.c_str());
    std::printf("size          %lld bytes\n", static_cast<long long>(recording->sizeBytes));
    if (length.seconds >= 0)
        std::printf("length        %.1f s\n", length.seconds);
    else
        std::printf("length        unknown\n");
    std::printf("damaged       %s\n", length.damaged ? "yes" : "no");
    return 0;
}

int CopyFolderRecordings(const std::string& path, const std::string& folder, int category,
                         const std::vector<std::string>& names) {
    const std::vector<DashcamRecording> list = RecordingsOfSource(path);
    if (!MakeTargetFolder(folder))
        return 1;
    std::vector<const DashcamRecording*> chosen;
    std::vector<std::string> missing;
    if (names.empty()) {
        for (const DashcamRecording& recording : list)
            if (InCategory(recording, category))
                chosen.push_back(&recording);
    } else {
        for (const std::string& name : names) {
            if (const DashcamRecording* recording = folderscan::Find(list, name))
                chosen.push_back(recording);
            else
                missing.push_back(name);
        }
    }
    RecordingCopier copier;
    size_t complete = 0;
    for (const std::string& name : missing)
        CommandFailed(name + ": failed: no such recording in " + path);
    for (const DashcamRecording* recording : chosen) {
        const ExportReport report = copier.CopyToFolder(*recording, folder, {});
        if (report.outcome == ExportReport::Outcome::kComplete) {
            ++complete;
            std::printf("%s: %lld files, %llu bytes\n", recording->name.c_str(),
                        static_cast<long long>(report.packets),
                        static_cast<unsigned long long>(report.bytes));
        } else {
            CommandFailed(recording->name + ": " + OutcomeWord(report.outcome) + ": " +
                          report.reason);
        }
    }
    const size_t total = chosen.size() + missing.size();
    std::printf("copied %zu of %zu recordings to %s\n", complete, total, folder.c_str());
    return complete == total ? 0 : 1;
}
