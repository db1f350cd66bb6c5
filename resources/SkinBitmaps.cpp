#include "SkinBitmaps.h"

#include "resources/strings/StringTable.h"

#include <QString>

namespace {

// English, the language of every primary language id other than Korean's.
constexpr uint16_t kEnglishLanguageId = 0x09;

} // namespace

QImage SkinBitmap(int id, uint16_t languageId) {
    const QString language = IsKorean(languageId) ? QStringLiteral("ko") : QStringLiteral("en");
    QImage bitmap(QStringLiteral(":/skin/%1/%2.png").arg(language).arg(id));
    if (bitmap.isNull()) {
        bitmap.load(QStringLiteral(":/skin/%1.png").arg(id));
    }
    if (bitmap.isNull()) {
        return {};
    }
    return bitmap.convertToFormat(QImage::Format_RGB32);
}

QImage SkinBitmap(int id) {
    return SkinBitmap(id, kEnglishLanguageId);
}
