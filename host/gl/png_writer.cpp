#include "host/gl/png_writer.h"

#include <png.h>

namespace vhost {

bool WriteRgbaPng(const std::string& path, const RgbaImage& image, std::string* error) {
  const size_t expected = static_cast<size_t>(image.mWidth) * static_cast<size_t>(image.mHeight) * 4;
  if (image.mWidth <= 0 || image.mHeight <= 0 || image.mPixels.size() != expected) {
    if (error != nullptr) *error = "no image to write to " + path;
    return false;
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.mWidth);
  png.height = static_cast<png_uint_32>(image.mHeight);
  png.format = PNG_FORMAT_RGBA;
  const png_int_32 rowStride = image.mWidth * 4;
  if (png_image_write_to_file(&png, path.c_str(), 0, image.mPixels.data(), rowStride, nullptr) == 0) {
    if (error != nullptr) *error = "cannot write " + path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace vhost
