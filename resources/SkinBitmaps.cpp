#include "SkinBitmaps.h"

#include <QString>

QImage SkinBitmap(int id) {
    const QImage bitmap(QStringLiteral(":/skin/%1.png").arg(id));
    if (bitmap.isNull()) {
        return {};
    }
    return bitmap.convertToFormat(QImage::Format_RGB32);
}
