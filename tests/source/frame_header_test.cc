// The frame header's bytes: every field at its offset, little-endian, the fixed
// values, the source name's padding, and the stamps of one frame.

#include "source/frame_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "source/byte_order.h"

namespace {

FrameHeaderFields Vga8Bit() {
  FrameHeaderFields fields;
  fields.sourceId = 3;
  fields.sourceName = "Test camera";
  fields.width = 640;
  fields.height = 480;
  fields.bytesPerPixel = 1;
  fields.effectiveBitsPerPixel = 8;
  fields.frameLength = 307200;
  return fields;
}

void Write(const FrameHeaderFields& fields, const FrameStamp& stamp, uint8_t* header) {
  FrameHeaderTemplate headerTemplate;
  BuildFrameHeaderTemplate(fields, &headerTemplate);
  WriteFrameHeader(headerTemplate, stamp, header);
}

TEST(FrameHeader, EightBitVgaFieldsAndLengths) {
  uint8_t header[kFrameHeaderSize];
  FrameStamp stamp{1700000000u, 123000u, 5u, 9u};
  Write(Vga8Bit(), stamp, header);
  FrameHeader h;
  DecodeFrameHeader(header, &h);
  EXPECT_EQ(0, std::memcmp(h.magic, "QDR3", 4));
  EXPECT_EQ(3, h.sourceId);
  EXPECT_EQ(1, h.fixedOne);
  EXPECT_EQ(307388u, h.totalLength);
  EXPECT_EQ(307200u, h.frameLength);
  EXPECT_EQ(640, h.width);
  EXPECT_EQ(480, h.height);
  EXPECT_EQ(1, h.bytesPerPixel);
  EXPECT_EQ(8, h.effectiveBitsPerPixel);
  EXPECT_EQ(1700000000u, h.timeSeconds);
  EXPECT_EQ(123000u, h.timeMicroseconds);
  EXPECT_EQ(5u, h.frameNumber);
  EXPECT_EQ(9u, h.passNumber);
  EXPECT_STREQ("Test camera", h.sourceName);
  EXPECT_TRUE(FixedFieldsAreIntact(header));
}

TEST(FrameHeader, NumbersAreLittleEndianAtTheirOffsets) {
  uint8_t header[kFrameHeaderSize];
  Write(Vga8Bit(), FrameStamp{0x01020304u, 0u, 0xA1B2C3D4u, 0u}, header);
  const uint8_t width[] = {0x80, 0x02, 0x00, 0x00};  // 640
  EXPECT_EQ(0, std::memcmp(header + 88, width, 4));
  const uint8_t seconds[] = {0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(header + 16, seconds, 4));
  const uint8_t frameNumber[] = {0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(0, std::memcmp(header + 136, frameNumber, 4));
  const uint8_t minusOneFloat[] = {0x00, 0x00, 0x80, 0xBF};
  EXPECT_EQ(0, std::memcmp(header + 144, minusOneFloat, 4));
  const uint8_t minusOne[] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(0, std::memcmp(header + 96, minusOne, 4));
}

struct FixedField {
  uint32_t offset;
  uint32_t bits;  // the four bytes read as one little-endian number
};

class FrameHeaderFixedTest : public ::testing::TestWithParam<FixedField> {};

TEST_P(FrameHeaderFixedTest, CarriesItsValue) {
  uint8_t header[kFrameHeaderSize];
  std::memset(header, 0x5A, sizeof header);  // a stale header must not show through
  Write(Vga8Bit(), FrameStamp{}, header);
  EXPECT_EQ(GetParam().bits, LoadLe32(header + GetParam().offset));
}

constexpr uint32_t kMinusOne = 0xFFFFFFFFu;
constexpr uint32_t kMinusOneFloat = 0xBF800000u;

INSTANTIATE_TEST_SUITE_P(
    Offsets, FrameHeaderFixedTest,
    ::testing::Values(FixedField{8, 1}, FixedField{96, kMinusOne}, FixedField{100, kMinusOne},
                      FixedField{104, 0}, FixedField{108, 0}, FixedField{120, 0},
                      FixedField{124, 0}, FixedField{128, 0}, FixedField{132, 0},
                      FixedField{144, kMinusOneFloat}, FixedField{148, kMinusOneFloat},
                      FixedField{152, 0}, FixedField{156, kMinusOneFloat},
                      FixedField{160, kMinusOneFloat}, FixedField{164, kMinusOneFloat},
                      FixedField{168, 3}, FixedField{172, kMinusOne},
                      FixedField{176, kMinusOne}, FixedField{180, kMinusOne}),
    [](const ::testing::TestParamInfo<FixedField>& info) {
      return "Offset" + std::to_string(info.param.offset);
    });

TEST(FrameHeader, SourceNameOfTwentyFourIsZeroPaddedToTheBlockEnd) {
  uint8_t header[kFrameHeaderSize];
  std::memset(header, 0x5A, sizeof header);
  FrameHeaderFields fields = Vga8Bit();
  fields.sourceName = "ABCDEFGHIJKLMNOPQRSTUVWX";
  Write(fields, FrameStamp{}, header);
  EXPECT_EQ(0, std::memcmp(header + 24, "ABCDEFGHIJKLMNOPQRSTUVWX", 24));
  for (int offset = 48; offset < 88; ++offset) EXPECT_EQ(0, header[offset]) << offset;
  EXPECT_EQ(640u, LoadLe32(header + 88));  // the frame block starts right after
}

TEST(FrameHeader, LongSourceNameFillsTheFieldAndStopsThere) {
  uint8_t header[kFrameHeaderSize];
  std::string name(70, 'n');
  FrameHeaderFields fields = Vga8Bit();
  fields.sourceName = name.c_str();
  Write(fields, FrameStamp{}, header);
  EXPECT_EQ(0, std::memcmp(header + 24, name.data(), 64));
  EXPECT_EQ(640u, LoadLe32(header + 88));
}

TEST(FrameHeader, StampsOfOneFrameDoNotLeakIntoTheNext) {
  FrameHeaderTemplate headerTemplate;
  BuildFrameHeaderTemplate(Vga8Bit(), &headerTemplate);
  uint8_t first[kFrameHeaderSize];
  uint8_t second[kFrameHeaderSize];
  WriteFrameHeader(headerTemplate, FrameStamp{10, 20000, 30, 40}, first);
  WriteFrameHeader(headerTemplate, FrameStamp{11, 0, 31, 45}, second);
  FrameHeader h;
  DecodeFrameHeader(second, &h);
  EXPECT_EQ(11u, h.timeSeconds);
  EXPECT_EQ(0u, h.timeMicroseconds);
  EXPECT_EQ(31u, h.frameNumber);
  EXPECT_EQ(45u, h.passNumber);
  // Apart from the stamps the two headers are the same bytes.
  for (uint32_t offset : {kHeaderTimeSeconds, kHeaderTimeMicroseconds, kHeaderFrameNumber,
                          kHeaderPassNumber}) {
    std::memset(first + offset, 0, 4);
    std::memset(second + offset, 0, 4);
  }
  EXPECT_EQ(0, std::memcmp(first, second, kFrameHeaderSize));
}

TEST(FrameHeader, BrokenFixedFieldIsSeen) {
  uint8_t header[kFrameHeaderSize];
  Write(Vga8Bit(), FrameStamp{}, header);
  ASSERT_TRUE(FixedFieldsAreIntact(header));
  header[170] ^= 1;
  EXPECT_FALSE(FixedFieldsAreIntact(header));
}

}  // namespace
