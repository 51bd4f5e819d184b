// Property calls on loopback: every data format through OrnaCall and ExecLinkEx,
// frames arriving whole and matching their header, inputs of every numeric format,
// the access bits as the equipment function sees them, and result codes with their
// texts reaching the client.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "tests/orna/loopback_fixture.h"

namespace {

constexpr int kFrameBytes = 300000;

template <typename T>
std::string BytesOf(const T& value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
std::string Repeated(const T& value, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += BytesOf(value);
  return out;
}

std::string Padded(const std::string& text, size_t size) {
  std::string out = text;
  out.resize(size, '\0');
  return out;
}

int32_t IntOf(const OrnaReply& reply) {
  int32_t v = 0;
  if (reply.bytes != nullptr && reply.size >= 4) memcpy(&v, reply.bytes, 4);
  return v;
}

// The frame number in a frame's header, and whether every pixel is the one that
// frame must carry.
uint32_t FrameNumber(const uint8_t* frame) {
  uint32_t n = 0;
  memcpy(&n, frame + 136, 4);
  return n;
}
size_t FirstWrongPixel(const uint8_t* frame, size_t pixels) {
  uint32_t n = FrameNumber(frame);
  for (size_t i = 0; i < pixels; ++i)
    if (frame[ORNA_FRAME_PREFIX_SIZE + i] != uint8_t(n + i)) return i;
  return pixels;
}

class CallTest : public LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    TestServerOptions options;
    options.args = {"--frame-hz", "20", "--frame-bytes", std::to_string(kFrameBytes)};
    server_ = StartServer(options);
    ASSERT_NE(nullptr, server_);
    address_ = server_->Address();
  }

  int Call(const char* property, const OrnaRequest& request, OrnaReply* reply) {
    return OrnaCall(address_.c_str(), property, request, reply, kCallTimeoutMs);
  }
  OrnaReply Read(const char* property, short format, int32_t count, short access = ORNA_ACCESS_READ) {
    OrnaRequest request;
    request.outFormat = format;
    request.outCount = count;
    request.access = access;
    OrnaReply reply;
    Call(property, request, &reply);
    return reply;
  }
  OrnaReply WriteInt(const char* property, int32_t value) {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_INT32;
    request.outCount = 1;
    request.inFormat = ORNA_FMT_INT32;
    request.inCount = 1;
    request.inBytes = BytesOf(value);
    request.access = ORNA_ACCESS_READ | ORNA_ACCESS_WRITE;
    OrnaReply reply;
    Call(property, request, &reply);
    return reply;
  }
  // A frame once the frame thread has made the first.
  OrnaReply ReadFrame(const char* property) {
    OrnaReply reply;
    WaitUntil(5000, [&] {
      reply = Read(property, ORNA_FMT_IMAGE, kFrameBytes);
      return reply.result != 517;
    });
    return reply;
  }

  TestServerProcess* server_ = nullptr;
  std::string address_;
};

struct FormatCase {
  const char* property;
  short format;
  int32_t count;
  std::string bytes;  // what the test module answers
};

std::vector<FormatCase> FormatCases() {
  return {
      {"Double", ORNA_FMT_DOUBLE, 3, Repeated(2.5, 3)},
      {"Bytes", ORNA_FMT_BYTE, 5, std::string("\0\1\2\3\4", 5)},
      {"Int", ORNA_FMT_INT32, 1, BytesOf(int32_t{42})},
      {"Text", ORNA_FMT_TEXT, 16, Padded("hello orna", 16)},
      {"Float", ORNA_FMT_FLOAT, 2, Repeated(1.5f, 2)},
      {"Name48", ORNA_FMT_NAME48, 1, Padded("forty-eight", 48)},
  };
}

TEST_F(CallTest, EveryFormatRoundTripsThroughOrnaCall) {
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.property);
    OrnaReply reply = Read(c.property, c.format, c.count);
    ASSERT_EQ(ORNA_OK, reply.result) << reply.text;
    EXPECT_EQ(c.format, reply.format);
    EXPECT_EQ(c.count, reply.count);
    EXPECT_EQ(c.bytes, std::string(reinterpret_cast<const char*>(reply.bytes), reply.size));
    EXPECT_NEAR((double)time(nullptr), reply.stamp, 60.0);
  }
}

