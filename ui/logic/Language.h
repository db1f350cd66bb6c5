#pragma once

#include "resources/strings/StringTable.h"

#include <cstdint>
#include <string_view>

// The user's language as a primary language id (the numbering of Windows language ids: 0x12
// Korean, 0x09 English, ...). Texts come in Korean/English pairs; IsKorean (the string
// table's) says which half a language id picks.

constexpr uint16_t kLanguageEnglish = 0x09;
constexpr uint16_t kLanguageKorean = kKoreanLanguageId;

// The id of a POSIX locale name such as "ko_KR.UTF-8", "de_DE@euro", "ja" or "pt-BR": the
// language code before any territory, codeset or modifier, in any case. Unknown codes, "C",
// "POSIX" and the empty name give kLanguageEnglish.
uint16_t LanguageIdFromLocale(std::string_view localeName);

// The id of the message language that the environment selects: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty (null pointers count as unset). The caller
// passes the variables' values, for example std::getenv("LC_ALL").
uint16_t LanguageIdFromEnvironment(const char* lcAll, const char* lcMessages, const char* lang);
