#include "tools/demo/picture_strip.h"

#include <fmt/core.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>

#include "host/gl/png_writer.h"
#include "host/gl/pixel_font.h"

using vhost::DrawText;
using vhost::TextWidth;

namespace {

constexpr int32_t kGap = 8;
constexpr int32_t kLabelScale = 2;
constexpr int32_t kLabelHeight = 7 * kLabelScale + 8;

void Fill(vhost::RgbaImage& image, uint8_t grey) {
  for (size_t i = 0; i < image.mPixels.size(); i += 4) {
    image.mPixels[i] = image.mPixels[i + 1] = image.mPixels[i + 2] = grey;
    image.mPixels[i + 3] = 255;
  }
}

// Copies `from` into `to` at (x, y), opaque.
void Blit(vhost::RgbaImage& to, const vhost::RgbaImage& from, int32_t x, int32_t y) {
  for (int32_t row = 0; row < from.mHeight && y + row < to.mHeight; ++row) {
    for (int32_t column = 0; column < from.mWidth && x + column < to.mWidth; ++column) {
      const size_t s = (static_cast<size_t>(row) * static_cast<size_t>(from.mWidth) + static_cast<size_t>(column)) * 4;
      const size_t d = (static_cast<size_t>(y + row) * static_cast<size_t>(to.mWidth) + static_cast<size_t>(x + column)) * 4;
      to.mPixels[d] = from.mPixels[s];
      to.mPixels[d + 1] = from.mPixels[s + 1];
      to.mPixels[d + 2] = from.mPixels[s + 2];
      to.mPixels[d + 3] = 255;
    }
  }
}

// Indices of `count` frames spread evenly over `frames`.
std::vector<size_t> Spread(size_t frames, size_t count) {
  std::vector<size_t> picks;
  if (frames == 0) return picks;
  count = std::min(count, frames);
  for (size_t i = 0; i < count; ++i) picks.push_back(count == 1 ? 0 : i * (frames - 1) / (count - 1));
  return picks;
}

// 6 x 7 x 6 colour cube: 252 colours, enough for flat-shaded figures.
int PaletteIndex(const uint8_t* p) {
  const int r = (p[0] * 5 + 127) / 255;
  const int g = (p[1] * 6 + 127) / 255;
  const int b = (p[2] * 5 + 127) / 255;
  return (r * 7 + g) * 6 + b;
}

}  // namespace

vhost::RgbaImage ReduceImage(const vhost::RgbaImage& image, int32_t factor) {
  vhost::RgbaImage reduced;
  if (factor < 1) factor = 1;
  reduced.mWidth = image.mWidth / factor;
  reduced.mHeight = image.mHeight / factor;
  reduced.mPixels.assign(static_cast<size_t>(reduced.mWidth) * static_cast<size_t>(reduced.mHeight) * 4, 0);
  for (int32_t y = 0; y < reduced.mHeight; ++y) {
    for (int32_t x = 0; x < reduced.mWidth; ++x) {
      unsigned sum[4] = {};
      for (int32_t dy = 0; dy < factor; ++dy)
        for (int32_t dx = 0; dx < factor; ++dx)
          for (int c = 0; c < 4; ++c)
            sum[c] += image.mPixels[(static_cast<size_t>(y * factor + dy) * static_cast<size_t>(image.mWidth) +
                                     static_cast<size_t>(x * factor + dx)) * 4 + static_cast<size_t>(c)];
      for (int c = 0; c < 4; ++c)
        reduced.mPixels[(static_cast<size_t>(y) * static_cast<size_t>(reduced.mWidth) + static_cast<size_t>(x)) * 4 +
                        static_cast<size_t>(c)] = static_cast<uint8_t>(sum[c] / static_cast<unsigned>(factor * factor));
    }
  }
  return reduced;
}

bool WriteContactSheet(const std::string& path, const std::vector<SFrameRow>& rows,
                       size_t columns, const std::string& title, std::string* error) {
  int32_t cellWidth = 0;
  int32_t cellHeight = 0;
  for (const SFrameRow& row : rows) {
    for (const SKeptFrame& frame : row.mFrames) {
      cellWidth = std::max(cellWidth, frame.mImage.mWidth);
      cellHeight = std::max(cellHeight, frame.mImage.mHeight);
    }
  }
  if (cellWidth == 0 || cellHeight == 0) {
    if (error != nullptr) *error = "no frames were kept";
    return false;
  }
  const auto columnCount = static_cast<int32_t>(columns);
  vhost::RgbaImage sheet;
  sheet.mWidth = kGap + columnCount * (cellWidth + kGap);
  sheet.mHeight = kLabelHeight + kGap + static_cast<int32_t>(rows.size()) * (kLabelHeight + cellHeight + kGap);
  sheet.mPixels.resize(static_cast<size_t>(sheet.mWidth) * static_cast<size_t>(sheet.mHeight) * 4);
  Fill(sheet, 40);
  DrawText(sheet, kGap, kGap, title, kLabelScale, 255, 255, 255);
  int32_t y = kLabelHeight + kGap;
  for (const SFrameRow& row : rows) {
    int32_t x = kGap;
    for (size_t pick : Spread(row.mFrames.size(), columns)) {
      const SKeptFrame& frame = row.mFrames[pick];
      DrawText(sheet, x, y + 4, fmt::format("{}  T={:.1f}S", row.mLabel, frame.mSeconds), kLabelScale,
               255, 220, 120);
      Blit(sheet, frame.mImage, x, y + kLabelHeight);
      x += cellWidth + kGap;
    }
    y += kLabelHeight + cellHeight + kGap;
  }
  return vhost::WriteRgbaPng(path, sheet, error);
}

