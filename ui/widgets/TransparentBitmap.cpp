#include "TransparentBitmap.h"

bool ResolveKeyColor(const QImage& bitmap, uint32_t colorRef, int keyX, int keyY, QRgb* key) {
    if (colorRef != kKeyFromPixel) {
        *key = RgbFromColorRef(colorRef);
        return true;
    }
    if (!bitmap.valid(keyX, keyY)) {
        return false;
    }
    *key = qRgb(qRed(bitmap.pixel(keyX, keyY)), qGreen(bitmap.pixel(keyX, keyY)),
                qBlue(bitmap.pixel(keyX, keyY)));
    return true;
}

QImage MakeKeyTransparent(const QImage& bitmap, QRgb key) {
    if (bitmap.isNull()) {
        return {};
    }
    QImage out = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = key & 0x00FFFFFFu;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == keyRgb) {
                line[x] = 0;
            }
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