TEST_F(CallTest, EveryFormatRoundTripsThroughExecLinkEx) {
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.property);
    std::vector<uint64_t> buffer(c.bytes.size() / 8 + 2, 0);
    DataObject dout{};
    dout.format = c.format;
    dout.count = c.count;
    dout.data = buffer.data();
    ASSERT_EQ(ORNA_OK, ExecLinkEx(address_.c_str(), c.property, &dout, nullptr, ORNA_ACCESS_READ,
                                  kCallTimeoutMs));
    EXPECT_EQ(c.count, dout.count);
    EXPECT_EQ(c.bytes, std::string(reinterpret_cast<const char*>(buffer.data()), c.bytes.size()));
    EXPECT_NEAR((double)time(nullptr), dout.stamp, 60.0);
  }
}

TEST_F(CallTest, FrameArrivesWholeAndMatchesItsHeaderThroughOrnaCall) {
  uint32_t first = 0;
  // Several reads, so that frames made while the server copies one are seen too.
  for (int i = 0; i < 6; ++i) {
    OrnaReply reply = ReadFrame("Frame");
    ASSERT_EQ(ORNA_OK, reply.result) << reply.text;
    ASSERT_EQ(ORNA_FMT_IMAGE, reply.format);
    ASSERT_EQ(kFrameBytes, reply.count);
    ASSERT_EQ((size_t)ORNA_FRAME_PREFIX_SIZE + kFrameBytes, reply.size);
    EXPECT_EQ(0, memcmp(reply.bytes, "QDR3", 4));
    uint32_t count = 0;
    memcpy(&count, reply.bytes + 188, 4);
    EXPECT_EQ((uint32_t)kFrameBytes, count);
    EXPECT_GT(FrameNumber(reply.bytes), 0u);
    EXPECT_EQ((size_t)kFrameBytes, FirstWrongPixel(reply.bytes, kFrameBytes))
        << "frame " << FrameNumber(reply.bytes);
    if (i == 0) first = FrameNumber(reply.bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  }
  OrnaReply later = ReadFrame("Frame");
  EXPECT_GT(FrameNumber(later.bytes), first) << "the frame never changed: not the live slot";
}

// Frames whose slot the module lends (DataObject::releasePixels): whole, and every
// loan given back once, after the copy or at once when the library refuses the answer.
TEST_F(CallTest, LentFramesArriveWholeAndEveryLoanIsReleasedOnce) {
  for (int i = 0; i < 20; ++i) {
    OrnaReply reply = ReadFrame("Frame.Lent");
    ASSERT_EQ(ORNA_OK, reply.result) << reply.text;
    ASSERT_EQ((size_t)ORNA_FRAME_PREFIX_SIZE + kFrameBytes, reply.size);
    ASSERT_EQ((size_t)kFrameBytes, FirstWrongPixel(reply.bytes, kFrameBytes))
        << "frame " << FrameNumber(reply.bytes);
  }
  OrnaReply bad = Read("Frame.LentBadCount", ORNA_FMT_IMAGE, kFrameBytes);
  EXPECT_EQ(ORNA_OPERATION_FAILED, bad.result);
  EXPECT_EQ(0u, bad.size);
  Loans loans = LoansOf(*server_);
  EXPECT_EQ(21, loans.lent);
  EXPECT_EQ(loans.lent, loans.released);
  EXPECT_EQ(0, loans.misuses) << "a call came while a loan was out, or one was released twice";
}

TEST_F(CallTest, FrameArrivesWholeThroughExecLinkEx) {
  ASSERT_EQ(ORNA_OK, ReadFrame("Frame").result);
  std::vector<uint8_t> buffer(ORNA_FRAME_PREFIX_SIZE + kFrameBytes + 64, 0xEE);
  DataObject dout{};
  dout.format = ORNA_FMT_IMAGE;
  dout.count = kFrameBytes;
  dout.data = buffer.data();
  ASSERT_EQ(ORNA_OK, ExecLinkEx(address_.c_str(), "Frame", &dout, nullptr, ORNA_ACCESS_READ,
                                kCallTimeoutMs));
  EXPECT_EQ(kFrameBytes, dout.count);
  EXPECT_EQ(buffer.data() + ORNA_FRAME_PREFIX_SIZE, dout.pixels);
  EXPECT_EQ((size_t)kFrameBytes, FirstWrongPixel(buffer.data(), kFrameBytes));
  EXPECT_EQ(0xEE, buffer[ORNA_FRAME_PREFIX_SIZE + kFrameBytes]) << "wrote past the frame";
}

// In a 64-bit process the address word at 192 holds only the low half of the
// address: a frame whose handler did not set DataObject::pixels must be refused, not
// read through that word.
TEST_F(CallTest, FrameWithoutPixelAddressIsRefusedNotReadThroughTheTruncatedWord) {
  if (sizeof(void*) == 4) GTEST_SKIP() << "the address word is whole in a 32-bit build";
  ASSERT_EQ(ORNA_OK, ReadFrame("Frame").result);
  OrnaReply reply = Read("Frame.NoPixels", ORNA_FMT_IMAGE, kFrameBytes);
  EXPECT_EQ(ORNA_OPERATION_FAILED, reply.result);
  EXPECT_EQ(0, reply.count);
  EXPECT_TRUE(reply.bytes == nullptr || reply.size == 0) << "some bytes were sent";
  EXPECT_TRUE(server_->Running());
}

TEST_F(CallTest, InputOfEveryNumericFormatReachesTheModule) {
  struct InputCase {
    short format;
    int32_t count;
    std::string bytes;
    int32_t expected;
  };
  const std::vector<InputCase> cases = {
      {ORNA_FMT_INT32, 1, BytesOf(int32_t{-1234}), -1234},
      {ORNA_FMT_BYTE, 1, std::string("\xC8", 1), 200},
      {ORNA_FMT_DOUBLE, 1, BytesOf(12.75), 12},
      {ORNA_FMT_FLOAT, 1, BytesOf(-3.5f), -3},
      {ORNA_FMT_TEXT, 3, "56 ", 56},
      {ORNA_FMT_NAME48, 1, Padded("88", 48), 88},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.format);
    OrnaRequest request;
    request.outFormat = ORNA_FMT_INT32;
    request.outCount = 1;
    request.inFormat = c.format;
    request.inCount = c.count;
    request.inBytes = c.bytes;
    request.access = ORNA_ACCESS_READ | ORNA_ACCESS_WRITE;
    OrnaReply reply;
    ASSERT_EQ(ORNA_OK, Call("Int", request, &reply)) << reply.text;
    EXPECT_EQ(c.expected, IntOf(reply));
  }
  // A text input without a terminator ends at its count.
  OrnaRequest write;
  write.inFormat = ORNA_FMT_TEXT;
  write.inCount = 3;
  write.inBytes = "abc";
  write.access = ORNA_ACCESS_WRITE;
  OrnaReply reply;
  ASSERT_EQ(ORNA_OK, Call("Echo", write, &reply));
  reply = Read("Echo", ORNA_FMT_TEXT, 8);
  EXPECT_EQ(Padded("abc", 8), std::string(reinterpret_cast<const char*>(reply.bytes), reply.size));
}

