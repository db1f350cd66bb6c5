#pragma once
#include <QObject>
#include <QPoint>
#include <QTimer>

#include <vector>

class CZoomDlg;
class PictureWidget;
class PlaybackController;
class QWidget;

// The zoom window and what feeds it: while the window shows, every 10 ms the decoder's
// 320 × 240 cut-out of the picture under the pointer (any camera's; the one pointed at last
// when the pointer is over none).
//
// Threads: GUI thread. The controller and the picture areas must outlive the feed; the zoom
// window is a child of the main window.
class ZoomFeed final : public QObject {
    Q_OBJECT
public:
    // pictures[c] shows channel c (null entries are skipped).
    ZoomFeed(PlaybackController& controller, std::vector<const PictureWidget*> pictures,
             QWidget* window);

    // Shows the zoom window at (850, 465), 320 × 250, and starts the feed.
    void Show();
    // One tick of the feed; pointer in global coordinates. Nothing while the window is hidden.
    void Feed(const QPoint& pointer);
    // Stops the feed for good (the main window is going).
    void Stop();
    CZoomDlg& Window() { return *m_zoom; }

private:
    PlaybackController& m_controller;
    std::vector<const PictureWidget*> m_pictures;
    CZoomDlg* m_zoom; // a child of the main window
    QTimer m_timer;
    int m_source = 0; // the channel the zoom window follows
    bool m_stopped = false;
};
