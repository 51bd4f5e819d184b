// Grey PNG reading and writing: both depths survive a round trip byte for byte, the
// files are grey pictures of the given depth with 16-bit samples big-endian, a written
// picture appears whole under its name with no temporary file left, and damaged or
// unsuitable files are refused.

#include "tools/common/grey_png.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

// What a PNG file holds, read back with libpng without any transformation.
struct ReadBack {
  bool ok = false;
  uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = -1;
  std::vector<uint8_t> rows;  // all rows, as stored (16-bit samples big-endian)
};

ReadBack ReadAsStored(const std::string& path) {
  ReadBack result;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return result;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    result.ok = false;
    return result;
  }
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  result.width = png_get_image_width(png, info);
  result.height = png_get_image_height(png, info);
  result.bitDepth = png_get_bit_depth(png, info);
  result.colorType = png_get_color_type(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  png_bytepp rows = png_get_rows(png, info);
  for (uint32_t y = 0; y < result.height; ++y) {
    result.rows.insert(result.rows.end(), rows[y], rows[y] + rowBytes);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  result.ok = true;
  return result;
}

size_t FilesIn(const TempDir& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++n;
  return n;
}

TEST(GreyPng, EightBitRoundTrip) {
  TempDir dir;
  std::vector<uint8_t> pixels = {0, 1, 2, 127, 128, 255};
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("a.png"), 3, 2, 8, pixels.data(), &error)) << error;
  EXPECT_EQ(1u, FilesIn(dir)) << "temporary file left behind";
  GreyImage image;
  ASSERT_TRUE(ReadGreyPng(dir.Join("a.png"), &image, &error)) << error;
  EXPECT_EQ(3u, image.width);
  EXPECT_EQ(2u, image.height);
  EXPECT_EQ(8, image.bitDepth);
  EXPECT_EQ(8, image.significantBits);
  EXPECT_EQ(pixels, image.pixels);
  const ReadBack png = ReadAsStored(dir.Join("a.png"));
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 3u);
  EXPECT_EQ(png.height, 2u);
  EXPECT_EQ(png.bitDepth, 8);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
  EXPECT_EQ(png.rows, pixels);
}

TEST(GreyPng, SixteenBitRoundTripKeepsLittleEndianInMemory) {
  TempDir dir;
  std::vector<uint8_t> pixels = {0x02, 0x01, 0xFF, 0x00, 0x00, 0xFF, 0x34, 0x12};
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("a.png"), 2, 2, 16, pixels.data(), &error)) << error;
  GreyImage image;
  ASSERT_TRUE(ReadGreyPng(dir.Join("a.png"), &image, &error)) << error;
  EXPECT_EQ(16, image.bitDepth);
  EXPECT_EQ(pixels, image.pixels);
}

TEST(GreyPng, SixteenBitSamplesAreBigEndianInTheFile) {
  TempDir dir;
  const uint8_t pixel[2] = {0x02, 0x01};  // 258, little-endian
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("a.png"), 1, 1, 16, pixel, &error)) << error;
  std::string bytes = ReadWholeFile(dir.Join("a.png"));
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(16, static_cast<uint8_t>(bytes[24]));  // IHDR bit depth
  EXPECT_EQ(0, static_cast<uint8_t>(bytes[25]));   // colour type grey
  // The one row, inflated: a filter byte, then the sample. With no neighbours every
  // filter leaves the sample as it is.
  size_t idat = bytes.find("IDAT");
  ASSERT_NE(std::string::npos, idat);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data()) + idat - 4;
  uLong length = (uLong{p[0]} << 24) | (uLong{p[1]} << 16) | (uLong{p[2]} << 8) | p[3];
  uint8_t row[3] = {};
  uLongf rowSize = sizeof row;
  ASSERT_EQ(Z_OK, uncompress(row, &rowSize, p + 8, length));
  ASSERT_EQ(3u, rowSize);
  EXPECT_EQ(0x01, row[1]);
  EXPECT_EQ(0x02, row[2]);

  // Pixel values 0x0102, 0x0304, 0x0ABC, 0xFFFE as little-endian words.
  const std::vector<uint8_t> pixels = {0x02, 0x01, 0x04, 0x03, 0xBC, 0x0A, 0xFE, 0xFF};
  ASSERT_TRUE(WriteGreyPng(dir.Join("b.png"), 2, 2, 16, pixels.data(), &error)) << error;
  const ReadBack png = ReadAsStored(dir.Join("b.png"));
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.bitDepth, 16);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
  const std::vector<uint8_t> bigEndian = {0x01, 0x02, 0x03, 0x04, 0x0A, 0xBC, 0xFF, 0xFE};
  EXPECT_EQ(png.rows, bigEndian);
}