TEST_F(CallTest, InputThroughExecLinkExReachesTheModule) {
  int32_t value = 987, out = 0;
  DataObject din{};
  din.format = ORNA_FMT_INT32;
  din.count = 1;
  din.data = &value;
  ASSERT_EQ(ORNA_OK, ExecLinkEx(address_.c_str(), "Int", nullptr, &din, ORNA_ACCESS_WRITE,
                                kCallTimeoutMs));
  DataObject dout{};
  dout.format = ORNA_FMT_INT32;
  dout.count = 1;
  dout.data = &out;
  ASSERT_EQ(ORNA_OK, ExecLinkEx(address_.c_str(), "Int", &dout, nullptr, ORNA_ACCESS_READ,
                                kCallTimeoutMs));
  EXPECT_EQ(987, out);
}

TEST_F(CallTest, AccessBitsReachTheEquipmentFunction) {
  for (short access : {short(1), short(2), short(3)}) {
    OrnaReply reply = Read("Access", ORNA_FMT_INT32, 1, access);
    ASSERT_EQ(ORNA_OK, reply.result) << "access " << access;
    EXPECT_EQ(access, IntOf(reply));
  }
}

TEST_F(CallTest, BadAccessIsRefusedBeforeTheEquipmentFunction) {
  for (int access : {0, 4, 7, -32767}) {  // -32767: 0x8001 on the wire
    OrnaReply reply = Read("Counter", ORNA_FMT_INT32, 1, (short)access);
    EXPECT_EQ(ORNA_ILLEGAL_READ_WRITE, reply.result) << "access " << access;
    EXPECT_EQ(erlst[ORNA_ILLEGAL_READ_WRITE], reply.text);
  }
  // Counter counts its reads: none of the refused calls reached it.
  EXPECT_EQ(1, IntOf(Read("Counter", ORNA_FMT_INT32, 1)));
}

