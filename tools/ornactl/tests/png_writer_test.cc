#include "tools/ornactl/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tools/common/grey_png.h"
#include "tools/common/tests/frame_bytes.h"

namespace ornactl {

using tools_common::FrameView;
using tools_common::InspectFrame;

namespace {

using tools_common::testing::FrameBytes;
using tools_common::testing::HeaderFields;

class PngWriterTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return dir_.Join(name); }
  size_t FilesInDirectory() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) ++n;
    return n;
  }

  TempDir dir_;
};

TEST_F(PngWriterTest, EightBitGreyKeepsThePixels) {
  HeaderFields f;  // 4 x 3, 1 byte per pixel
  std::vector<uint8_t> pixels(12);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 20);
  const std::vector<uint8_t> bytes = FrameBytes(f, pixels);
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  std::string error;
  ASSERT_TRUE(WriteFramePng(view, Path("a.png"), &error)) << error;
  GreyImage png;
  ASSERT_TRUE(ReadGreyPng(Path("a.png"), &png, &error)) << error;
  EXPECT_EQ(png.width, 4u);
  EXPECT_EQ(png.height, 3u);
  EXPECT_EQ(png.bitDepth, 8);
  EXPECT_EQ(png.pixels, pixels);
  EXPECT_EQ(FilesInDirectory(), 1u) << "temporary file left behind";
}

// That the file holds the samples big-endian is the grey PNG writer's test.
TEST_F(PngWriterTest, SixteenBitFramesBecomeSixteenBitPictures) {
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
  GreyImage png;
  ASSERT_TRUE(ReadGreyPng(Path("b.png"), &png, &error)) << error;
  EXPECT_EQ(png.width, 2u);
  EXPECT_EQ(png.height, 2u);
  EXPECT_EQ(png.bitDepth, 16);
  EXPECT_EQ(png.pixels, pixels);  // little-endian in memory, as in the frame
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
