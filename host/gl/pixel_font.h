// A 5x7 pixel font for labels drawn into images: digits, capital letters
// (small ones are drawn as capitals) and . : - = / ( ) and space.
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <string>

#include "host/gl/rgba_image.h"

namespace vhost {

// Width in pixels of `text` at `scale` (each glyph 6 columns including its gap).
int32_t TextWidth(const std::string& text, int32_t scale);
// Draws `text` with its top-left corner at (x, y), clipped to the image.
void DrawText(RgbaImage& image, int32_t x, int32_t y, const std::string& text,
              int32_t scale, uint8_t r, uint8_t g, uint8_t b);

}  // namespace vhost
