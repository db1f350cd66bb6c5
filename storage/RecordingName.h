#pragma once

// Recording names and categories.
//
// A recording is named CATEGORY_YYYYMMDD_HHMMSS_CHANNELS, for example EVENT_20240305_090702_D:
// the category word, the date and time the recording started on the camera's local clock, and
// D for two channels (front and rear) or S for the front camera alone. A name is at most
// kMaxNameLength letters, digits and underscores; its first letter gives the category.
//
// Three readings of a name, for three kinds of reader:
//   - SplitName, leniently, for showing a name whatever it holds: missing fields are empty;
//   - ParseRecordingName, strictly, for names a program is about to write;
//   - CategoryFromName and ChannelsOfPath, a single letter each, for finding a recording in
//     the storage and for the player.
//
// Free functions without state; any thread.

#include "storage/CivilTime.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tat {

// Categories, numbered as the storage and the recording list number them.
inline constexpr int kCategoryCount = 4;
inline constexpr std::array<const char*, kCategoryCount> kCategoryWords = {"EVENT", "REC",
                                                                           "PARKING", "MANUAL"};
// The storage keeps names in 40-byte fields with a terminating zero.
inline constexpr size_t kMaxNameLength = 39;

// The category of a recording name from its first letter (E, R, P, M; either case), or -1.
int CategoryFromName(std::string_view name);

// Whether a category word must be in capitals (as in names the camera writes) or may be in
// any case (as the recording list compares them).
enum class WordCase { kCapitals, kAny };
// The category of a whole category word (EVENT, REC, PARKING, MANUAL), or -1.
int CategoryOfWord(std::string_view word, WordCase letters);

// Whether the storage can hold a recording of this name: 1 to kMaxNameLength letters, digits
// and underscores, the first letter naming a category. Only such names become file names.
bool IsStorableName(std::string_view name);

// A name cut at its underscores, as the recording list shows it. Views into the name given
// to SplitName. A name with fewer fields gives empty parts for the missing ones; a short
// field gives the characters it has. Nothing checks that the date and time are digits.
struct NameFields {
    std::string_view word;                 // field 0, the category word
    std::string_view year, month, day;     // field 1: characters 1-4, 5-6, 7-8
    std::string_view hour, minute, second; // field 2: characters 1-2, 3-4, 5-6
    std::string_view channels;             // field 3; anything after it is not read
    bool twoChannel = false;               // field 3 begins with D or d
};
NameFields SplitName(std::string_view name);

// The channels a recording's path or name declares, as the player reads it: 2 when its last
// letter (in front of a four-character extension such as ".avi", when there is one) is 'D',
// else 1.
int ChannelsOfPath(std::string_view path);

// What a well-formed recording name says.
struct RecordingName {
    int category = 0; // 0 event, 1 continuous, 2 parking, 3 manual
    CivilTime start;  // the camera's local clock
    bool twoChannel = false;
};

// Reads a name such as REC_20240305_090702_D: a category word in capitals, a real date and
// time, D (front and rear) or S (front only), nothing more. False, with error set to a line
// that quotes the name, for anything else.
bool ParseRecordingName(std::string_view name, RecordingName& out, std::string* error);

} // namespace tat
