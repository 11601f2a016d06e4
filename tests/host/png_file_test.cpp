// The host's PNG files: what it writes reads back byte for byte, files from
// other encoders decode as libpng decodes them, and damaged or oversized
// files are refused without reading past their end.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/gl/png_reader.h"
#include "host/gl/png_writer.h"

#if !defined(_WIN32)
#include <png.h>
#endif

namespace {

using vhost::RgbaImage;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c = 0;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  return bytes;
}

RgbaImage NoiseImage(int width, int height) {
  RgbaImage image;
  image.mWidth = width;
  image.mHeight = height;
  image.mPixels.resize(static_cast<size_t>(width) * height * 4);
  uint32_t state = 12345;
  for (uint8_t& byte : image.mPixels) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return image;
}

class PngFile : public ::testing::Test {
 protected:
  void SetUp() override {
    mPath = ::testing::TempDir() + "png_file_test.png";
    std::string error;
    ASSERT_TRUE(vhost::WriteRgbaPng(mPath, mImage, &error)) << error;
    mBytes = ReadFile(mPath);
    ASSERT_FALSE(mBytes.empty());
  }
  void TearDown() override { std::remove(mPath.c_str()); }

  RgbaImage mImage = NoiseImage(37, 23);
  std::string mPath;
  std::vector<uint8_t> mBytes;
};

TEST_F(PngFile, WhatIsWrittenReadsBackByteForByte) {
  RgbaImage read;
  std::string error;
  ASSERT_TRUE(vhost::ReadRgbaPng(mPath, read, &error)) << error;
  EXPECT_EQ(read.mWidth, 37);
  EXPECT_EQ(read.mHeight, 23);
  EXPECT_TRUE(read.mPixels == mImage.mPixels);

  RgbaImage empty;
  EXPECT_FALSE(vhost::WriteRgbaPng(mPath, empty, &error));
  EXPECT_FALSE(vhost::WriteRgbaPng(::testing::TempDir() + "no/such/folder/x.png", mImage, &error));
  EXPECT_FALSE(vhost::ReadRgbaPng(::testing::TempDir() + "no_such_file.png", read, &error));
}

TEST_F(PngFile, EveryTruncationAndEveryFlippedByteIsRefused) {
  RgbaImage read;
  for (size_t length = 0; length < mBytes.size(); ++length) {
    const std::vector<uint8_t> cut(mBytes.begin(), mBytes.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(vhost::DecodeRgbaPng(cut, read, nullptr)) << "cut to " << length;
  }
  for (size_t at = 0; at < mBytes.size(); ++at) {
    std::vector<uint8_t> damaged = mBytes;
    damaged[at] ^= 0x41;
    EXPECT_FALSE(vhost::DecodeRgbaPng(damaged, read, nullptr)) << "byte " << at << " flipped";
  }
}

// A file whose chunks are all well formed, with the given IHDR fields.
std::vector<uint8_t> FileWithHeader(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto put32 = [](std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  };
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    put32(file, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    file.insert(file.end(), body.begin(), body.end());
    put32(file, static_cast<uint32_t>(crc32(0L, body.data(), static_cast<uInt>(body.size()))));
  };
  std::vector<uint8_t> header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {depth, colour, 0, 0, 0});
  chunk("IHDR", header);
  std::vector<uint8_t> rows(1 + 4, 0);  // one pixel's worth, whatever the header says
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  std::vector<uint8_t> packed(size);
  compress(packed.data(), &size, rows.data(), static_cast<uLong>(rows.size()));
  packed.resize(size);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return file;
}

TEST(PngFileHeader, SizesAndFormatsBeyondWhatIsReadAreRefused) {
  RgbaImage read;
  std::string error;
  EXPECT_TRUE(vhost::DecodeRgbaPng(FileWithHeader(1, 1, 8, 6), read, &error)) << error;
  EXPECT_FALSE(vhost::DecodeRgbaPng(FileWithHeader(0x7FFFFFFF, 1, 8, 6), read, &error));
  EXPECT_FALSE(vhost::DecodeRgbaPng(FileWithHeader(8192, 8193, 8, 6), read, &error));
  EXPECT_FALSE(vhost::DecodeRgbaPng(FileWithHeader(2, 2, 8, 6), read, &error)) << "data too short";
  EXPECT_FALSE(vhost::DecodeRgbaPng(FileWithHeader(1, 1, 16, 6), read, &error));
  EXPECT_FALSE(vhost::DecodeRgbaPng(FileWithHeader(1, 1, 8, 3), read, &error)) << "palette";
}

#if !defined(_WIN32)
std::string SourcePath(const std::string& relative) {
  const char* source = std::getenv("VORL_SOURCE_DIR");
  return std::string(source != nullptr ? source : ".") + "/" + relative;
}

// Files that libpng wrote, with its choice of row filters, decode to what
// libpng itself reads from them.
TEST(PngFileFromOtherEncoders, DecodesAsLibpngDoes) {
  for (const char* relative : {"tools/demo/contact-sheet.png", "tools/patches/demo-frame.png",
                               "skeleton_renderer/doc/standing_figure.png"}) {
    const std::string path = SourcePath(relative);
    RgbaImage ours;
    std::string error;
    ASSERT_TRUE(vhost::ReadRgbaPng(path, ours, &error)) << error;

    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&png, path.c_str()), 0) << png.message;
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> theirs(PNG_IMAGE_SIZE(png));
    ASSERT_NE(png_image_finish_read(&png, nullptr, theirs.data(), 0, nullptr), 0) << png.message;
    EXPECT_EQ(ours.mWidth, static_cast<int32_t>(png.width)) << relative;
    EXPECT_EQ(ours.mHeight, static_cast<int32_t>(png.height)) << relative;
    EXPECT_TRUE(ours.mPixels == theirs) << relative;
  }
}
#endif

}  // namespace
