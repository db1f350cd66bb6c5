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
    // A car's cameras (dashcam::kCarCameras order) as their files; "" where absent, all ""
    // for other conventions. The same files are in channels and extraFiles too.
    std::array<std::string, dashcam::kCarCameraCount> carCameras;
    std::vector<std::string> sideFiles;  // NMEA, .gps, .3gf, event.json
    std::vector<std::string> extraFiles; // more video files of the moment that are not played
                                         // (a lower quality, a further camera)
    int64_t sizeBytes = 0;               // all its files together
    // The latest modification time of its played video files (channels), seconds since 1970
    // as the file system reports it: true UTC for files written on this machine, the
    // camera's local time read as UTC on the camera's own FAT card; 0 when unknown.
    int64_t mtime = 0;
    // How long it lasts, in milliseconds, from mtime (the camera sets it when it closes a
    // file) and the start its name carries; no file opened. -1 when unknown: the start did
    // not come from the name, or neither reading of the clocks gives a length from 0 to
    // folderscan::kMaxTimedLengthSeconds (a file copied here without its time, a camera clock
    // far off). See folderscan::Group.
    int64_t lengthMs = -1;

    // Cameras with a video file.
    int ChannelCount() const;
    // The files the window's two pictures show: the front camera (else the first camera
    // there is), and the rear camera (else the interior, else another); "" for none.
    std::string FirstPicture() const;
    std::string SecondPicture() const;
    // The files played, in channel order (0 the front): a car's cameras that are present, in
    // dashcam::kCarCameras order; else FirstPicture and SecondPicture, those there are.
    std::vector<std::string> Pictures() const;
    // The cameras' words in the same order: a car's ("front", "back", "left_repeater", ...);
    // else "front" and "rear".
    std::vector<std::string> CameraWords() const;
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
//
// It also sets each recording's mtime and lengthMs. The name's start is local wall-clock
// time; a file's mtime is read two ways: (a) as the camera's local time shown as if it were
// UTC (a FAT card mounted on Linux), length = mtime - start.ToSeconds(); (b) as true UTC (a
// file written or copied with its time on this machine), length = mtime - the start turned
// from local time to UTC in the machine's zone (TZ respected; daylight saving time as the
// zone has it on that date). Of each reading the longest length any played file gives within
// 0 to kMaxTimedLengthSeconds counts; (b) is taken when it has one, else (a), else the length is
// unknown. Asks for the zone (mktime) once per local hour of the recordings.
std::vector<DashcamRecording> Group(const std::string& root, const std::vector<FoundFile>& files);

// The longest a recording's length read from its file times may be (cameras close a file
// after 1 to 10 minutes); a longer or negative one means the times do not fit.
inline constexpr int64_t kMaxTimedLengthSeconds = 15 * 60;

// Whether the folder holds at least one video file within kMaxDepth levels, looking at no
// more than maxEntries directory entries.
bool HoldsVideoFiles(const std::string& root, int maxEntries = 5000);

// The recording of that name (the first of the list when several share it); null when none.
const DashcamRecording* Find(const std::vector<DashcamRecording>& list, const std::string& name);

// A video file opened by its path. When its name follows a convention and the other cameras of
// its moment lie beside it in its folder (that folder only, not those below), it is the whole
// recording of the folder that plays it, as Scan would list it there (absolute paths, the name
// without the channel letter): opening a front file plays its rear too. Otherwise it is one
// file as a recording of its own, its name the file's stem, dated by its name (else by its
// modification time in local time); its mtime and lengthMs as Group sets them.
DashcamRecording SingleFile(const std::string& path);

} // namespace folderscan
