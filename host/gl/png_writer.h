// Writing an RgbaImage as a PNG file (8-bit RGBA, no interlace).
//
// Thread-safety: reentrant; no shared state.
#pragma once

#include <string>

#include "host/gl/rgba_image.h"

namespace vhost {

// Writes `image` to `path`, replacing an existing file. False with the reason
// in `error` (may be null) when the image is empty or the file cannot be
// written.
bool WriteRgbaPng(const std::string& path, const RgbaImage& image, std::string* error);

}  // namespace vhost
