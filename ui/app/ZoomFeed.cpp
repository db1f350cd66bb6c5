#include "ZoomFeed.h"

#include "PlaybackController.h"
#include "ui/widgets/CZoomDlg.h"
#include "ui/widgets/PictureWidget.h"

#include <QCursor>

ZoomFeed::ZoomFeed(PlaybackController& controller, const PictureWidget* front,
                   const PictureWidget* rear, QWidget* window)
    : m_controller(controller), m_front(front), m_rear(rear), m_zoom(new CZoomDlg(window)) {
    m_zoom->hide();
    m_timer.setInterval(10);
    // Asking where the pointer is takes a round trip to the display server, and a timer this
    // fast wakes the whole program: it runs only while the zoom window shows.
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_zoom->isVisible())
            Feed(QCursor::pos());
        else
            m_timer.stop();
    });
}

void ZoomFeed::Show() {
    m_zoom->setGeometry(850, 465, 320, 250);
    m_zoom->showNormal();
    if (!m_stopped)
        m_timer.start();
}

void ZoomFeed::Stop() {
    m_stopped = true;
    m_timer.stop();
}

void ZoomFeed::Feed(const QPoint& pointer) {
    if (!m_zoom->isVisible())
        return;
    if (m_front->isVisible() && m_front->rect().contains(m_front->mapFromGlobal(pointer)))
        m_source = 0;
    if (m_rear->isVisible() && m_rear->rect().contains(m_rear->mapFromGlobal(pointer)))
        m_source = 1;
    const PictureWidget* source = m_source == 0 ? m_front : m_rear;
    const QPoint at = source->mapFromGlobal(pointer);
    Picture cut;
    if (!m_controller.CutOut(m_source, at.x(), at.y(), 320, 240, cut) || cut.Empty())
        return;
    QImage image;
    PictureWidget::CopyToImage(cut, image);
    m_zoom->ShowPicture(image);
}
