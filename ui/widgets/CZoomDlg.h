#pragma once
#include <QDialog>
#include <QImage>

// The zoom window: a small tool window titled "Zoom" that shows, 1:1, the part of a camera
// picture around the mouse pointer that the main window hands it (the decoder's 320 × 240
// cut-out). Escape or the close box hide it. Threads: GUI thread.
class CZoomDlg : public QDialog {
    Q_OBJECT
public:
    explicit CZoomDlg(QWidget* parent = nullptr);
    // Shows the picture from the window's top-left corner; the rest stays dark.
    void ShowPicture(const QImage& picture);
    const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};
