#include "SpeedControl.h"

#include "ui/logic/PlaybackSpeed.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

SpeedControl::SpeedControl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    resize(sizeHint());
    setToolTip(QStringLiteral("Playing speed: [ slower, ] faster"));
}

void SpeedControl::SetSpeed(int percent) {
    if (percent == m_percent)
        return;
    m_percent = percent;
    update();
}

void SpeedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QColor(90, 90, 90));
    painter.setBrush(QColor(24, 24, 24));
    painter.drawRoundedRect(box, 4, 4);

    // The arrows: slower on the left, faster on the right.
    const double mid = height() / 2.0;
    const QColor arrow = m_percent != PlaybackSpeed::kNormal ? QColor(255, 200, 0) : Qt::white;
    painter.setPen(Qt::NoPen);
    painter.setBrush(arrow);
    QPainterPath left;
    left.moveTo(4, mid);
    left.lineTo(9, mid - 4);
    left.lineTo(9, mid + 4);
    left.closeSubpath();
    painter.drawPath(left);
    QPainterPath right;
    right.moveTo(width() - 4.0, mid);
    right.lineTo(width() - 9.0, mid - 4);
    right.lineTo(width() - 9.0, mid + 4);
    right.closeSubpath();
    painter.drawPath(right);

    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(arrow);
    painter.drawText(rect().adjusted(10, 0, -10, 0), Qt::AlignCenter,
                     QString::fromStdString(PlaybackSpeed::Text(m_percent)));
}

void SpeedControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const bool faster = event->position().x() >= width() / 2.0;
    emit speedRequested(faster ? PlaybackSpeed::Faster(m_percent)
                               : PlaybackSpeed::Slower(m_percent));
}

void SpeedControl::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        QWidget::wheelEvent(event);
        return;
    }
    emit speedRequested(delta > 0 ? PlaybackSpeed::Faster(m_percent)
                                  : PlaybackSpeed::Slower(m_percent));
}
