#include "SkinnedControls.h"

#include "CBitmapButtonTrans.h"
#include "CBitmapSlider.h"
#include "resources/SkinBitmaps.h"

#include <QLabel>

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
