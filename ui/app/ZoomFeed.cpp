#include "ZoomFeed.h"

#include "PlaybackController.h"
#include "ui/widgets/CZoomDlg.h"
#include "ui/widgets/PictureWidget.h"

#include <QCursor>

#include <utility>

ZoomFeed::ZoomFeed(PlaybackController& controller, std::vector<const PictureWidget*> pictures,
                   QWidget* window)
    : m_controller(controller), m_pictures(std::move(pictures)), m_zoom(new CZoomDlg(window)) {
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
    for (size_t c = 0; c < m_pictures.size(); ++c) {
        const PictureWidget* picture = m_pictures[c];
        if (picture != nullptr && picture->isVisible() &&
            picture->rect().contains(picture->mapFromGlobal(pointer)))
            m_source = static_cast<int>(c);
    }
    if (m_source < 0 || static_cast<size_t>(m_source) >= m_pictures.size() ||
        m_pictures[static_cast<size_t>(m_source)] == nullptr)
        return;
    const PictureWidget* source = m_pictures[static_cast<size_t>(m_source)];
    const QPoint at = source->mapFromGlobal(pointer);
    Picture cut;
    if (!m_controller.CutOut(m_source, at.x(), at.y(), 320, 240, cut) || cut.Empty())
        return;
    QImage image;
    PictureWidget::CopyToImage(cut, image);
    m_zoom->ShowPicture(image);
}
