#pragma once

#include <string>

// A short drive for the tests of incident clips: two recordings of 3 s back to back, started at
// 09:07:02 and 09:07:05 local time on 2024-03-05, each with a front camera (320x180, 30 fps,
// H.264 without reordered pictures, a key frame every 15 frames, AAC sound at 48 kHz) and a rear
// one (the same without sound), every picture of the four files different, and a fix a second
// (the GPS's time 2 s behind the camera's clock read in UTC). Made with the ffmpeg program.
namespace clipdrive {

inline constexpr char kFirstFolder[] = "20240305_090702_N";
inline constexpr char kSecondFolder[] = "20240305_090705_N";
inline constexpr char kFirstCard[] = "REC_20240305_090702_D";
inline constexpr char kSecondCard[] = "REC_20240305_090705_D";
inline constexpr int kSeconds = 3;
inline constexpr int kRate = 30;
inline constexpr int kKeyEvery = 15;
inline constexpr int kCameraMinusGpsMs = 2000;

// The dash-cam folder: folder/Record/<name>F.mp4, <name>R.mp4 and <name>.gps (BlackVue-style
// stamped NMEA with a G-sensor line a second). False, with why, when ffmpeg failed.
bool MakeFolder(const std::string& folder, std::string* failure);

// The front and rear files of a folder recording made by MakeFolder.
std::string FrontFile(const std::string& folder, const std::string& name);
std::string RearFile(const std::string& folder, const std::string& name);

// The card: made empty, then both recordings imported from the files of the folder MakeFolder
// made (and an NMEA log each, written beside the card) by the tatcard program at tatcardPath,
// as kFirstCard and kSecondCard.
bool MakeCard(const std::string& card, const std::string& folder, const std::string& tatcardPath,
              std::string* failure);

} // namespace clipdrive
