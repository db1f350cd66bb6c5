#include "CarReadoutWidget.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor kLit(60, 220, 90);     // a turn signal that blinks, the accelerator
const QColor kDim(70, 70, 70);      // what is off
const QColor kBrake(230, 50, 40);   // the brake pedal pressed
const QColor kAssist(90, 190, 255); // the driver-assist state
const QColor kText(235, 235, 235);
const QColor kPanel(0x12, 0x15, 0x1a); // the skin's panel of the graph's legend

// A turn signal's arrow in the box, pointing left or right.
void DrawArrow(QPainter& painter, const QRectF& box, bool left, bool lit) {
    QPainterPath arrow;
    const qreal tip = left ? box.left() : box.right();
    const qreal back = left ? box.right() : box.left();
    const qreal mid = box.center().y();
    const qreal neck = left ? box.left() + box.width() * 0.55 : box.right() - box.width() * 0.55;
    arrow.moveTo(tip, mid);
    arrow.lineTo(neck, box.top());
    arrow.lineTo(neck, mid - box.height() * 0.22);
    arrow.lineTo(back, mid - box.height() * 0.22);
    arrow.lineTo(back, mid + box.height() * 0.22);
    arrow.lineTo(neck, mid + box.height() * 0.22);
    arrow.lineTo(neck, box.bottom());
    arrow.closeSubpath();
    painter.fillPath(arrow, lit ? kLit : kDim);
}

// A pedal's bar: its label, the frame and the share filled.
void DrawBar(QPainter& painter, qreal y, const QString& label, double share, const QColor& fill) {
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(kText);
    painter.drawText(QRectF(0, y - 2, 28, 12), Qt::AlignLeft | Qt::AlignVCenter, label);
    const QRectF frame(28, y, 80, 8);
    painter.fillRect(frame, QColor(35, 35, 35));
    painter.fillRect(QRectF(frame.left(), frame.top(), frame.width() * std::clamp(share, 0.0, 1.0),
                            frame.height()),
                     fill);
    painter.setPen(kDim);
    painter.drawRect(frame);
}

// The steering wheel: a rim, a hub and three spokes, the top spoke's marker showing the turn.
void DrawWheel(QPainter& painter, const QPointF& centre, qreal radius, double degrees) {
    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    painter.setPen(QPen(kText, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0, 0), radius, radius);
    painter.setPen(QPen(kText, 3));
    painter.drawLine(QPointF(-radius, 0), QPointF(radius, 0));
    painter.drawLine(QPointF(0, 0), QPointF(0, radius));
    painter.setBrush(kText);
    painter.drawEllipse(QPointF(0, 0), radius * 0.22, radius * 0.22);
    // The marker at the top of the rim: where straight ahead is when the wheel is centred.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBrake);
    painter.drawRect(QRectF(-3, -radius - 3, 6, 7));
    painter.restore();
}

} // namespace

CarReadoutWidget::CarReadoutWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void CarReadoutWidget::Show(const CarReadout& readout) {
    if (readout == m_readout && isVisible() == readout.shown)
        return;
    m_readout = readout;
    setVisible(readout.shown);
    update();
}

void CarReadoutWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kPanel);
    if (!m_readout.shown)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal scale = std::min(width() / qreal(kWidth), height() / qreal(kHeight));
    painter.translate((width() - kWidth * scale) / 2, (height() - kHeight * scale) / 2);
    painter.scale(scale, scale);

    DrawArrow(painter, QRectF(1, 8, 16, 16), true, m_readout.blinkerLeft);
    DrawArrow(painter, QRectF(93, 8, 16, 16), false, m_readout.blinkerRight);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(24);
    painter.setFont(font);
    painter.setPen(kText);
    painter.drawText(QRectF(18, 0, 74, 26), Qt::AlignCenter,
                     QString::fromStdString(m_readout.speedText));
    font.setBold(false);
    font.setPixelSize(9);
    painter.setFont(font);
    painter.drawText(QRectF(18, 24, 74, 10), Qt::AlignCenter,
                     QString::fromStdString(m_readout.unitText));

    // P R N D, the current one lit.
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    const char* const gears[] = {"P", "R", "N", "D"};
    for (int k = 0; k < 4; ++k) {
        const bool current = m_readout.gear == gears[k];
        painter.setPen(current ? kText : kDim);
        painter.drawText(QRectF(22 + k * 18, 36, 16, 16), Qt::AlignCenter,
                         QString::fromLatin1(gears[k]));
    }

    DrawBar(painter, 58, QStringLiteral("ACC"), m_readout.acceleratorPercent / 100.0, kLit);
    DrawBar(painter, 72, QStringLiteral("BRK"), m_readout.brake ? 1.0 : 0.0, kBrake);

    font.setBold(false);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(kAssist);
    painter.drawText(QRectF(0, 86, 112, 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(m_readout.assist));

    DrawWheel(painter, QPointF(142, 38), 22, m_readout.steeringDegrees);
    font.setPixelSize(10);
    painter.setFont(font);
    painter.setPen(kText);
    painter.drawText(QRectF(116, 66, 54, 14), Qt::AlignCenter,
                     QString::number(static_cast<int>(std::lround(m_readout.steeringDegrees))) +
                         QChar(0x00B0));
}