TEST(GreyPng, NotAPngIsRefused) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("a.png"), "GIF89a and more bytes"));
  GreyImage image;
  std::string error;
  EXPECT_FALSE(ReadGreyPng(dir.Join("a.png"), &image, &error));
  EXPECT_NE(std::string::npos, error.find("not a PNG"));
}

TEST(GreyPng, TruncatedPngIsRefusedWithoutCrashing) {
  TempDir dir;
  std::vector<uint8_t> pixels(64 * 64, 9);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("a.png"), 64, 64, 8, pixels.data(), &error));
  std::string bytes = ReadWholeFile(dir.Join("a.png"));
  for (size_t keep : {size_t{8}, size_t{20}, size_t{40}, bytes.size() - 20}) {
    ASSERT_TRUE(WriteWholeFile(dir.Join("cut.png"), bytes.substr(0, keep)));
    GreyImage image;
    EXPECT_FALSE(ReadGreyPng(dir.Join("cut.png"), &image, &error)) << keep;
    EXPECT_NE(std::string::npos, error.find("cut.png")) << error;
  }
}

TEST(GreyPng, ColourAndAlphaPicturesAreRefused) {
  TempDir dir;
  const uint8_t pixels[2 * 2 * 4] = {};
  for (png_uint_32 format : {png_uint_32{PNG_FORMAT_RGB}, png_uint_32{PNG_FORMAT_GA}}) {
    png_image picture = {};
    picture.version = PNG_IMAGE_VERSION;
    picture.width = 2;
    picture.height = 2;
    picture.format = format;
    ASSERT_NE(0, png_image_write_to_file(&picture, dir.Join("c.png").c_str(), 0, pixels, 0,
                                         nullptr));
    GreyImage image;
    std::string error;
    EXPECT_FALSE(ReadGreyPng(dir.Join("c.png"), &image, &error)) << format;
    EXPECT_NE(std::string::npos, error.find("grey")) << error;
  }
}

TEST(GreyPng, MissingFileIsRefused) {
  TempDir dir;
  GreyImage image;
  std::string error;
  EXPECT_FALSE(ReadGreyPng(dir.Join("none.png"), &image, &error));
  EXPECT_NE(std::string::npos, error.find("none.png"));
}

TEST(GreyPng, UnsupportedDepthIsNotWritten) {
  TempDir dir;
  const uint8_t pixel[4] = {};
  std::string error;
  EXPECT_FALSE(WriteGreyPng(dir.Join("a.png"), 1, 1, 24, pixel, &error));
  EXPECT_FALSE(WriteGreyPng(dir.Join("b.png"), 0, 1, 8, pixel, &error));
  EXPECT_FALSE(FileExists(dir.Join("a.png")));
  EXPECT_FALSE(FileExists(dir.Join("b.png")));
  EXPECT_EQ(0u, FilesIn(dir));
}

TEST(GreyPng, MissingDirectoryIsReported) {
  TempDir dir;
  const uint8_t pixel[1] = {};
  std::string error;
  EXPECT_FALSE(WriteGreyPng(dir.Join("no-such-dir/f.png"), 1, 1, 8, pixel, &error));
  EXPECT_NE(error.find("no-such-dir"), std::string::npos) << error;
}

}  // namespace
