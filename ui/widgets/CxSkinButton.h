#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>

// A push-like toggle drawn from a normal and a down bitmap, optionally framed by a
// three-dimensional edge.
//
// Made checkable (setCheckable(true)) it behaves as an automatic check box: a left-button
// release over the button, or the space bar, flips the check state before clicked() is
// emitted, so a handler of clicked() reads the new state. Pressing, dragging off and
// releasing outside changes nothing; while the button is held the down bitmap shows only when
// the pointer is over it. A double click counts as a second press, so two fast clicks toggle
// twice. Not checkable, it is a plain push button and never checked.
//
// Painting: the down bitmap (sunken edge, caption one pixel right and down) while pressed or
// checked, else the normal bitmap (raised edge); a missing bitmap is replaced by the button
// face colour. Bitmaps are drawn unscaled at the top-left corner; the whole rectangle is
// painted. The caption, if any, is centred on one line, 2 pixels in from either side.
//
// GUI thread only. The button keeps its own copies of the bitmaps.
class CxSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CxSkinButton(QWidget* parent = nullptr);

    // Replaces both bitmaps (a null image means "none"); border != 0 draws the edge. Repaints.
    void SetSkin(const QImage& normal, const QImage& down, int border);

    // Caption colour; the palette's button-text colour until set.
    void SetTextColor(const QColor& color);
    QColor TextColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage normal_;
    QImage down_;
    int border_ = 0;
    QColor textColor_; // invalid: use the palette
};
