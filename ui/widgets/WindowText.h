#pragma once
#include <QString>

#include <cstdint>

// The texts of windows and dialogs.
namespace WindowText {

// The text of a string-table id in the language of languageId: for either half of a
// Korean/English pair the half that the language picks, an unpaired id its own text, an
// unknown id an empty text. Every window and dialog picks its texts through this.
QString Text(int id, uint16_t languageId);

} // namespace WindowText
