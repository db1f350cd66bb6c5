#pragma once

#include <QAbstractButton>
#include <QImage>

#include <cstdint>

// A push button drawn from one of four state bitmaps, with one key colour transparent so
// that the parent's background shows through the button's outline.
//
// Bitmap choice on each paint: the selected bitmap while the button is pressed (the pressed
// look follows the pointer: it shows only while the pointer is over the held button), else
// the focused bitmap while it has the focus, else the disabled bitmap while it is disabled,
// else the normal bitmap; a state without a bitmap falls through to the next rule. The bitmap
// is drawn unscaled at the top-left corner. Pixels whose colour equals the key colour exactly
// are not drawn; nothing else of the button's rectangle is painted either, so the parent
// shows there. A release away from the button does not click; clicked() is the command.
//
// GUI thread only. The button keeps its own copies of the bitmaps (QImage is shared on copy).
class CBitmapButtonTrans : public QAbstractButton {
    Q_OBJECT
public:
    // Default key colour, magenta, as 0x00BBGGRR.
    static constexpr uint32_t kDefaultKeyColor = 0xFF00FFu;

    explicit CBitmapButtonTrans(QWidget* parent = nullptr);

    // The four state bitmaps; a null image means "none". The normal bitmap also sets the
    // size hint. Repaints.
    void SetBitmaps(const QImage& normal, const QImage& selected, const QImage& focused,
                    const QImage& disabled);

    // Transparent colour as 0x00BBGGRR (red in the low byte). Repaints.
    void SetKeyColor(uint32_t colorRef);
    uint32_t KeyColor() const { return keyColor_; }

    // Resizes the button to its normal bitmap (no change without one), keeping its position.
    void SizeToContent();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    enum Slot { Normal, Selected, Focused, Disabled, SlotCount };

    // The state bitmap to draw now (may be null when there is no normal bitmap).
    const QImage& CurrentBitmap() const;
    void RebuildKeyed();

    uint32_t keyColor_ = kDefaultKeyColor;
    QImage bitmaps_[SlotCount];
    QImage keyed_[SlotCount]; // bitmaps_ with the key colour made transparent
};
