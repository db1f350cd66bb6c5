#pragma once
#include "player/api/VPictureArea.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The picture area of one camera channel: the decoder presents BGR pictures into it from the
// engine's worker thread (sharing rather than copying them where it can); the widget shows the
// newest one, 1:1 from its top-left corner (scaled when a resize has just made the sizes differ).
//
// Threads: Size and Present run on the engine's worker thread, everything else on the GUI
// thread. The size and the newest picture are shared under one lock; Present copies the
// picture (PresentShared keeps the presenter's) and asks for a repaint through the event loop,
// so the worker never waits for painting.
class PictureWidget final : public QWidget, public VPictureArea {
    Q_OBJECT
public:
    explicit PictureWidget(QWidget* parent = nullptr);

    AreaSize Size() const override;
    // 4: pictures come in the window system's pixel format and are shown without converting.
    int32_t PictureChannels() const override;
    void Present(const Picture& picture) override;
    // 4-channel pictures are shown from the presenter's pixels without copying them.
    void PresentShared(const std::shared_ptr<const Picture>& picture) override;

    // The newest picture presented (null before any); for snapshots of what is shown and
    // tests.
    QImage CurrentImage() const;
    // How many pictures have been presented since construction.
    int64_t PresentedCount() const;
    // Called on the presenting (engine worker) thread with each picture, after it has been
    // taken; tests watch for pictures this way. The image may share the presenter's pixels:
    // copy it to keep it past the call. Set while no recording plays.
    using Observer = std::function<void(const QImage& image)>;
    void SetObserver(Observer observer);
    // Forgets the picture shown (a new recording starts black).
    void Clear();
    // Copies a BGR picture (3 or 4 bytes a pixel) into image in the window system's pixel
    // format (RGB32), reusing image's pixels when it already has the picture's size.
    static void CopyToImage(const Picture& picture, QImage& image);
    // Takes the widget's current size as the size pictures are converted to, 0 x 0 while it is
    // hidden (the decoder then only decodes). The window calls it after placing or hiding the
    // widget (a hidden widget gets its resize event only when shown).
    void SyncSize();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Counts a presented picture, tells the observer and asks for a repaint; releases hold.
    void Shown(std::unique_lock<std::mutex>& hold);

    mutable std::mutex m_mutex;
    AreaSize m_size; // under m_mutex
    QImage m_image;  // under m_mutex; may wrap m_shared's pixels
    // Under m_mutex: the presenter's picture m_image shows without a copy (null when m_image
    // owns its pixels). Held while m_image refers to it.
    std::shared_ptr<const Picture> m_shared;
    bool m_repaintAsked = false; // under m_mutex: one queued repaint at a time
    int64_t m_presented = 0;     // under m_mutex
    Observer m_observer;         // under m_mutex
};