bool WriteAnimationGif(const std::string& path, const std::vector<SFrameRow>& rows,
                       double framesPerSecond, std::string* error) {
  int32_t cellWidth = 0;
  int32_t cellHeight = 0;
  size_t frames = 0;
  for (const SFrameRow& row : rows) {
    frames = std::max(frames, row.mFrames.size());
    for (const SKeptFrame& frame : row.mFrames) {
      cellWidth = std::max(cellWidth, frame.mImage.mWidth);
      cellHeight = std::max(cellHeight, frame.mImage.mHeight);
    }
  }
  if (frames == 0 || cellWidth == 0) {
    if (error != nullptr) *error = "no frames were kept";
    return false;
  }
  vhost::RgbaImage canvas;
  canvas.mWidth = static_cast<int32_t>(rows.size()) * (cellWidth + kGap) + kGap;
  canvas.mHeight = kLabelHeight + cellHeight + kGap;
  canvas.mPixels.resize(static_cast<size_t>(canvas.mWidth) * static_cast<size_t>(canvas.mHeight) * 4);

  int gifError = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &gifError);
  if (gif == nullptr) {
    if (error != nullptr) *error = std::string("cannot create ") + path + ": " + GifErrorString(gifError);
    return false;
  }
  GifColorType colours[256] = {};
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b) {
        GifColorType& c = colours[(r * 7 + g) * 6 + b];
        c.Red = static_cast<GifByteType>(r * 255 / 5);
        c.Green = static_cast<GifByteType>(g * 255 / 6);
        c.Blue = static_cast<GifByteType>(b * 255 / 5);
      }
  // Delays and looping are GIF89a extensions.
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = GifMakeMapObject(256, colours);
  bool good = map != nullptr && EGifPutScreenDesc(gif, canvas.mWidth, canvas.mHeight, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  // Loop for ever (the application extension browsers know).
  const GifByteType loopName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  const GifByteType loopForever[] = {1, 0, 0};
  good = good && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof(loopName), loopName) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof(loopForever), loopForever) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
  const int delay = std::max(2, static_cast<int>(std::lround(100.0 / framesPerSecond)));  // hundredths
  std::vector<GifPixelType> line(static_cast<size_t>(canvas.mWidth));
  for (size_t f = 0; good && f < frames; ++f) {
    Fill(canvas, 40);
    for (size_t r = 0; r < rows.size(); ++r) {
      const int32_t x = kGap + static_cast<int32_t>(r) * (cellWidth + kGap);
      DrawText(canvas, x, 4, rows[r].mLabel, kLabelScale, 255, 220, 120);
      if (rows[r].mFrames.empty()) continue;
      Blit(canvas, rows[r].mFrames[std::min(f, rows[r].mFrames.size() - 1)].mImage, x, kLabelHeight);
    }
    GraphicsControlBlock control{};
    control.DelayTime = delay;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    good = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
           EGifPutImageDesc(gif, 0, 0, canvas.mWidth, canvas.mHeight, false, nullptr) == GIF_OK;
    for (int32_t y = 0; good && y < canvas.mHeight; ++y) {
      for (int32_t x = 0; x < canvas.mWidth; ++x)
        line[static_cast<size_t>(x)] = static_cast<GifPixelType>(PaletteIndex(
            &canvas.mPixels[(static_cast<size_t>(y) * static_cast<size_t>(canvas.mWidth) + static_cast<size_t>(x)) * 4]));
      good = EGifPutLine(gif, line.data(), canvas.mWidth) == GIF_OK;
    }
  }
  if (!good && error != nullptr) *error = std::string("cannot write ") + path + ": " + GifErrorString(gif->Error);
  if (EGifCloseFile(gif, &gifError) != GIF_OK && good) {
    good = false;
    if (error != nullptr) *error = std::string("cannot write ") + path + ": " + GifErrorString(gifError);
  }
  return good;
}
