#include "tools/ornactl/reply_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "orna/orna_api.h"
#include "tools/common/tests/frame_bytes.h"

namespace ornactl {

using tools_common::ReplyData;

namespace {

using tools_common::testing::FrameBytes;
using tools_common::testing::HeaderBytes;
using tools_common::testing::HeaderFields;

template <typename T>
std::vector<uint8_t> Raw(std::initializer_list<T> values) {
  std::vector<uint8_t> bytes(values.size() * sizeof(T));
  size_t i = 0;
  for (T v : values) std::memcpy(bytes.data() + sizeof(T) * i++, &v, sizeof(T));
  return bytes;
}

ReplyData Reply(short format, int32_t count, const std::vector<uint8_t>& bytes) {
  ReplyData r;
  r.format = format;
  r.count = count;
  r.stamp = 1700000000.5;
  r.bytes = bytes.data();
  r.size = bytes.size();
  return r;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ReplyLineTest, SingleInt32) {
  const auto bytes = Raw<int32_t>({-42});
  const ReplyData r = Reply(ORNA_FMT_INT32, 1, bytes);
  EXPECT_EQ(JsonReplyLine(r),
            R"({"result":0,"text":null,"format":515,"count":1,"timestamp":1700000000.5,"value":-42})");
  EXPECT_EQ(HumanReplyLine(r), "result 0: -42");
}

TEST(ReplyLineTest, ErrorHasTextAndNullValue) {
  ReplyData r;
  r.result = ORNA_ILLEGAL_PROPERTY;
  r.text = "illegal property";
  r.format = ORNA_FMT_INT32;
  EXPECT_EQ(JsonReplyLine(r),
            R"({"result":36,"text":"illegal property","format":515,"count":0,"timestamp":0,"value":null})");
  EXPECT_EQ(HumanReplyLine(r), "result 36: illegal property");
}

TEST(ReplyLineTest, ErrorValueIsNullEvenWithData) {
  const auto bytes = Raw<int32_t>({5});
  ReplyData r = Reply(ORNA_FMT_INT32, 1, bytes);
  r.result = 600;
  r.text = "device busy";
  EXPECT_TRUE(Contains(JsonReplyLine(r), R"("value":null)")) << JsonReplyLine(r);
}

TEST(ReplyLineTest, CompletionTextWithResultZero) {
  const auto bytes = Raw<int32_t>({1});
  ReplyData r = Reply(ORNA_FMT_INT32, 1, bytes);
  r.text = "done";
  EXPECT_TRUE(Contains(JsonReplyLine(r), R"("text":"done")"));
  EXPECT_EQ(HumanReplyLine(r), "result 0: 1 -- done");
}

TEST(ReplyLineTest, NumberArrays) {
  const auto doubles = Raw<double>({0.5, -1, 1e300});
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_DOUBLE, 3, doubles)),
                       R"("value":[0.5,-1,1e+300])"));
  EXPECT_EQ(HumanReplyLine(Reply(ORNA_FMT_DOUBLE, 3, doubles)), "result 0: [0.5, -1, 1e+300]");
  // Floats print as the shortest float, not as the double they widen to.
  const auto floats = Raw<float>({0.1f, -3e-45f});
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_FLOAT, 2, floats)), R"("value":[0.1,-3e-45])"));
  EXPECT_EQ(HumanReplyLine(Reply(ORNA_FMT_FLOAT, 1, floats)), "result 0: 0.1");
}

TEST(ReplyLineTest, NonFiniteNumbersAreNullInJson) {
  const auto doubles = Raw<double>({std::nan("")});
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_DOUBLE, 1, doubles)), R"("value":null)"));
  EXPECT_EQ(HumanReplyLine(Reply(ORNA_FMT_DOUBLE, 1, doubles)), "result 0: nan");
}

// The count promises more elements than the bytes hold: only what is there is shown,
// and the shortfall is reported.
TEST(ReplyLineTest, FewerBytesThanCount) {
  const auto bytes = Raw<int32_t>({1, 2});
  const std::string json = JsonReplyLine(Reply(ORNA_FMT_INT32, 3, bytes));
  EXPECT_TRUE(Contains(json, R"("value":[1,2])")) << json;
  EXPECT_TRUE(Contains(json, R"("problem":"only 2 of 3 elements arrived")")) << json;
}

TEST(ReplyLineTest, TextEndsAtFirstZeroAndIsEscaped) {
  const std::string text("a\"b\n\xff\0junk", 10);
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  // The stray byte 0xff is the character U+00FF, written as UTF-8.
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_TEXT, 10, bytes)),
                       "\"value\":\"a\\\"b\\n\xc3\xbf\""));
}

TEST(ReplyLineTest, TextWithoutZeroStopsAtItsBytes) {
  const std::string text = "abcdef";
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  // Count 256 but only 6 bytes came: read no further than the 6.
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_TEXT, 256, bytes)), R"("value":"abcdef")"));
  // Count 3: the text is cut at the count even though more bytes are there.
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_TEXT, 3, bytes)), R"("value":"abc")"));
}

