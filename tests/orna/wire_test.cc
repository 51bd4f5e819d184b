// The protocol's byte layout: headers survive encoding and decoding, anything that is
// not a header of this protocol is rejected, and names are cut with their terminator.
#include "orna/wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace orna_wire;

RequestHeader FullRequest() {
  RequestHeader h;
  h.kind = kSubscribe;
  h.access = 0xBEEF;
  h.id = 0xFEDCBA98u;
  h.outFormat = -2;
  h.inFormat = 567;
  h.outCount = -7;
  h.inCount = 0x7fffffff;
  h.intervalMs = -1;
  CopyName(h.device, sizeof h.device, std::string(63, 'd').c_str());  // longest that fits
  CopyName(h.property, sizeof h.property, "Frame.Sched");
  return h;
}

std::vector<uint8_t> Encoded(const RequestHeader& h) {
  std::vector<uint8_t> bytes(kRequestHeaderSize);
  EncodeRequest(h, bytes.data());
  return bytes;
}

TEST(WireTest, RequestRoundTrip) {
  RequestHeader in = FullRequest(), out;
  std::vector<uint8_t> bytes = Encoded(in);
  ASSERT_TRUE(DecodeRequest(bytes.data(), bytes.size(), &out));
  EXPECT_EQ(in.kind, out.kind);
  EXPECT_EQ(in.access, out.access);
  EXPECT_EQ(in.id, out.id);
  EXPECT_EQ(in.outFormat, out.outFormat);
  EXPECT_EQ(in.inFormat, out.inFormat);
  EXPECT_EQ(in.outCount, out.outCount);
  EXPECT_EQ(in.inCount, out.inCount);
  EXPECT_EQ(in.intervalMs, out.intervalMs);
  EXPECT_EQ(std::string(63, 'd'), out.device);
  EXPECT_STREQ("Frame.Sched", out.property);
}

TEST(WireTest, ReplyRoundTrip) {
  ReplyHeader in, out;
  in.kind = kDelivery;
  in.format = 531;
  in.id = 0x80000001u;
  in.result = -98;
  in.count = 6291456;
  in.aux = 0xFFFFFFFFu;
  in.aux2 = 10000;
  in.stamp = 1228216688.123;
  CopyName(in.text, sizeof in.text, "completion 700");
  uint8_t bytes[kReplyHeaderSize];
  EncodeReply(in, bytes);
  ASSERT_TRUE(DecodeReply(bytes, sizeof bytes, &out));
  EXPECT_EQ(in.kind, out.kind);
  EXPECT_EQ(in.format, out.format);
  EXPECT_EQ(in.id, out.id);
  EXPECT_EQ(in.result, out.result);
  EXPECT_EQ(in.count, out.count);
  EXPECT_EQ(in.aux, out.aux);
  EXPECT_EQ(in.aux2, out.aux2);
  EXPECT_EQ(in.stamp, out.stamp);  // bit for bit
  EXPECT_STREQ("completion 700", out.text);
}

// The text field carries 59 characters; a longer text arrives cut and terminated.
TEST(WireTest, ReplyTextLongerThanTheWireIsCut) {
  ReplyHeader in, out;
  CopyName(in.text, sizeof in.text, std::string(70, 't').c_str());
  uint8_t bytes[kReplyHeaderSize];
  EncodeReply(in, bytes);
  ASSERT_TRUE(DecodeReply(bytes, sizeof bytes, &out));
  EXPECT_EQ(std::string(59, 't'), out.text);
}

// Another build of the library must read the same bytes: little-endian numbers at
// fixed offsets, "ORNA" first.
TEST(WireTest, NumbersAreLittleEndianAtFixedOffsets) {
  RequestHeader h;
  h.kind = kCall;
  h.id = 0x01020304u;
  h.outCount = 0x0A0B0C0D;
  std::vector<uint8_t> bytes = Encoded(h);
  EXPECT_EQ(0, memcmp(bytes.data(), "ORNA", 4));
  EXPECT_EQ(kVersion, bytes[4]);
  EXPECT_EQ(kCall, bytes[5]);
  EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1}), std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 12));
  EXPECT_EQ((std::vector<uint8_t>{0x0D, 0x0C, 0x0B, 0x0A}),
            std::vector<uint8_t>(bytes.begin() + 16, bytes.begin() + 20));
}

