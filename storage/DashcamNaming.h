#pragma once

#include "storage/CivilTime.h"

#include <cstdint>
#include <string>
#include <string_view>

// What the file names of ordinary dash cameras say: which recording a file belongs to, its
// category, its camera (channel) and the local time the recording started.
//
// Known conventions (the file name; folders only where the camera's folders carry meaning):
//   BlackVue     20240305_090702_NF.mp4, _NR, _NI, _NO (+ optional L or S); side files
//                20240305_090702_N.gps / .3gf. N normal, E event, P parking, M manual,
//                I parking impact (parking), any other letter event.
//   Viofo        2024_0305_090702_0001F.MP4 (or .TS), _0001PF parking, _0001EF event; the
//                number may be missing; F, R, I, T (telephoto, another camera). A folder RO
//                makes it an event. Also 20240305090702_000123.MP4 (front only).
//   Novatek      2024_0305_090702_001.MP4 (or .MOV), front only; RO makes it an event.
//   Thinkware    REC_2024_03_05_09_07_02_F.MP4 (REC, EVT, PARK, MAN; folders cont_rec,
//                evt_rec, parking_rec, motion_rec, manual_rec when the word is missing).
//   70mai        NO20240305-090702-000F.mp4 (NO, EV, PA, LA time lapse as parking; F, B or
//                R rear, I; no letter: front).
//   Vantrue      20240305_090702_0001_N_A.mp4 (N, E, P; A front, B interior, C rear).
//   Wolf Box     2024_03_05_090702_00_F.MP4 (00 normal, 02 event; F, I, R).
//   Nextbase     240305_090702_001_FH.MP4 (F, R or B rear; H high, L low quality: H is
//                played); a folder Protected makes it an event.
//   Tesla        TeslaCam/RecentClips|SavedClips|SentryClips/.../2024-03-05_09-07[-02]-front.mp4
//                (front, back as rear, repeaters and pillars as other cameras; Recent normal,
//                Saved manual, Sentry event).
//   This viewer's own exports (EVENT_20240305_090702_D.avi): category and time of the name.
//   Anything else with a video extension: one front channel, normal, no time in the name.
//
// The recording's name is the file stem without the channel letter (20240305_090702_N).
// Side files that no convention names are matched to recordings by the scanner (same stem).
//
// Free functions without state; any thread. Never read outside the given text.
namespace dashcam {

// Category numbers as the recording list numbers them.
enum Category : int { kEvent = 0, kNormal = 1, kParking = 2, kManual = 3 };

// The cameras of a recording, in the order the window prefers them for its two pictures.
enum Channel : int { kFront = 0, kRear = 1, kInterior = 2, kOther = 3 };
inline constexpr int kChannelCount = 4;

enum class FileRole { kVideo, kSideFile, kIgnored };

struct FileNameInfo {
    FileRole role = FileRole::kIgnored;
    bool named = false;       // a convention matched (otherwise: plain video or side file)
    std::string family;       // "blackvue", "viofo", ... "" when no convention matched
    std::string recording;    // the recording's name: the stem without the channel letter
    int category = kNormal;   // from the name or the folders
    Channel channel = kFront; // video files only
    int quality = 0;          // a higher value is preferred for the same channel
    bool hasTime = false;     // the name carries the start time
    CivilTime start;          // local time, when hasTime
    std::string otherCamera;  // the camera's word for channels beyond front and rear
    // A car's camera (Tesla): its place in kCarCameras; -1 for other conventions.
    int carCamera = -1;
};

// The cameras of a car with built-in cameras, in the order it plays them.
inline constexpr int kCarCameraCount = 6;
inline constexpr const char* kCarCameras[kCarCameraCount] = {
    "front", "back", "left_repeater", "right_repeater", "left_pillar", "right_pillar"};

// Reads one file's path relative to the scanned folder ("DCIM/Movie/RO/2024_..._F.MP4";
// '/' separated). The role is kIgnored for a file that is neither a video file nor a side
// file (by extension: mp4 mov ts m4v mkv avi mts for video, nmea gps 3gf json for side files,
// any case).
FileNameInfo ReadFileName(std::string_view relativePath);

// Whether the extension (without the dot, any case) is one of a video file.
bool IsVideoExtension(std::string_view extension);
// Whether the extension (without the dot, any case) is one of a side file.
bool IsSideExtension(std::string_view extension);

// The category word of the command line's lists: event, rec, parking, manual.
const char* CategoryWord(int category);

} // namespace dashcam
