#pragma once

#include "storage/CivilTime.h"
#include "storage/DashcamNaming.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One recording of a dash-cam folder: the files of one moment, grouped by their names.
struct DashcamRecording {
    std::string name;   // the shared stem without the channel letter
    std::string family; // the naming convention ("" for a plain video file)
    int category = dashcam::kNormal;
    CivilTime start; // local time: from the name, else the first video file's time
    bool startFromName = false;
    // The video file of each camera (dashcam::Channel order); "" where the camera is absent.
    std::array<std::string, dashcam::kChannelCount> channels;
    std::vector<std::string> sideFiles;  // NMEA, .gps, .3gf, event.json
    std::vector<std::string> extraFiles; // more video files of the moment that are not played
                                         // (a lower quality, a further camera)
    int64_t sizeBytes = 0;               // all its files together
    int64_t lengthMs = -1;               // from the files' times; < 0 unknown

    // Cameras with a video file.
    int ChannelCount() const;
    // The files the window's two pictures show: the front camera (else the first camera
    // there is), and the rear camera (else the interior, else another); "" for none.
    std::string FirstPicture() const;
    std::string SecondPicture() const;
    // Every file of the recording: cameras, then extra video files, then side files.
    std::vector<std::string> AllFiles() const;
};

// Lists the recordings of a dash-cam folder without opening any file: one walk of the folder
// tree (at most kMaxDepth folders deep, links not followed, hidden folders and the camera
// storage's TATSTORE left out), each file's name read with dashcam::ReadFileName, the files of
// one recording (same convention, category and name) grouped together. Side files that no
// convention names join the recording that has a video file of the same stem in the same
// folder, or the recording of that name. Tesla's event.json joins every recording of its
// folder.
//
// Sorted by category (event, normal, parking, manual), then start time, then name. Paths are
// absolute (the root joined with the relative path). Unreadable folders are skipped.
//
// Plain functions; any thread.
namespace folderscan {

inline constexpr int kMaxDepth = 8;

std::vector<DashcamRecording> Scan(const std::string& root);

// One file the walk found.
struct FoundFile {
    std::string relative; // '/'-separated, from the root
    int64_t size = 0;     // bytes
    int64_t mtime = 0;    // modification time, seconds since 1970 (UTC)
};
// The grouping step of Scan over files already found (any order; the list's order decides
// which of two equal files is played).
std::vector<DashcamRecording> Group(const std::string& root, const std::vector<FoundFile>& files);

// Whether the folder holds at least one video file within kMaxDepth levels, looking at no
// more than maxEntries directory entries.
bool HoldsVideoFiles(const std::string& root, int maxEntries = 5000);

// The recording of that name (the first of the list when several share it); null when none.
const DashcamRecording* Find(const std::vector<DashcamRecording>& list, const std::string& name);

// One file as a recording of its own (a single video file opened by name), dated by the
// file's modification time in local time.
DashcamRecording SingleFile(const std::string& path);

} // namespace folderscan
