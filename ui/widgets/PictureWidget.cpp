#include "PictureWidget.h"

#include <QMetaObject>
#include <QPainter>
#include <QResizeEvent>

#include <cstring>

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

AreaSize PictureWidget::Size() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_size;
}

int32_t PictureWidget::PictureChannels() const {
    return 4;
}

void PictureWidget::Present(const Picture& picture) {
    if (picture.Empty() || (picture.channels != 3 && picture.channels != 4))
        return;
    std::unique_lock<std::mutex> hold(m_mutex);
    if (m_shared != nullptr) {
        // Not written through: that would first copy the shared pixels.
        m_image = QImage();
        m_shared.reset();
    }
    // Kept in the window system's own pixel format, so that painting is a plain copy rather
    // than a conversion of the whole picture on every repaint.
    CopyToImage(picture, m_image);
    Shown(hold);
}

void PictureWidget::PresentShared(const std::shared_ptr<const Picture>& picture) {
    if (picture == nullptr || picture->channels != 4 || picture->Empty()) {
        if (picture != nullptr)
            Present(*picture);
        return;
    }
    // The words are already 0xffRRGGBB in memory order: the image reads them where they are.
    // The read-only constructor keeps QImage from ever writing into them.
    const uint8_t* pixels = picture->pixels.data();
    QImage image(pixels, picture->width, picture->height, picture->stride, QImage::Format_RGB32);
    std::unique_lock<std::mutex> hold(m_mutex);
    m_image = std::move(image);
    m_shared = picture;
    Shown(hold);
}

void PictureWidget::Shown(std::unique_lock<std::mutex>& hold) {
    const bool ask = !m_repaintAsked;
    m_repaintAsked = true;
    ++m_presented;
    if (m_observer)
        m_observer(m_image);
    hold.unlock();
    if (ask)
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

QImage PictureWidget::CurrentImage() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_image.copy();
}

void PictureWidget::CopyToImage(const Picture& picture, QImage& image) {
    if (image.width() != picture.width || image.height() != picture.height ||
        image.format() != QImage::Format_RGB32)
        image = QImage(picture.width, picture.height, QImage::Format_RGB32);
    if (picture.channels == 4) {
        // Already 0xffRRGGBB words in memory order.
        const auto rowBytes = static_cast<size_t>(picture.width) * 4;
        for (int32_t y = 0; y < picture.height; ++y)
            std::memcpy(image.scanLine(y), picture.Row(y), rowBytes);
        return;
    }
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* from = picture.Row(y);
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int32_t x = 0; x < picture.width; ++x, from += 3)
            to[x] = qRgb(from[2], from[1], from[0]);
    }
}

int64_t PictureWidget::PresentedCount() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_presented;
}

void PictureWidget::SetObserver(Observer observer) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_observer = std::move(observer);
}

void PictureWidget::Clear() {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_image = QImage();
        m_shared.reset();
    }
    update();
}

void PictureWidget::SyncSize() {
    const AreaSize size = isHidden() ? AreaSize{} : AreaSize{width(), height()};
    std::lock_guard<std::mutex> hold(m_mutex);
    m_size = size;
}

void PictureWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard<std::mutex> hold(m_mutex);
    m_repaintAsked = false;
    if (m_image.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (m_image.size() == size())
        painter.drawImage(0, 0, m_image);
    else
        painter.drawImage(rect(), m_image);
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
    const AreaSize size =
        isHidden() ? AreaSize{} : AreaSize{event->size().width(), event->size().height()};
    std::lock_guard<std::mutex> hold(m_mutex);
    m_size = size;
}
