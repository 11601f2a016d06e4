// The picture a preview window shows: every video output's latest frame,
// side by side in the order they first came, each with the name of the
// instance that sent it above it, on a dark grey ground.
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/gl/rgba_image.h"

namespace vhost {

struct CPreviewPicture {
  std::string mName;  // the instance's name
  RgbaImage mFrame;   // opaque
};

// Where a picture landed on the canvas (its frame, not its label).
struct CPreviewPlacement {
  std::string mName;
  int32_t mX = 0, mY = 0, mWidth = 0, mHeight = 0;
};

struct CPreviewCanvas {
  RgbaImage mImage;
  std::vector<CPreviewPlacement> mPlacements;  // in picture order
};

// An empty list gives a small blank canvas (the window exists before the
// first frame).
CPreviewCanvas ComposePreview(const std::vector<CPreviewPicture>& pictures);

}  // namespace vhost