TEST_F(CallTest, ResultCodesReachTheClientWithTheirTexts) {
  // Answered by the module as asked.
  for (int code : {ORNA_ILLEGAL_FORMAT, ORNA_DIMENSION_ERROR, ORNA_ILLEGAL_PROPERTY,
                   ORNA_ILLEGAL_READ_WRITE}) {
    OrnaReply reply = WriteInt("Result", code);
    EXPECT_EQ(code, reply.result);
    EXPECT_EQ(erlst[code], reply.text);
  }
  // Arising from the call itself.
  struct Case {
    const char* property;
    short format;
    int32_t count;
    short access;
    int expected;
  };
  for (const Case& c : {Case{"Int", ORNA_FMT_TEXT, 16, ORNA_ACCESS_READ, ORNA_ILLEGAL_FORMAT},
                        Case{"Int", ORNA_FMT_INT32, 0, ORNA_ACCESS_READ, ORNA_DIMENSION_ERROR},
                        Case{"NoSuchProperty", ORNA_FMT_INT32, 1, ORNA_ACCESS_READ, ORNA_ILLEGAL_PROPERTY},
                        Case{"Int", ORNA_FMT_INT32, 1, 0, ORNA_ILLEGAL_READ_WRITE}}) {
    OrnaReply reply = Read(c.property, c.format, c.count, c.access);
    EXPECT_EQ(c.expected, reply.result) << c.property;
    EXPECT_EQ(erlst[c.expected], reply.text);
  }
}

TEST_F(CallTest, CompletionTextsAboveFiveHundredTwelveReachTheClient) {
  OrnaReply reply = WriteInt("Result", 700);
  EXPECT_EQ(700, reply.result);
  EXPECT_EQ("completion 700", reply.text);
  // Longer than the wire carries: cut, never overrun.
  reply = WriteInt("Result", 1000);
  EXPECT_EQ(1000, reply.result);
  std::string full = "long completion 1000";
  full.resize(80, '.');
  EXPECT_EQ(full.substr(0, 59), reply.text);
  // ExecLinkEx answers the code itself.
  int32_t code = 613;
  DataObject din{};
  din.format = ORNA_FMT_INT32;
  din.count = 1;
  din.data = &code;
  EXPECT_EQ(613, ExecLinkEx(address_.c_str(), "Result", nullptr, &din, ORNA_ACCESS_WRITE,
                            kCallTimeoutMs));
}

// Calls from several threads share the client's connections: each must get its own
// answer.
TEST_F(CallTest, ConcurrentCallsEachGetTheirOwnAnswer) {
  std::vector<std::thread> threads;
  std::vector<std::string> wrong(3);
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      short access = (short)(t + 1);
      for (int i = 0; i < 30; ++i) {
        auto start = std::chrono::steady_clock::now();
        OrnaReply reply = Read("Access", ORNA_FMT_INT32, 1, access);
        if (reply.result != ORNA_OK || IntOf(reply) != access)
          wrong[t] += "call " + std::to_string(i) + ": " + std::to_string(reply.result) + " " +
                      reply.text + " value " + std::to_string(IntOf(reply)) + " after " +
                      std::to_string(SecondsSince(start)) + " s; ";
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ((std::vector<std::string>{"", "", ""}), wrong)
      << "server: requests " << DescribedNumber(*server_, "requests") << " malformed "
      << DescribedNumber(*server_, "malformed") << " dropped " << DescribedNumber(*server_, "dropped");
}

}  // namespace
