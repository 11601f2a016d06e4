#include "host/gl/png_writer.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace vhost {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

// Length, type, data and the CRC of type and data, as PNG frames a chunk.
void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
  PutU32(out, static_cast<uint32_t>(size));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + size));
  PutU32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WriteRgbaPng(const std::string& path, const RgbaImage& image, std::string* error) {
  const size_t expected = static_cast<size_t>(image.mWidth) * static_cast<size_t>(image.mHeight) * 4;
  if (image.mWidth <= 0 || image.mHeight <= 0 || image.mPixels.size() != expected) {
    if (error != nullptr) *error = "no image to write to " + path;
    return false;
  }
  // Every row is stored unfiltered (filter byte 0): frames are mostly flat
  // colour, which deflate packs well without the row filters.
  const size_t rowBytes = static_cast<size_t>(image.mWidth) * 4;
  std::vector<uint8_t> rows(static_cast<size_t>(image.mHeight) * (rowBytes + 1));
  for (size_t y = 0; y < static_cast<size_t>(image.mHeight); ++y) {
    rows[y * (rowBytes + 1)] = 0;
    std::memcpy(&rows[y * (rowBytes + 1) + 1], &image.mPixels[y * rowBytes], rowBytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    if (error != nullptr) *error = "cannot compress the image for " + path;
    return false;
  }

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutU32(header, static_cast<uint32_t>(image.mWidth));
  PutU32(header, static_cast<uint32_t>(image.mHeight));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  PutChunk(file, "IHDR", header.data(), header.size());
  PutChunk(file, "IDAT", packed.data(), packedSize);
  PutChunk(file, "IEND", nullptr, 0);

  std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (out == nullptr) {
    if (error != nullptr) *error = "cannot write " + path + ": cannot open the file";
    return false;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
  if (std::fclose(out.release()) != 0 || !written) {
    if (error != nullptr) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vhost
