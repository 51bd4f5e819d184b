#include "tools/ornactl/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>

#include "tools/ornactl/tests/frame_bytes.h"

namespace ornactl {
namespace {

using testing::FrameBytes;
using testing::HeaderFields;

// What a PNG file holds, read back with libpng without any transformation.
struct ReadBack {
  bool ok = false;
  uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = -1;
  std::vector<uint8_t> rows;  // all rows, as stored (16-bit samples big-endian)
};

ReadBack ReadPng(const std::string& path) {
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

class PngWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("ornactl-png-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string Path(const char* name) const { return (directory_ / name).string(); }
  size_t FilesInDirectory() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory_)) ++n;
    return n;
  }

  std::filesystem::path directory_;
};

TEST_F(PngWriterTest, EightBitGreyKeepsThePixels) {
  HeaderFields f;  // 4 x 3, 1 byte per pixel
  std::vector<uint8_t> pixels(12);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 20);
  const std::vector<uint8_t> bytes = FrameBytes(f, pixels);
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  std::string error;
  ASSERT_TRUE(WriteFramePng(view, Path("a.png"), &error)) << error;
  const ReadBack png = ReadPng(Path("a.png"));
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 4u);
  EXPECT_EQ(png.height, 3u);
  EXPECT_EQ(png.bitDepth, 8);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
  EXPECT_EQ(png.rows, pixels);
  EXPECT_EQ(FilesInDirectory(), 1u) << "temporary file left behind";
}

TEST_F(PngWriterTest, SixteenBitLittleEndianPixelsAreStoredBigEndian) {
  HeaderFields f;
  f.width = 2;
  f.height = 2;
  f.bytesPerPixel = 2;
  f.effectiveBitsPerPixel = 12;
  f.frameLength = 8;
  // Pixel values 0x0102, 0x0304, 0x0ABC, 0xFFFE as little-endian words.
  const std::vector<uint8_t> pixels = {0x02, 0x01, 0x04, 0x03, 0xBC, 0x0A, 0xFE, 0xFF};
  const std::vector<uint8_t> bytes = FrameBytes(f, pixels);
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 8);
  std::string error;
  ASSERT_TRUE(WriteFramePng(view, Path("b.png"), &error)) << error;
  const ReadBack png = ReadPng(Path("b.png"));
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.bitDepth, 16);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
  const std::vector<uint8_t> bigEndian = {0x01, 0x02, 0x03, 0x04, 0x0A, 0xBC, 0xFF, 0xFE};
  EXPECT_EQ(png.rows, bigEndian);
}

TEST_F(PngWriterTest, OtherDepthsAreRefused) {
  HeaderFields f;
  f.width = 2;
  f.height = 2;
  f.bytesPerPixel = 3;
  f.frameLength = 12;
  const std::vector<uint8_t> bytes = FrameBytes(f, std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  std::string error;
  EXPECT_FALSE(WriteFramePng(view, Path("c.png"), &error));
  EXPECT_NE(error.find("3 bytes per pixel"), std::string::npos) << error;
  EXPECT_EQ(FilesInDirectory(), 0u);
}

TEST_F(PngWriterTest, DimensionsNotMatchingThePixelsAreRefused) {
  HeaderFields f;
  f.width = 5;  // 5 x 3 = 15, but 12 pixel bytes
  const std::vector<uint8_t> bytes = FrameBytes(f, std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  std::string error;
  EXPECT_FALSE(WriteFramePng(view, Path("d.png"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(FilesInDirectory(), 0u);
}

TEST_F(PngWriterTest, IncompleteFrameIsRefused) {
  const std::vector<uint8_t> bytes = FrameBytes(HeaderFields(), std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size() - 1, 12);
  std::string error;
  EXPECT_FALSE(WriteFramePng(view, Path("e.png"), &error));
  EXPECT_EQ(FilesInDirectory(), 0u);
}

TEST_F(PngWriterTest, MissingDirectoryIsReported) {
  const std::vector<uint8_t> bytes = FrameBytes(HeaderFields(), std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  std::string error;
  EXPECT_FALSE(WriteFramePng(view, Path("no-such-dir/f.png"), &error));
  EXPECT_NE(error.find("no-such-dir"), std::string::npos) << error;
}

TEST(FramePngPathTest, NamedAfterTheFrameNumber) {
  EXPECT_EQ(FramePngPath("out", 17), "out/frame-17.png");
  EXPECT_EQ(FramePngPath("out/", 17), "out/frame-17.png");
  EXPECT_EQ(FramePngPath("out", 4294967295u), "out/frame-4294967295.png");
}

}  // namespace
}  // namespace ornactl
