#pragma once

#include "ui/logic/SliderGeometry.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

// A horizontal slider drawn entirely from bitmaps: a channel (the track) and a thumb, each
// with an optional active bitmap and an optional transparent key colour.
//
// With an active channel the channel is drawn in two parts split at the thumb centre: the
// active bitmap left of it, the normal bitmap from it to the right end. The active thumb is
// shown while the thumb is dragged. The positions and pixels follow SliderGeometry; the
// drawing size is the channel bitmap's size (the slider resizes itself to it), or the
// slider's own size while there is no channel.
//
// Marks (SetMarkers) are ticks kMarkerWidth pixels wide, centred on the pixel of their
// position, from kMarkerInset pixels below the top to as far above the bottom, drawn over the
// channel and under the thumb, each in its kind's colour (MarkerColor); where ticks meet,
// events are drawn over manual, manual over parking and parking over G-force peaks.
//
// Mouse: a left press takes the focus and starts a drag; a press on the thumb keeps it where
// it is, a press elsewhere brings the thumb centre under the pointer. Dragging moves the thumb
// within the channel (clamped at both ends). A press off the thumb within kMarkerSlack pixels
// of a mark's tick starts no drag: releasing it there moves the thumb to the mark and emits
// markerClicked (released elsewhere, nothing happens). Keys: Left/Up -1, Right/Down +1, Page
// Up/Page Down -/+ page size, Home/End the range ends; Tab still moves the focus.
//
// Notifications (the control id comes first, the position second):
//  - sliderMoving: during a drag, each time the thumb centre would move to a new pixel;
//  - sliderMoved: when the left button is released after a press on the slider (also when
//    nothing changed), and after every handled key (also at the ends of the range);
//  - markerClicked: a mark was clicked (neither sliderMoving nor sliderMoved comes with it).
// The signals are emitted synchronously at the end of the event's handling; connect with
// Qt::QueuedConnection to handle them later.
//
// Each paint is drawn into an off-screen pixmap and copied to the widget in one step. While
// the channel is transparent the parent's background shows through its key-colour pixels.
//
// GUI thread only. The slider keeps its own copies of the bitmaps. Units: pixels, positions.
class CBitmapSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMarkerWidth = 3; // pixels
    static constexpr int kMarkerInset = 2; // pixels kept free above and below a tick
    static constexpr int kMarkerSlack = 3; // pixels around a tick's centre that hit it

    explicit CBitmapSlider(QWidget* parent = nullptr);

    // Channel bitmap and optional active channel bitmap (null: none). With transparent set,
    // pixels of keyColor (0x00BBGGRR, or kKeyFromPixel for the colour of the pixel at
    // (keyX, keyY) of each bitmap) are not drawn. Resizes the slider to the channel, keeping
    // its position. A null channel forgets the channel and returns true. Returns false, with
    // nothing changed, when the key point lies outside a bitmap.
    bool SetChannelBitmaps(const QImage& channel, const QImage& active, bool transparent,
                           uint32_t keyColor, int keyX, int keyY);

    // The same for the thumb. Without a channel the drawing size becomes the slider's size.
    bool SetThumbBitmaps(const QImage& thumb, const QImage& active, bool transparent,
                         uint32_t keyColor, int keyX, int keyY);

    // Store the bounds; the position is not moved until the next SetPos.
    void SetRangeMin(int value, bool redraw = false);
    void SetRangeMax(int value, bool redraw = false);
    void SetRange(int min, int max, bool redraw = false);
    int GetRangeMin() const { return geometry_.RangeMin(); }
    int GetRangeMax() const { return geometry_.RangeMax(); }

    // Clamps value to the range and repaints. Emits nothing.
    void SetPos(int value);
    int GetPos() const { return geometry_.Pos(); }

    // Step of Page Up / Page Down (default 20); returns the previous step.
    int SetPageSize(int value);
    int GetPageSize() const { return geometry_.PageSize(); }

    // Replaces the marks (positions in the slider's value units; those outside the range are
    // neither drawn nor hit). Repaints. An empty list removes them.
    void SetMarkers(std::vector<SliderMarker> markers);
    const std::vector<SliderMarker>& Markers() const { return markers_; }
    // The colour a kind's ticks are drawn in: events red, manual yellow, parking blue, G-force
    // peaks orange.
    static QColor MarkerColor(MarkerKind kind);

    // Whether a focus rectangle is drawn while the slider has the focus (default true).
    void SetFocusRectVisible(bool show, bool redraw = false);

    // Id passed with the notifications (default 0).
    void SetControlId(int id) { controlId_ = id; }
    int ControlId() const { return controlId_; }

    // Current slider arithmetic (drawing width, thumb width, range, position).
    const SliderGeometry& Geometry() const { return geometry_; }
    bool IsDragging() const { return dragging_; }

    QSize sizeHint() const override;

signals:
    void sliderMoving(int id, int pos);
    void sliderMoved(int id, int pos);
    // position: the clicked mark's position (the slider's position now).
    void markerClicked(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // One bitmap with its optional active twin, as drawn (key colour already removed).
    struct BitmapPair {
        QImage normal;
        QImage active;
        bool transparent = false;
        bool Loaded() const { return !normal.isNull(); }
    };

    static bool Prepare(const QImage& bitmap, const QImage& active, bool transparent,
                        uint32_t keyColor, int keyX, int keyY, BitmapPair* out);
    void UpdateWidths();
    void DragTo(int pointerX);
    void DrawChannel(QPainter& painter) const;
    void DrawMarkers(QPainter& painter) const;
    void DrawThumb(QPainter& painter) const;

    SliderGeometry geometry_;
    BitmapPair channel_;
    BitmapPair thumb_;
    int controlId_ = 0;
    int dragOffset_ = 0;
    bool dragging_ = false;
    bool showFocusRect_ = true;
    std::vector<SliderMarker> markers_;
    int pressedMarker_ = -1; // the mark a press went to, until its release
};
