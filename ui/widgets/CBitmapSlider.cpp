#include "CBitmapSlider.h"

#include "TransparentBitmap.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

std::optional<SliderGeometry::Key> SliderKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_PageUp:
        return SliderGeometry::Key::PageUp;
    case Qt::Key_PageDown:
        return SliderGeometry::Key::PageDown;
    case Qt::Key_Home:
        return SliderGeometry::Key::Home;
    case Qt::Key_End:
        return SliderGeometry::Key::End;
    case Qt::Key_Left:
        return SliderGeometry::Key::Left;
    case Qt::Key_Right:
        return SliderGeometry::Key::Right;
    case Qt::Key_Up:
        return SliderGeometry::Key::Up;
    case Qt::Key_Down:
        return SliderGeometry::Key::Down;
    default:
        return std::nullopt;
    }
}

// bitmap as drawn: with its key colour removed when transparent. False if the key point is
// outside the bitmap.
bool Keyed(const QImage& bitmap, bool transparent, uint32_t keyColor, int keyX, int keyY,
           QImage* out) {
    if (!transparent || bitmap.isNull()) {
        *out = bitmap;
        return true;
    }
    QRgb key = 0;
    if (!ResolveKeyColor(bitmap, keyColor, keyX, keyY, &key)) {
        return false;
    }
    *out = MakeKeyTransparent(bitmap, key);
    return true;
}

// Where ticks meet, the later kind in this order is seen.
constexpr MarkerKind kMarkerDrawOrder[] = {MarkerKind::GForce, MarkerKind::Parking,
                                           MarkerKind::Manual, MarkerKind::Event};

} // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    UpdateWidths();
}

bool CBitmapSlider::Prepare(const QImage& bitmap, const QImage& active, bool transparent,
                            uint32_t keyColor, int keyX, int keyY, BitmapPair* out) {
    BitmapPair pair;
    pair.transparent = transparent;
    if (!Keyed(bitmap, transparent, keyColor, keyX, keyY, &pair.normal) ||
        !Keyed(active, transparent, keyColor, keyX, keyY, &pair.active)) {
        return false;
    }
    *out = pair;
    return true;
}

bool CBitmapSlider::SetChannelBitmaps(const QImage& channel, const QImage& active, bool transparent,
                                      uint32_t keyColor, int keyX, int keyY) {
    BitmapPair pair;
    if (!channel.isNull() && !Prepare(channel, active, transparent, keyColor, keyX, keyY, &pair)) {
        return false;
    }
    channel_ = pair;
    setAttribute(Qt::WA_OpaquePaintEvent, channel_.Loaded() && !channel_.transparent);
    if (channel_.Loaded()) {
        resize(channel_.normal.size());
    }
    UpdateWidths();
    updateGeometry();
    update();
    return true;
}

bool CBitmapSlider::SetThumbBitmaps(const QImage& thumb, const QImage& active, bool transparent,
                                    uint32_t keyColor, int keyX, int keyY) {
    BitmapPair pair;
    if (!thumb.isNull() && !Prepare(thumb, active, transparent, keyColor, keyX, keyY, &pair)) {
        return false;
    }
    thumb_ = pair;
    UpdateWidths();
    update();
    return true;
}

void CBitmapSlider::SetRangeMin(int value, bool redraw) {
    geometry_.SetRangeMin(value);
    if (redraw) {
        update();
    }
}

void CBitmapSlider::SetRangeMax(int value, bool redraw) {
    geometry_.SetRangeMax(value);
    if (redraw) {
        update();
    }
}

void CBitmapSlider::SetRange(int min, int max, bool redraw) {
    SetRangeMin(min, false);
    SetRangeMax(max, redraw);
}

void CBitmapSlider::SetPos(int value) {
    geometry_.SetPos(value);
    update();
}

int CBitmapSlider::SetPageSize(int value) {
    return geometry_.SetPageSize(value);
}

void CBitmapSlider::SetMarkers(std::vector<SliderMarker> markers) {
    markers_ = std::move(markers);
    pressedMarker_ = -1;
    update();
}

QColor CBitmapSlider::MarkerColor(MarkerKind kind) {
    switch (kind) {
    case MarkerKind::Event:
        return QColor(255, 64, 64);
    case MarkerKind::Manual:
        return QColor(255, 224, 48);
    case MarkerKind::Parking:
        return QColor(110, 140, 255); // lighter than the played part of the track
    case MarkerKind::ClipIn:
    case MarkerKind::ClipOut:
        return QColor(80, 230, 120);
    case MarkerKind::GForce:
        break;
    }
    return QColor(255, 152, 32);
}