TEST(WireTest, RequestRejection) {
  struct Case {
    const char* name;
    size_t offset;       // where to patch
    std::string patch;   // "" for none
    size_t size;         // size handed to the decoder
  };
  const std::vector<Case> cases = {
      {"WrongSizeShort", 0, "", kRequestHeaderSize - 1},
      {"WrongSizeLong", 0, "", kRequestHeaderSize + 1},
      {"WrongSizeEmpty", 0, "", 0},
      {"BadMagic", 0, "ORNB", kRequestHeaderSize},
      {"BadVersion", 4, "\x02", kRequestHeaderSize},
      {"VersionZero", 4, std::string(1, '\0'), kRequestHeaderSize},
      {"DeviceWithoutTerminator", 32, std::string(64, 'D'), kRequestHeaderSize},
      {"PropertyWithoutTerminator", 96, std::string(64, 'P'), kRequestHeaderSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Encoded(FullRequest());
    bytes.resize(kRequestHeaderSize + 1, 0);
    memcpy(bytes.data() + c.offset, c.patch.data(), c.patch.size());
    RequestHeader out;
    EXPECT_FALSE(DecodeRequest(bytes.data(), c.size, &out));
  }
  RequestHeader out;
  EXPECT_FALSE(DecodeRequest(nullptr, kRequestHeaderSize, &out));
}

TEST(WireTest, ReplyRejection) {
  uint8_t bytes[kReplyHeaderSize + 1] = {};
  EncodeReply(ReplyHeader(), bytes);
  ReplyHeader out;
  EXPECT_FALSE(DecodeReply(bytes, kReplyHeaderSize - 1, &out));
  EXPECT_FALSE(DecodeReply(bytes, kReplyHeaderSize + 1, &out));
  EXPECT_FALSE(DecodeReply(nullptr, kReplyHeaderSize, &out));
  bytes[4] = kVersion + 1;
  EXPECT_FALSE(DecodeReply(bytes, kReplyHeaderSize, &out));
  bytes[4] = kVersion;
  bytes[0] ^= 0xFF;
  EXPECT_FALSE(DecodeReply(bytes, kReplyHeaderSize, &out));
}

// The id of a header too broken to decode, so that the sender can be told.
TEST(WireTest, PeekRequestIdNeedsMagicAndTwelveBytes) {
  std::vector<uint8_t> bytes = Encoded(FullRequest());
  bytes[4] = 9;  // version the decoder refuses
  uint32_t id = 0;
  EXPECT_TRUE(PeekRequestId(bytes.data(), 12, &id));
  EXPECT_EQ(0xFEDCBA98u, id);
  EXPECT_FALSE(PeekRequestId(bytes.data(), 11, &id));
  EXPECT_FALSE(PeekRequestId(nullptr, 160, &id));
  bytes[1] = 'X';
  EXPECT_FALSE(PeekRequestId(bytes.data(), bytes.size(), &id));
}

TEST(WireTest, CopyNameCutsAndAlwaysTerminates) {
  char field[8];
  memset(field, 'x', sizeof field);
  EXPECT_TRUE(CopyName(field, sizeof field, "1234567"));  // exactly fits
  EXPECT_STREQ("1234567", field);
  EXPECT_FALSE(CopyName(field, sizeof field, "12345678"));
  EXPECT_STREQ("1234567", field);
  EXPECT_TRUE(CopyName(field, sizeof field, nullptr));
  EXPECT_STREQ("", field);
  EXPECT_TRUE(CopyName(field, sizeof field, "ab"));
  EXPECT_EQ(0, memcmp(field, "ab\0\0\0\0\0\0", 8)) << "the rest of the field is cleared";
}

}  // namespace
