// Grey PNG reading and writing: both depths survive a round trip byte for byte, 16-bit
// samples are big-endian in the file, and damaged or unsuitable files are refused.

#include "tools/immtool/png_io.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tools/immtool/tests/scratch_dir.h"

namespace {

TEST(PngIo, EightBitRoundTrip) {
  ScratchDir dir;
  std::vector<uint8_t> pixels = {0, 1, 2, 127, 128, 255};
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.File("a.png"), 3, 2, 8, pixels.data(), &error)) << error;
  GreyImage image;
  ASSERT_TRUE(ReadGreyPng(dir.File("a.png"), &image, &error)) << error;
  EXPECT_EQ(3u, image.width);
  EXPECT_EQ(2u, image.height);
  EXPECT_EQ(8, image.bitDepth);
  EXPECT_EQ(8, image.significantBits);
  EXPECT_EQ(pixels, image.pixels);
}

TEST(PngIo, SixteenBitRoundTripKeepsLittleEndianInMemory) {
  ScratchDir dir;
  std::vector<uint8_t> pixels = {0x02, 0x01, 0xFF, 0x00, 0x00, 0xFF, 0x34, 0x12};
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.File("a.png"), 2, 2, 16, pixels.data(), &error)) << error;
  GreyImage image;
  ASSERT_TRUE(ReadGreyPng(dir.File("a.png"), &image, &error)) << error;
  EXPECT_EQ(16, image.bitDepth);
  EXPECT_EQ(pixels, image.pixels);
}

TEST(PngIo, SixteenBitSamplesAreBigEndianInTheFile) {
  ScratchDir dir;
  const uint8_t pixel[2] = {0x02, 0x01};  // 258, little-endian
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.File("a.png"), 1, 1, 16, pixel, &error)) << error;
  std::string bytes = dir.Read("a.png");
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
}

TEST(PngIo, NotAPngIsRefused) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Write("a.png", "GIF89a and more bytes"));
  GreyImage image;
  std::string error;
  EXPECT_FALSE(ReadGreyPng(dir.File("a.png"), &image, &error));
  EXPECT_NE(std::string::npos, error.find("not a PNG"));
}

TEST(PngIo, TruncatedPngIsRefusedWithoutCrashing) {
  ScratchDir dir;
  std::vector<uint8_t> pixels(64 * 64, 9);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.File("a.png"), 64, 64, 8, pixels.data(), &error));
  std::string bytes = dir.Read("a.png");
  for (size_t keep : {size_t{8}, size_t{20}, size_t{40}, bytes.size() - 20}) {
    ASSERT_TRUE(dir.Write("cut.png", bytes.substr(0, keep)));
    GreyImage image;
    EXPECT_FALSE(ReadGreyPng(dir.File("cut.png"), &image, &error)) << keep;
    EXPECT_NE(std::string::npos, error.find("cut.png")) << error;
  }
}

TEST(PngIo, ColourAndAlphaPicturesAreRefused) {
  ScratchDir dir;
  const uint8_t pixels[2 * 2 * 4] = {};
  for (png_uint_32 format : {png_uint_32{PNG_FORMAT_RGB}, png_uint_32{PNG_FORMAT_GA}}) {
    png_image picture = {};
    picture.version = PNG_IMAGE_VERSION;
    picture.width = 2;
    picture.height = 2;
    picture.format = format;
    ASSERT_NE(0, png_image_write_to_file(&picture, dir.File("c.png").c_str(), 0, pixels, 0,
                                         nullptr));
    GreyImage image;
    std::string error;
    EXPECT_FALSE(ReadGreyPng(dir.File("c.png"), &image, &error)) << format;
    EXPECT_NE(std::string::npos, error.find("grey")) << error;
  }
}

TEST(PngIo, MissingFileIsRefused) {
  ScratchDir dir;
  GreyImage image;
  std::string error;
  EXPECT_FALSE(ReadGreyPng(dir.File("none.png"), &image, &error));
  EXPECT_NE(std::string::npos, error.find("none.png"));
}

TEST(PngIo, UnsupportedDepthIsNotWritten) {
  ScratchDir dir;
  const uint8_t pixel[4] = {};
  std::string error;
  EXPECT_FALSE(WriteGreyPng(dir.File("a.png"), 1, 1, 24, pixel, &error));
  EXPECT_FALSE(WriteGreyPng(dir.File("b.png"), 0, 1, 8, pixel, &error));
  EXPECT_FALSE(dir.Exists("a.png"));
  EXPECT_FALSE(dir.Exists("b.png"));
}

}  // namespace
