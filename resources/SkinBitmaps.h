#pragma once

#include <QImage>

#include <cstdint>

// The skin bitmaps of the main window's controls, by resource id (417 ... 511; 421 is the
// window background). Each is a 24-bit picture at the size its control takes; in the button
// and slider bitmaps pure black (0x000000) marks the see-through parts. A null image for an
// id the skin does not have. Called on the GUI thread (QImage loading); each call returns a
// new image that the caller owns.
//
// Pictures that carry words come in two languages, chosen as every other text is (IsKorean,
// resources/strings/StringTable.h): the list filters 417/418, 437/438, 445/446, 457/458 and
// 463/464, the map-size button 428/429/430 and the background 421 (its G-force legend). The
// other pictures are the same in both languages.
QImage SkinBitmap(int id, uint16_t languageId);

// The picture in English; the same as SkinBitmap (id, languageId) for every picture without
// words.
QImage SkinBitmap(int id);
