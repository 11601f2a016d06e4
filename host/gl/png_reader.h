// Reading a PNG file into an RgbaImage: 8-bit RGB or RGBA, not interlaced
// (what the host writes and what reference frames are stored as). Every
// chunk's length and CRC, the image size and the compressed data are checked
// before a pixel is used, so a damaged or hostile file is refused, never
// read past its end.
//
// Thread-safety: reentrant; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/gl/rgba_image.h"

namespace vhost {

// The largest width or height accepted (and 8192 x 8192 pixels in all):
// larger files are refused.
inline constexpr int32_t kPngMaxSide = 16384;

// Decodes a whole PNG file held in memory. False with the reason in `error`
// (may be null) for anything but a complete 8-bit RGB or RGBA image; an RGB
// image is read as opaque.
bool DecodeRgbaPng(const std::vector<uint8_t>& file, RgbaImage& image, std::string* error);

// Reads `path` and decodes it as above.
bool ReadRgbaPng(const std::string& path, RgbaImage& image, std::string* error);

}  // namespace vhost
