#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CTATLibrary;
struct CivilTime;
struct DashcamRecording;

// The recording list's contents: which recordings of the card are listed, in which order, and
// the texts of their rows. Names follow CATEGORY_YYYYMMDD_HHMMSS_CHANNELS.
namespace RecordingList {

// Entries from 1 byte up to this size are too small to play and are left out.
inline constexpr int64_t kMinRecordingSize = 524288;
// Filters: 0 event, 1 continuous, 2 parking, 3 manual, 4 all.
inline constexpr int kFilterAll = 4;

struct Row {
    std::string label;    // column 0: REC, EVT, PAK, MAN (another word as it is)
    std::string name;     // column 1: the whole name (hidden; opens the recording)
    std::string dateText; // column 2: "YYYY.MM.DD hh:mm:ss"
    std::string rear;     // column 3: "0" for two channels, else empty
};

// "YYYY.MM.DD hh:mm:ss" of a local time, as the Date column shows it.
std::string DateText(const CivilTime& time);
// The row of a name. Missing fields give empty parts; nothing checks that the date and time
// are digits.
Row RowOfName(std::string_view name);
// The row of a dash-cam folder's recording: its category's label, its name, its local start
// time, "0" when it has a second camera (or is an export of this program named with D); a
// damaged one shows " (damaged)" after the time.
Row RowOfRecording(const DashcamRecording& recording, bool damaged);
// The Type column's label of a category word (case ignored).
std::string CategoryLabel(std::string_view word);

// Appends the listable names of one category (0 … 3) of the card with this drive number:
// entries of at least kMinRecordingSize bytes, and entries of size 0 that the library
// describes with an empty counts text. Nothing without a card (drive 0).
void ScanCategory(CTATLibrary& library, uint8_t drive, int category,
                  std::vector<std::string>& names);
// The names a filter lists, newest first within each category word: for filter 4 the four
// categories together, in descending byte order of the names (REC, PARKING, MANUAL, EVENT).
std::vector<std::string> ListNames(CTATLibrary& library, uint8_t drive, int filter);

} // namespace RecordingList
