// RgbaImage: pixels read back from an image buffer, 8-bit RGBA, rows from
// the top of the image down (the order of image files, not of GL).
//
// Thread-safety: a plain value; no sharing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vhost {

struct RgbaPixel {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 0;
  bool operator==(const RgbaPixel&) const = default;
};

struct RgbaImage {
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  std::vector<uint8_t> mPixels;  // mWidth * mHeight * 4 bytes

  // Pixel at column x, row y counted from the top. REQUIRES: inside.
  RgbaPixel At(int32_t x, int32_t y) const {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(mWidth) + static_cast<size_t>(x)) * 4;
    return {mPixels[i], mPixels[i + 1], mPixels[i + 2], mPixels[i + 3]};
  }
};

}  // namespace vhost
