#include "CBitmapButtonTrans.h"

#include "TransparentBitmap.h"

#include <QPainter>

CBitmapButtonTrans::CBitmapButtonTrans(QWidget* parent) : QAbstractButton(parent) {
    // The parent's background must show through the key colour: never fill the rectangle.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

void CBitmapButtonTrans::SetBitmaps(const QImage& normal, const QImage& selected,
                                    const QImage& focused, const QImage& disabled) {
    bitmaps_[Normal] = normal;
    bitmaps_[Selected] = selected;
    bitmaps_[Focused] = focused;
    bitmaps_[Disabled] = disabled;
    RebuildKeyed();
    updateGeometry();
    update();
}

void CBitmapButtonTrans::SetKeyColor(uint32_t colorRef) {
    keyColor_ = colorRef;
    RebuildKeyed();
    update();
}

void CBitmapButtonTrans::SizeToContent() {
    if (!bitmaps_[Normal].isNull()) {
        resize(bitmaps_[Normal].size());
    }
}

QSize CBitmapButtonTrans::sizeHint() const {
    return bitmaps_[Normal].isNull() ? QSize() : bitmaps_[Normal].size();
}

const QImage& CBitmapButtonTrans::CurrentBitmap() const {
    if (isDown() && !keyed_[Selected].isNull()) {
        return keyed_[Selected];
    }
    if (hasFocus() && !keyed_[Focused].isNull()) {
        return keyed_[Focused];
    }
    if (!isEnabled() && !keyed_[Disabled].isNull()) {
        return keyed_[Disabled];
    }
    return keyed_[Normal];
}

void CBitmapButtonTrans::RebuildKeyed() {
    const QRgb key = RgbFromColorRef(keyColor_);
    for (int i = 0; i < SlotCount; ++i) {
        keyed_[i] = MakeKeyTransparent(bitmaps_[i], key);
    }
}

void CBitmapButtonTrans::paintEvent(QPaintEvent*) {
    const QImage& bitmap = CurrentBitmap();
    if (bitmap.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, bitmap);
}
