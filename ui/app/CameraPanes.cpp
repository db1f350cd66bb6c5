#include "CameraPanes.h"

#include "AppProfile.h"
#include "PlaybackController.h"
#include "ui/widgets/PictureWidget.h"

#include <QMouseEvent>

#include <algorithm>

CameraPanes::CameraPanes(PlaybackController& controller, AppProfile& profile, QWidget* window)
    : QObject(window), m_controller(controller), m_profile(profile) {
    for (PictureWidget*& picture : m_pictures) {
        picture = new PictureWidget(window);
        picture->installEventFilter(this);
    }
}

PictureWidget* CameraPanes::Picture(int channel) const {
    if (channel < 0 || channel >= cameragrid::kMaxCameras)
        return nullptr;
    return m_pictures[static_cast<size_t>(channel)];
}

std::vector<VPictureArea*> CameraPanes::Areas() const {
    return {m_pictures.begin(), m_pictures.end()};
}

std::vector<const PictureWidget*> CameraPanes::Pictures() const {
    return {m_pictures.begin(), m_pictures.end()};
}

void CameraPanes::RecordingOpened(int cameras, const std::vector<std::string>& listedWords) {
    m_cameras = std::clamp(cameras, 0, cameragrid::kMaxCameras);
    m_words = cameragrid::CameraWords(listedWords, m_cameras);
    m_main = 0;
    if (Grid())
        m_main =
            std::max(cameragrid::ChannelOfWord(m_words, m_profile.MainCamera().toStdString()), 0);
    m_controller.SetMainCamera(m_main);
    for (PictureWidget* picture : m_pictures)
        picture->Clear();
}

void CameraPanes::Stopped() {
    m_cameras = 0;
    m_main = 0;
    m_words.clear();
    for (PictureWidget* picture : m_pictures)
        picture->Clear();
    HideFurther();
}

bool CameraPanes::SetMain(int channel) {
    if (!Grid() || channel < 0 || channel >= m_cameras)
        return false;
    if (channel != m_main) {
        m_main = channel;
        m_profile.SetMainCamera(QString::fromStdString(m_words[static_cast<size_t>(channel)]));
        m_controller.SetMainCamera(channel);
        emit mainChanged();
    }
    return true;
}

PanePlace CameraPanes::Place(LayoutMode layout, PaneMode map, const Rect& fullScreenPicture) {
    if (!Grid()) {
        HideFurther();
        return {};
    }
    const cameragrid::Places places =
        cameragrid::Layout(layout, m_cameras, m_main, map, fullScreenPicture);
    for (int c = 0; c < cameragrid::kMaxCameras; ++c) {
        PictureWidget* picture = m_pictures[static_cast<size_t>(c)];
        const PanePlace place = c < m_cameras ? places.cameras[static_cast<size_t>(c)]
                                              : PanePlace{Rect{kSmallSlot.x, kSmallSlot.y, 0, 0}};
        picture->setGeometry(place.rect.x, place.rect.y, place.rect.w, place.rect.h);
        picture->setVisible(place.visible);
        picture->SyncSize();
    }
    return places.map;
}

void CameraPanes::HideFurther() {
    for (int c = 2; c < cameragrid::kMaxCameras; ++c) {
        PictureWidget* picture = m_pictures[static_cast<size_t>(c)];
        picture->setGeometry(kSmallSlot.x, kSmallSlot.y, 0, 0);
        picture->hide();
        picture->SyncSize();
    }
}

bool CameraPanes::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && Grid() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const auto found = std::find(m_pictures.begin(), m_pictures.end(), watched);
        if (found != m_pictures.end()) {
            SetMain(static_cast<int>(found - m_pictures.begin()));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
