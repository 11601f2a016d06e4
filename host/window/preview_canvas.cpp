#include "host/window/preview_canvas.h"

#include <algorithm>
#include <cstring>

#include "host/gl/pixel_font.h"

namespace vhost {
namespace {

constexpr int32_t kGap = 8;
constexpr int32_t kLabelScale = 2;
constexpr int32_t kLabelHeight = 7 * kLabelScale + 8;
constexpr uint8_t kGround = 40;
constexpr int32_t kBlankSide = 64;

}  // namespace

CPreviewCanvas ComposePreview(const std::vector<CPreviewPicture>& pictures) {
  CPreviewCanvas canvas;
  int32_t width = kGap;
  int32_t height = 0;
  for (const CPreviewPicture& picture : pictures) {
    width += std::max(picture.mFrame.mWidth, TextWidth(picture.mName, kLabelScale)) + kGap;
    height = std::max(height, picture.mFrame.mHeight);
  }
  if (pictures.empty()) width = height = kBlankSide;
  RgbaImage& image = canvas.mImage;
  image.mWidth = width;
  image.mHeight = height + kLabelHeight + kGap;
  image.mPixels.assign(static_cast<size_t>(image.mWidth) * static_cast<size_t>(image.mHeight) * 4, kGround);
  for (size_t i = 3; i < image.mPixels.size(); i += 4) image.mPixels[i] = 255;
  int32_t x = kGap;
  for (const CPreviewPicture& picture : pictures) {
    const RgbaImage& frame = picture.mFrame;
    const bool whole = frame.mWidth >= 0 && frame.mHeight >= 0 &&
                       frame.mPixels.size() == static_cast<size_t>(frame.mWidth) * static_cast<size_t>(frame.mHeight) * 4;
    DrawText(image, x, kGap / 2 + 2, picture.mName, kLabelScale, 255, 220, 120);
    const int32_t y = kLabelHeight;
    for (int32_t row = 0; whole && row < frame.mHeight; ++row) {
      const size_t from = static_cast<size_t>(row) * static_cast<size_t>(frame.mWidth) * 4;
      const size_t to = (static_cast<size_t>(y + row) * static_cast<size_t>(image.mWidth) + static_cast<size_t>(x)) * 4;
      std::memcpy(&image.mPixels[to], &frame.mPixels[from], static_cast<size_t>(frame.mWidth) * 4);
    }
    canvas.mPlacements.push_back({picture.mName, x, y, frame.mWidth, frame.mHeight});
    x += std::max(frame.mWidth, TextWidth(picture.mName, kLabelScale)) + kGap;
  }
  return canvas;
}

}  // namespace vhost
