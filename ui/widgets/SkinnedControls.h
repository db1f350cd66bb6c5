#pragma once
#include "ui/logic/MainSkin.h"

#include <QColor>
#include <QString>

#include <cstdint>

class CBitmapButtonTrans;
class CBitmapSlider;
class QLabel;
class QPushButton;
class QWidget;

// The main window's controls made from its skin: each is a child of parent, sized to its
// bitmaps, and takes no keyboard focus (the window's key table decides about every key).
// Threads: GUI thread.

// A bitmap button with the skin's normal, pressed, focused and disabled pictures in the
// user's language.
CBitmapButtonTrans* MakeSkinButton(const ButtonSkin& skin, uint16_t languageId, QWidget* parent);

// A bitmap slider with the control id, channel and active-channel bitmaps, the skin's thumb,
// and the range.
CBitmapSlider* MakeSkinSlider(int id, int channel, int active, int minimum, int maximum,
                              QWidget* parent);

// A status text in the window's 11-pixel font.
QLabel* MakeStatusText(const QString& text, Qt::Alignment alignment, const QColor& color,
                       QWidget* parent);

// A text button drawn like the skin's list filters (a dark plate with a light caption, lit in
// the accent colour while pressed or checked), for a control the skin has no bitmaps for.
QPushButton* MakePlateButton(const QString& text, QWidget* parent);
// The same, checkable; unchecked at first.
QPushButton* MakeToggleButton(const QString& text, QWidget* parent);
