#include "SkinnedControls.h"

#include "CBitmapButtonTrans.h"
#include "CBitmapSlider.h"
#include "resources/SkinBitmaps.h"

#include <QLabel>
#include <QPushButton>

namespace {

QImage Optional(int id, uint16_t languageId) {
    return id != 0 ? SkinBitmap(id, languageId) : QImage();
}

} // namespace

CBitmapButtonTrans* MakeSkinButton(const ButtonSkin& skin, uint16_t languageId, QWidget* parent) {
    auto* button = new CBitmapButtonTrans(parent);
    button->SetKeyColor(0x000000);
    button->SetBitmaps(Optional(skin.normal, languageId), Optional(skin.pressed, languageId),
                       Optional(skin.focused, languageId), Optional(skin.disabled, languageId));
    button->SizeToContent();
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

CBitmapSlider* MakeSkinSlider(int id, int channel, int active, int minimum, int maximum,
                              QWidget* parent) {
    auto* slider = new CBitmapSlider(parent);
    slider->SetControlId(id);
    slider->SetChannelBitmaps(SkinBitmap(channel), SkinBitmap(active), true, kSliderKey, 0, 0);
    slider->SetThumbBitmaps(SkinBitmap(420), QImage(), true, kSliderKey, 0, 0);
    slider->SetRange(minimum, maximum);
    return slider;
}

QLabel* MakeStatusText(const QString& text, Qt::Alignment alignment, const QColor& color,
                       QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment | Qt::AlignVCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    return label;
}

QPushButton* MakePlateButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFocusPolicy(Qt::NoFocus);
    // The colours of the filter plates (resources/skin/filter-*.svg, pressed.css).
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2a303a,"
        " stop:1 #1c2028); border: 1px solid #363d49; border-radius: 5px; color: #dfe5ec;"
        " font-weight: bold; font-size: 10px; padding: 0 2px; }"
        "QPushButton:checked { background: #1b5883; border-color: #45a6ea; color: #ffffff; }"
        "QPushButton:pressed { background: #1b5883; }"));
    return button;
}

QPushButton* MakeToggleButton(const QString& text, QWidget* parent) {
    QPushButton* button = MakePlateButton(text, parent);
    button->setCheckable(true);
    return button;
}
