#include "host/gl/png_reader.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace vhost {

namespace {

// 8192 x 8192 at most in all: the unpacked rows stay within 256 MB.
constexpr uint64_t kPngMaxPixels = uint64_t{8192} * 8192;
constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool Fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

uint32_t GetU32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Undoes the row filters in place: `rows` holds height rows of a filter byte
// and rowBytes bytes each; the pixels go to `out` without the filter bytes.
bool Unfilter(const std::vector<uint8_t>& rows, size_t rowBytes, size_t height, size_t pixelBytes,
              std::vector<uint8_t>& out, std::string* error) {
  out.assign(rowBytes * height, 0);
  for (size_t y = 0; y < height; ++y) {
    const uint8_t filter = rows[y * (rowBytes + 1)];
    const uint8_t* in = &rows[y * (rowBytes + 1) + 1];
    uint8_t* row = &out[y * rowBytes];
    const uint8_t* above = y > 0 ? &out[(y - 1) * rowBytes] : nullptr;
    for (size_t i = 0; i < rowBytes; ++i) {
      const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
      const int up = above != nullptr ? above[i] : 0;
      const int upLeft = above != nullptr && i >= pixelBytes ? above[i - pixelBytes] : 0;
      int predicted = 0;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = left; break;
        case 2: predicted = up; break;
        case 3: predicted = (left + up) / 2; break;
        case 4: predicted = Paeth(left, up, upLeft); break;
        default: return Fail(error, "unknown row filter " + std::to_string(filter));
      }
      row[i] = static_cast<uint8_t>(in[i] + predicted);
    }
  }
  return true;
}

}  // namespace

bool DecodeRgbaPng(const std::vector<uint8_t>& file, RgbaImage& image, std::string* error) {
  if (file.size() < sizeof(kSignature) || std::memcmp(file.data(), kSignature, sizeof(kSignature)) != 0) {
    return Fail(error, "not a PNG file");
  }
  uint32_t width = 0;
  uint32_t height = 0;
  size_t pixelBytes = 0;
  bool ended = false;
  std::vector<uint8_t> packed;
  size_t at = sizeof(kSignature);
  while (!ended) {
    if (file.size() - at < 12) return Fail(error, "the file ends inside a chunk");
    const uint32_t length = GetU32(&file[at]);
    if (length > file.size() - at - 12) return Fail(error, "a chunk runs past the end of the file");
    const uint8_t* type = &file[at + 4];
    const uint8_t* data = type + 4;
    const uLong crc = crc32(0L, type, static_cast<uInt>(length + 4));
    if (GetU32(data + length) != static_cast<uint32_t>(crc)) return Fail(error, "a chunk's CRC is wrong");
    const bool first = at == sizeof(kSignature);
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (!first || length != 13) return Fail(error, "a malformed IHDR chunk");
      width = GetU32(data);
      height = GetU32(data + 4);
      const uint8_t depth = data[8];
      const uint8_t colour = data[9];
      if (width == 0 || height == 0 || width > kPngMaxSide || height > kPngMaxSide ||
          uint64_t{width} * height > kPngMaxPixels) {
        return Fail(error, "an image size of " + std::to_string(width) + " x " +
                               std::to_string(height) + " is not accepted");
      }
      if (depth != 8 || (colour != 6 && colour != 2) || data[10] != 0 || data[11] != 0 || data[12] != 0) {
        return Fail(error, "only 8-bit RGB or RGBA images without interlacing are read");
      }
      pixelBytes = colour == 6 ? 4 : 3;
    } else if (first) {
      return Fail(error, "the first chunk is not IHDR");
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      packed.insert(packed.end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      ended = true;
    } else if ((type[0] & 0x20) == 0) {
      return Fail(error, "a critical chunk this reader does not know");
    }
    at += 12 + static_cast<size_t>(length);
  }
  if (packed.empty()) return Fail(error, "no image data");

  const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
  std::vector<uint8_t> rows(static_cast<size_t>(height) * (rowBytes + 1));
  uLongf unpackedSize = static_cast<uLongf>(rows.size());
  if (uncompress(rows.data(), &unpackedSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
      unpackedSize != rows.size()) {
    return Fail(error, "the image data does not unpack to the image size");
  }
  std::vector<uint8_t> pixels;
  if (!Unfilter(rows, rowBytes, height, pixelBytes, pixels, error)) return false;

  image.mWidth = static_cast<int32_t>(width);
  image.mHeight = static_cast<int32_t>(height);
  if (pixelBytes == 4) {
    image.mPixels = std::move(pixels);
    return true;
  }
  image.mPixels.resize(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0, o = 0; i < pixels.size(); i += 3, o += 4) {
    image.mPixels[o] = pixels[i];
    image.mPixels[o + 1] = pixels[i + 1];
    image.mPixels[o + 2] = pixels[i + 2];
    image.mPixels[o + 3] = 255;
  }
  return true;
}

bool ReadRgbaPng(const std::string& path, RgbaImage& image, std::string* error) {
  std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (in == nullptr) return Fail(error, "cannot open " + path);
  std::vector<uint8_t> file;
  uint8_t block[65536];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof(block), in.get())) > 0) file.insert(file.end(), block, block + got);
  if (std::ferror(in.get()) != 0) return Fail(error, "cannot read " + path);
  std::string reason;
  if (!DecodeRgbaPng(file, image, &reason)) return Fail(error, path + ": " + reason);
  return true;
}

}  // namespace vhost