TEST(ReplyLineTest, Text48Fields) {
  std::vector<uint8_t> bytes(96, 0);
  std::memcpy(bytes.data(), "first", 5);
  std::memset(bytes.data() + 48, 'x', 48);  // a full field without terminator
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_NAME48, 1, bytes)), R"("value":"first")"));
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_NAME48, 2, bytes)),
                       R"("value":["first",")" + std::string(48, 'x') + "\"]"));
}

TEST(ReplyLineTest, BytesOfHeaderSizeAreDecoded) {
  HeaderFields f;
  f.sourceName = "cam\"1";
  const std::vector<uint8_t> bytes = HeaderBytes(f);
  const std::string json = JsonReplyLine(Reply(ORNA_FMT_BYTE, 188, bytes));
  EXPECT_TRUE(Contains(json,
                       R"("value":{"magic":"QDR3","sourceId":7,"totalLength":200,)"
                       R"("timeSeconds":1700000000,"timeMicroseconds":123456,)"
                       R"("sourceName":"cam\"1","width":4,"height":3,"bytesPerPixel":1,)"
                       R"("effectiveBitsPerPixel":8,"frameNumber":42,"passNumber":2,)"
                       R"("frameLength":12}})"))
      << json;
  EXPECT_TRUE(Contains(HumanReplyLine(Reply(ORNA_FMT_BYTE, 188, bytes)), "frame 42 pass 2 4x3x1"));
}

TEST(ReplyLineTest, OtherBytesAreHexLimitedTo64) {
  const std::vector<uint8_t> few = {0x00, 0xAB, 0x10};
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_BYTE, 3, few)),
                       R"("value":{"bytes":3,"hex":"00ab10"})"));
  const std::vector<uint8_t> many(100, 0x7F);
  const std::string json = JsonReplyLine(Reply(ORNA_FMT_BYTE, 100, many));
  std::string hex;
  for (int i = 0; i < 64; ++i) hex += "7f";
  EXPECT_TRUE(Contains(json, R"("value":{"bytes":100,"hex":")" + hex + "\"}")) << json;
  // 187 bytes is not a header.
  const std::vector<uint8_t> almost(187, 0);
  EXPECT_TRUE(Contains(JsonReplyLine(Reply(ORNA_FMT_BYTE, 187, almost)), R"({"bytes":187,)"));
}

TEST(ReplyLineTest, FrameHasHeaderPixelsAndCrc) {
  HeaderFields f;
  f.width = 3;
  f.height = 3;
  f.frameLength = 9;
  const std::string digits = "123456789";
  const std::vector<uint8_t> bytes = FrameBytes(f, std::vector<uint8_t>(digits.begin(), digits.end()));
  ReplyData r = Reply(ORNA_FMT_IMAGE, 9, bytes);
  const std::string json = JsonReplyLine(r);
  EXPECT_TRUE(Contains(json, R"("frameLength":9,"pixels":9,"crc32":3421780262})")) << json;
  EXPECT_FALSE(Contains(json, "problem")) << json;
  const std::string human = HumanReplyLine(r);
  EXPECT_TRUE(Contains(human, "pixels 9 crc32 cbf43926")) << human;
}

TEST(ReplyLineTest, ShortFrameIsReportedWithoutCrc) {
  const std::vector<uint8_t> bytes = FrameBytes(HeaderFields(), std::vector<uint8_t>(12));
  ReplyData r = Reply(ORNA_FMT_IMAGE, 12, bytes);
  r.size = 200;  // 4 of the 12 pixel bytes
  const std::string json = JsonReplyLine(r);
  EXPECT_TRUE(Contains(json, R"("pixels":12,"crc32":null})")) << json;
  EXPECT_TRUE(Contains(json, R"("problem":"frame holds 4 pixel bytes)")) << json;
  EXPECT_TRUE(Contains(HumanReplyLine(r), "bad data: frame holds 4")) << HumanReplyLine(r);

  r.size = 50;  // not even the header
  const std::string tiny = JsonReplyLine(r);
  EXPECT_TRUE(Contains(tiny, R"("value":{"pixels":12,"crc32":null})")) << tiny;
  EXPECT_TRUE(Contains(tiny, "shorter than its 196-byte prefix")) << tiny;
}

TEST(ReplyLineTest, DeliveryCarriesSequenceAndSavedFile) {
  const auto bytes = Raw<int32_t>({3});
  ReplyData r = Reply(ORNA_FMT_INT32, 1, bytes);
  r.isDelivery = true;
  r.sequence = 17;
  r.savedPath = "out/frame-1.png";
  const std::string json = JsonReplyLine(r);
  EXPECT_TRUE(Contains(json, R"("sequence":17,)")) << json;
  EXPECT_TRUE(Contains(json, R"("png":"out/frame-1.png")")) << json;
  EXPECT_EQ(HumanReplyLine(r), "result 0: 3 (delivery 17) saved out/frame-1.png");
}

TEST(ReplyLineTest, NoDataAnswer) {
  ReplyData r;
  r.format = ORNA_FMT_NULL;
  EXPECT_TRUE(Contains(JsonReplyLine(r), R"("value":null)"));
  EXPECT_EQ(HumanReplyLine(r), "result 0: no data");
}

}  // namespace
}  // namespace ornactl
