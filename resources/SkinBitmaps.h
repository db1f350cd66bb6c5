#pragma once

#include <QImage>

// The skin bitmaps of the main window's controls, by resource id (417 ... 511; 421 is the
// window background). Each is a 24-bit picture at the size its control takes; in the button
// and slider bitmaps pure black (0x000000) marks the see-through parts. A null image for an
// id the skin does not have.
QImage SkinBitmap(int id);
