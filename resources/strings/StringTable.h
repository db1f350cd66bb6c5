#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's string table: user texts in Korean and English, compiled in from strings.inc.
//
// Most texts come in pairs, the Korean text at an id N and the English one at N + 1; a few
// are shown unchanged in both languages (the window title 402). Texts are UTF-8.

// Primary language id of Korean; every other id picks the English texts.
inline constexpr uint16_t kKoreanLanguageId = 0x12;

// Whether a language id (masked to its primary language) picks the Korean texts. The one
// place that decides the language of every text.
inline bool IsKorean(uint16_t languageId) {
    return (languageId & 0x3FFu) == kKoreanLanguageId;
}

// The time-zone list: entry i (GMT offset i - 12 hours) is the pair at kTimeZoneFirstId + 2 i.
inline constexpr int kTimeZoneFirstId = 453;
inline constexpr int kTimeZoneCount = 25;

// The text stored at id, or nullptr when the table has no such id.
const char* StringText(int id);

// The other half of the pair that id belongs to, or 0 when id is unpaired or unknown.
int PairedStringId(int id);

// The text of id in the user's language: for either half of a pair, the Korean text when
// languageId (masked to its primary language) is Korean, the English one otherwise; an
// unpaired id gives its own text in both languages. Unknown ids give an empty text.
std::string PickText(int id, uint16_t languageId);

// PickText, then formatted printf-style with the arguments that follow. (The language id is
// taken as unsigned so that it can precede the variable arguments.)
std::string FormatText(int id, unsigned languageId, ...);

// Every id of the table in the order it is written, one entry per stored text.
std::vector<int> StringIds();
