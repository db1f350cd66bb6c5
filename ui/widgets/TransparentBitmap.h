#pragma once

#include <QImage>
#include <QRgb>

#include <cstdint>

// Key-colour transparency for skin bitmaps.
//
// Skin colours are given as 0x00BBGGRR values (red in the low byte), the way the skin tables
// write them. A key of kKeyFromPixel stands for "the colour of the bitmap's pixel at the key
// point".

// Key value meaning: take the key colour from a pixel of the bitmap.
inline constexpr uint32_t kKeyFromPixel = 0xFF000000u;

// 0x00BBGGRR to an opaque QRgb (0xAARRGGBB). The top byte of the input is ignored.
constexpr QRgb RgbFromColorRef(uint32_t colorRef) {
    const uint32_t r = colorRef & 0xFFu;
    const uint32_t g = (colorRef >> 8) & 0xFFu;
    const uint32_t b = (colorRef >> 16) & 0xFFu;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// Opaque QRgb to 0x00BBGGRR.
constexpr uint32_t ColorRefFromRgb(QRgb rgb) {
    return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}

// The key colour (opaque QRgb) that colorRef stands for in bitmap: the colour itself, or for
// kKeyFromPixel the colour of the pixel at (keyX, keyY). False when that point lies outside
// the bitmap.
bool ResolveKeyColor(const QImage& bitmap, uint32_t colorRef, int keyX, int keyY, QRgb* key);

// A copy of bitmap in ARGB32 (premultiplied) in which every pixel whose red, green and blue
// equal those of key exactly is fully transparent; all other pixels keep their colour.
// A null bitmap gives a null image.
QImage MakeKeyTransparent(const QImage& bitmap, QRgb key);