void CBitmapSlider::SetFocusRectVisible(bool show, bool redraw) {
    showFocusRect_ = show;
    if (redraw) {
        update();
    }
}

QSize CBitmapSlider::sizeHint() const {
    return channel_.Loaded() ? channel_.normal.size() : QWidget::sizeHint();
}

void CBitmapSlider::UpdateWidths() {
    const int drawWidth = channel_.Loaded() ? channel_.normal.width() : width();
    geometry_.SetWidths(drawWidth, thumb_.Loaded() ? thumb_.normal.width() : 0);
}

void CBitmapSlider::DrawChannel(QPainter& painter) const {
    if (!channel_.Loaded()) {
        return;
    }
    if (channel_.active.isNull()) {
        painter.drawImage(0, 0, channel_.normal);
        return;
    }
    // Active part left of the thumb centre, normal part from it to the right end; each part
    // comes from the same place in its own bitmap.
    const int drawWidth = geometry_.Width();
    const int h = channel_.normal.height();
    const int split = std::clamp(geometry_.PixelOf(geometry_.Pos()), 0, drawWidth);
    painter.drawImage(QPoint(0, 0), channel_.active, QRect(0, 0, split, h));
    painter.drawImage(QPoint(split, 0), channel_.normal, QRect(split, 0, drawWidth - split, h));
}

void CBitmapSlider::DrawMarkers(QPainter& painter) const {
    const int drawHeight = channel_.Loaded() ? channel_.normal.height() : height();
    const int tickHeight = std::max(drawHeight - 2 * kMarkerInset, 1);
    for (const MarkerKind kind : kMarkerDrawOrder) {
        const QColor color = MarkerColor(kind);
        for (const SliderMarker& marker : markers_) {
            if (marker.kind != kind || marker.position < geometry_.RangeMin() ||
                marker.position > geometry_.RangeMax()) {
                continue;
            }
            const int x = geometry_.PixelOf(marker.position) - kMarkerWidth / 2;
            painter.fillRect(x, kMarkerInset, kMarkerWidth, tickHeight, color);
        }
    }
}

void CBitmapSlider::DrawThumb(QPainter& painter) const {
    if (!thumb_.Loaded()) {
        return;
    }
    const bool active = dragging_ && !thumb_.active.isNull();
    painter.drawImage(geometry_.ThumbLeft(), 0, active ? thumb_.active : thumb_.normal);
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
    // One off-screen picture per paint, copied in one step: no half-drawn frame is ever shown.
    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    if (channel_.transparent && channel_.Loaded()) {
        buffer.fill(Qt::transparent); // the parent's background shows through the key colour
    } else {
        buffer.fill(palette().color(backgroundRole()));
    }
    {
        QPainter painter(&buffer);
        DrawChannel(painter);
        DrawMarkers(painter);
        DrawThumb(painter);
        if (showFocusRect_ && hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect();
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}

void CBitmapSlider::DragTo(int pointerX) {
    if (geometry_.DragTo(pointerX, dragOffset_)) {
        update();
        emit sliderMoving(controlId_, geometry_.Pos());
    }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const int x = event->position().toPoint().x();
    // The thumb wins over a mark under it: it can always be dragged off a mark it was sent to.
    pressedMarker_ = geometry_.OnThumb(x) ? -1 : geometry_.MarkerAt(markers_, x, kMarkerSlack);
    if (pressedMarker_ >= 0) {
        event->accept();
        return;
    }
    dragging_ = true;
    dragOffset_ = geometry_.PressOffset(x);
    DragTo(x);
    update();
    event->accept();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    DragTo(event->position().toPoint().x());
    event->accept();
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressedMarker_ >= 0) {
        const int pressed = pressedMarker_;
        pressedMarker_ = -1;
        event->accept();
        const int x = event->position().toPoint().x();
        const int position = markers_[static_cast<size_t>(pressed)].position;
        if (std::abs(x - geometry_.PixelOf(position)) > kMarkerSlack) {
            return; // released away from the mark: no click
        }
        geometry_.SetPos(position);
        update();
        emit markerClicked(position);
        return;
    }
    if (event->button() != Qt::LeftButton || !dragging_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    update();
    event->accept();
    emit sliderMoved(controlId_, geometry_.Pos());
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
    const std::optional<SliderGeometry::Key> key = SliderKeyOf(event->key());
    if (!key) {
        QWidget::keyPressEvent(event);
        return;
    }
    geometry_.ApplyKey(*key);
    update();
    event->accept();
    emit sliderMoved(controlId_, geometry_.Pos());
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CBitmapSlider::resizeEvent(QResizeEvent* event) {
    UpdateWidths();
    QWidget::resizeEvent(event);
}
