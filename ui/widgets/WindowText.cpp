#include "WindowText.h"

#include "resources/strings/StringTable.h"

QString WindowText::Text(int id, uint16_t languageId) {
    return QString::fromStdString(PickText(id, languageId));
}
