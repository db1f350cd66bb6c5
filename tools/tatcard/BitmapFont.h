#pragma once

#include "YuvPicture.h"

#include <cstdint>
#include <string_view>

// A small 5 x 7 pixel font for captions burnt into pictures: A-Z (lower case is drawn as upper
// case), 0-9, space and _ : . / - ; any other character is drawn as '?'.
//
// A glyph is 7 rows of 5 bits, the leftmost pixel in bit 4. Glyphs are drawn scaled by a whole
// factor, one blank column between characters.
namespace bitmapfont {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kAdvance = kGlyphWidth + 1;

// The 7 rows of the glyph for c.
const uint8_t* Glyph(char c);

// Width and height in pixels of text drawn at scale (no trailing blank column).
int TextWidth(std::string_view text, int scale);
inline int TextHeight(int scale) {
    return kGlyphHeight * scale;
}

// Sets the pixels of the text's strokes to value, top left corner at (x, y); what falls
// outside the plane is clipped.
void DrawText(const PlaneView& plane, int x, int y, std::string_view text, int scale,
              uint8_t value);

// Sets a rectangle to value, clipped to the plane.
void FillRect(const PlaneView& plane, int x, int y, int width, int height, uint8_t value);

} // namespace bitmapfont
