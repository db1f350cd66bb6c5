#include "CxSkinButton.h"

#include <QPainter>
#include <qdrawutil.h>

CxSkinButton::CxSkinButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CxSkinButton::SetSkin(const QImage& normal, const QImage& down, int border) {
    normal_ = normal;
    down_ = down;
    border_ = border;
    updateGeometry();
    update();
}

void CxSkinButton::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

QColor CxSkinButton::TextColor() const {
    return textColor_.isValid() ? textColor_ : palette().color(QPalette::ButtonText);
}

QSize CxSkinButton::sizeHint() const {
    return normal_.isNull() ? QSize() : normal_.size();
}

void CxSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    const bool down = isDown() || isChecked();
    const QImage& bitmap = down ? down_ : normal_;

    painter.fillRect(area, palette().button());
    if (!bitmap.isNull()) {
        painter.drawImage(0, 0, bitmap);
    }
    QRect textArea = area.adjusted(2, 0, -2, 0);
    if (down) {
        textArea.translate(1, 1);
    }
    if (border_ != 0) {
        qDrawWinPanel(&painter, area, palette(), down);
    }
    if (!text().isEmpty()) {
        painter.setPen(TextColor());
        painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}
