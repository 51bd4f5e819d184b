#include "tools/common/frame_header_view.h"

#include <gtest/gtest.h>

#include "tools/common/tests/frame_bytes.h"

namespace tools_common {
namespace {

using testing::FrameBytes;
using testing::HeaderBytes;
using testing::HeaderFields;

TEST(FrameHeaderViewTest, KnownHeader) {
  HeaderFields f;
  f.sourceId = -3;
  f.totalLength = 0x01020304;
  f.width = 640;
  f.height = 480;
  f.bytesPerPixel = 2;
  f.effectiveBitsPerPixel = 12;
  f.frameNumber = 0xFFFFFFFE;  // unsigned fields must not come out negative
  f.passNumber = 9;
  f.frameLength = 614400;
  const std::vector<uint8_t> bytes = HeaderBytes(f);
  FrameHeader h;
  ASSERT_TRUE(DecodeFrameHeader(bytes.data(), bytes.size(), &h));
  EXPECT_EQ(h.magic, "QDR3");
  EXPECT_EQ(h.sourceId, -3);
  EXPECT_EQ(h.totalLength, 0x01020304u);
  EXPECT_EQ(h.timeSeconds, 1700000000u);
  EXPECT_EQ(h.timeMicroseconds, 123456u);
  EXPECT_EQ(h.sourceName, "camera one");
  EXPECT_EQ(h.width, 640);
  EXPECT_EQ(h.height, 480);
  EXPECT_EQ(h.bytesPerPixel, 2);
  EXPECT_EQ(h.effectiveBitsPerPixel, 12);
  EXPECT_EQ(h.frameNumber, 0xFFFFFFFEu);
  EXPECT_EQ(h.passNumber, 9u);
  EXPECT_EQ(h.frameLength, 614400u);
}

TEST(FrameHeaderViewTest, ShortBuffersAreRefused) {
  const std::vector<uint8_t> bytes = HeaderBytes(HeaderFields());
  for (size_t size : {size_t{0}, size_t{1}, size_t{187}}) {
    FrameHeader h;
    h.width = 99;
    EXPECT_FALSE(DecodeFrameHeader(bytes.data(), size, &h)) << size;
    EXPECT_EQ(h.width, 99) << "header touched for size " << size;
  }
  FrameHeader h;
  EXPECT_FALSE(DecodeFrameHeader(nullptr, 188, &h));
}

// A name filling its 64 bytes has no terminator; the decoder must stop at 64, not run
// into the width that follows.
TEST(FrameHeaderViewTest, NameOfSixtyFourBytesWithoutTerminator) {
  HeaderFields f;
  f.sourceName = std::string(64, 'N');
  const std::vector<uint8_t> bytes = HeaderBytes(f);
  FrameHeader h;
  ASSERT_TRUE(DecodeFrameHeader(bytes.data(), bytes.size(), &h));
  EXPECT_EQ(h.sourceName, std::string(64, 'N'));
}

TEST(FrameHeaderViewTest, NameEndsAtItsFirstZero) {
  HeaderFields f;
  f.sourceName = std::string("ab\0cd", 5);
  const std::vector<uint8_t> bytes = HeaderBytes(f);
  FrameHeader h;
  ASSERT_TRUE(DecodeFrameHeader(bytes.data(), bytes.size(), &h));
  EXPECT_EQ(h.sourceName, "ab");
}

TEST(FrameHeaderViewTest, ConsistentFrame) {
  const std::vector<uint8_t> pixels(12, 0x55);
  const std::vector<uint8_t> bytes = FrameBytes(HeaderFields(), pixels);
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  EXPECT_TRUE(view.problem.empty()) << view.problem;
  EXPECT_TRUE(view.hasHeader);
  EXPECT_TRUE(view.pixelsComplete);
  EXPECT_EQ(view.pixels, bytes.data() + 196);
  EXPECT_EQ(view.pixelBytes, 12u);
}

TEST(FrameHeaderViewTest, ShorterThanPrefix) {
  const std::vector<uint8_t> bytes = FrameBytes(HeaderFields(), std::vector<uint8_t>(12));
  for (size_t size : {size_t{0}, size_t{100}, size_t{188}, size_t{195}}) {
    const FrameView view = InspectFrame(bytes.data(), size, 12);
    EXPECT_FALSE(view.problem.empty()) << size;
    EXPECT_EQ(view.hasHeader, size >= 188) << size;
    EXPECT_EQ(view.pixels, nullptr) << size;
    EXPECT_FALSE(view.pixelsComplete) << size;
  }
}

TEST(FrameHeaderViewTest, PixelsMissing) {
  const std::vector<uint8_t> bytes = FrameBytes(HeaderFields(), std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size() - 1, 12);
  EXPECT_FALSE(view.pixelsComplete);
  EXPECT_EQ(view.pixelBytes, 11u);
  EXPECT_NE(view.problem.find("11"), std::string::npos) << view.problem;
}

TEST(FrameHeaderViewTest, FrameLengthDisagreesWithCount) {
  HeaderFields f;
  f.frameLength = 13;
  const std::vector<uint8_t> bytes = FrameBytes(f, std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  EXPECT_TRUE(view.pixelsComplete);
  EXPECT_NE(view.problem.find("frameLength"), std::string::npos) << view.problem;
}

TEST(FrameHeaderViewTest, DimensionsDisagreeWithCount) {
  HeaderFields f;
  f.bytesPerPixel = 2;  // 4 x 3 x 2 = 24, but 12 bytes came
  const std::vector<uint8_t> bytes = FrameBytes(f, std::vector<uint8_t>(12));
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 12);
  EXPECT_NE(view.problem.find("4x3x2"), std::string::npos) << view.problem;
}

// Three large factors overflow 64 bits; the wrapped product must not pass as equal.
TEST(FrameHeaderViewTest, HugeDimensionsDoNotWrapIntoAMatch) {
  HeaderFields f;
  f.width = 0x40000000;
  f.height = 0x40000000;
  f.bytesPerPixel = 16;  // 2^30 * 2^30 * 2^4 = 2^64, which wraps to 0
  f.frameLength = 0;
  const std::vector<uint8_t> bytes = FrameBytes(f, {});
  const FrameView view = InspectFrame(bytes.data(), bytes.size(), 0);
  EXPECT_FALSE(view.problem.empty());
}

TEST(FrameHeaderViewTest, NegativeDimensionsAndCount) {
  HeaderFields f;
  f.width = -4;
  f.height = -3;
  const std::vector<uint8_t> bytes = FrameBytes(f, std::vector<uint8_t>(12));
  EXPECT_FALSE(InspectFrame(bytes.data(), bytes.size(), 12).problem.empty());
  const FrameView negative = InspectFrame(bytes.data(), bytes.size(), -1);
  EXPECT_FALSE(negative.problem.empty());
  EXPECT_EQ(negative.pixelBytes, 0u);
}

TEST(FrameHeaderViewTest, NullBuffer) {
  const FrameView view = InspectFrame(nullptr, 500, 12);
  EXPECT_FALSE(view.hasHeader);
  EXPECT_EQ(view.pixels, nullptr);
  EXPECT_FALSE(view.problem.empty());
}

}  // namespace
}  // namespace tools_common
