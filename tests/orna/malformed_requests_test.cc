// Malformed and hostile requests on loopback, sent through a bare DEALER socket: each
// is answered with a refusal (when its request id can be read) or dropped, counted,
// and the server goes on serving. Under the sanitizer builds a read past a buffer
// shows up in the server's stderr, which the fixture checks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/orna/loopback_fixture.h"
#include "tests/orna/raw_dealer.h"

namespace {

using orna_wire::RequestHeader;

constexpr int kDropped = -1;

struct Garbage {
  const char* name;
  std::vector<std::string> parts;
  int expected;    // the result answered, or kDropped
  bool malformed;  // counted as malformed by the server
};

RequestHeader Call(uint32_t id) { return MakeRequest(orna_wire::kCall, "Dev", "Int", ORNA_FMT_INT32, 1, id); }

RequestHeader WithInput(uint32_t id, short format, int32_t count) {
  RequestHeader h = Call(id);
  h.inFormat = format;
  h.inCount = count;
  h.access = ORNA_ACCESS_WRITE;
  return h;
}

std::string Patched(const RequestHeader& h, size_t offset, const std::string& bytes) {
  std::string out = EncodedRequest(h);
  out.replace(offset, bytes.size(), bytes);
  return out;
}

std::vector<Garbage> GarbageCases() {
  std::vector<Garbage> cases;
  auto add = [&](const char* name, std::vector<std::string> parts, int expected, bool malformed) {
    cases.push_back({name, std::move(parts), expected, malformed});
  };
  const int M = ORNA_MALFORMED_REQUEST;
  uint32_t id = 100;
  add("EmptyMessage", {""}, kDropped, true);
  add("TooShortForAnId", {EncodedRequest(Call(++id)).substr(0, 11)}, kDropped, true);
  add("ShortHeader", {EncodedRequest(Call(++id)).substr(0, 100)}, M, true);
  add("LongHeader", {EncodedRequest(Call(++id)) + "x"}, M, true);
  add("BadMagic", {Patched(Call(++id), 0, "XRNA")}, kDropped, true);
  add("BadVersion", {Patched(Call(++id), 4, "\x02")}, M, true);
  add("DeviceWithoutTerminator", {Patched(Call(++id), 32, std::string(64, 'D'))}, M, true);
  add("PropertyWithoutTerminator", {Patched(Call(++id), 96, std::string(64, 'P'))}, M, true);
  add("TooManyParts", {EncodedRequest(WithInput(++id, ORNA_FMT_INT32, 1)), "abcd", "more"}, M, true);
  add("InputShorterThanCount", {EncodedRequest(WithInput(++id, ORNA_FMT_INT32, 2)), "abcd"}, M, true);
  add("InputLongerThanCount", {EncodedRequest(WithInput(++id, ORNA_FMT_INT32, 1)), "abcdefgh"}, M, true);
  add("InputCountWithoutBytes", {EncodedRequest(WithInput(++id, ORNA_FMT_DOUBLE, 1000))}, M, true);
  add("InputBytesWithoutFormat", {EncodedRequest(Call(++id)), "abcd"}, M, true);
  add("NegativeInputCount", {EncodedRequest(WithInput(++id, ORNA_FMT_INT32, -1))}, M, true);
  add("ImageAsInput", {EncodedRequest(WithInput(++id, ORNA_FMT_IMAGE, 4)), "abcd"}, M, true);
  add("UnknownInputFormat", {EncodedRequest(WithInput(++id, 600, 1)), "a"}, M, true);
  add("UnknownKind", {EncodedRequest(MakeRequest(99, "Dev", "Int", ORNA_FMT_INT32, 1, ++id))}, M, true);
  add("DeliveryKindFromAClient",
      {EncodedRequest(MakeRequest(orna_wire::kDelivery, "Dev", "Int", ORNA_FMT_INT32, 1, ++id))}, M, true);
  // Well-formed, but asking for what can't be given.
  add("HugeOutputCount",
      {EncodedRequest(MakeRequest(orna_wire::kCall, "Dev", "Double", ORNA_FMT_DOUBLE, 0x7fffffff, ++id))},
      ORNA_WORK_AREA_TOO_SMALL, false);
  add("NegativeOutputCount",
      {EncodedRequest(MakeRequest(orna_wire::kCall, "Dev", "Int", ORNA_FMT_INT32, -5, ++id))},
      ORNA_DIMENSION_ERROR, false);
  add("UnknownOutputFormat", {EncodedRequest(MakeRequest(orna_wire::kCall, "Dev", "Int", 600, 1, ++id))},
      ORNA_ILLEGAL_FORMAT, false);
  add("HugeFrameSubscription",
      {EncodedRequest(MakeRequest(orna_wire::kSubscribe, "Dev", "Frame", ORNA_FMT_IMAGE, 0x7fffffff, ++id))},
      ORNA_WORK_AREA_TOO_SMALL, false);
  RequestHeader backwards = MakeRequest(orna_wire::kSubscribe, "Dev", "Counter", ORNA_FMT_INT32, 1, ++id);
  backwards.intervalMs = -100;
  add("NegativeInterval", {EncodedRequest(backwards)}, ORNA_INVALID_ARGUMENT, false);
  add("UnsubscribeWithoutSubscription",
      {EncodedRequest(MakeRequest(orna_wire::kUnsubscribe, "Dev", "Counter", ORNA_FMT_INT32, 1, ++id))},
      ORNA_INVALID_ARGUMENT, false);
  return cases;
}

uint32_t IdOf(const std::string& header) {
  uint32_t id = 0;
  if (header.size() >= 12) memcpy(&id, header.data() + 8, 4);
  return id;
}

class MalformedRequestTest : public LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    server_ = StartServer();
    ASSERT_NE(nullptr, server_);
  }
  bool StillServes() {
    int32_t value = 0;
    DataObject dout{};
    dout.format = ORNA_FMT_INT32;
    dout.count = 1;
    dout.data = &value;
    return ExecLinkEx(server_->Address().c_str(), "Int", &dout, nullptr, ORNA_ACCESS_READ,
                      kCallTimeoutMs) == ORNA_OK &&
           value == 42 && server_->Running();
  }
  TestServerProcess* server_ = nullptr;
};

TEST_F(MalformedRequestTest, EachIsRefusedOrDroppedAndTheServerGoesOn) {
  RawDealer raw(server_->Endpoint());
  ASSERT_TRUE(raw.connected());
  long malformedBefore = DescribedNumber(*server_, "malformed");
  int malformedSent = 0;
  for (const Garbage& g : GarbageCases()) {
    SCOPED_TRACE(g.name);
    ASSERT_TRUE(raw.Send(g.parts));
    orna_wire::ReplyHeader reply;
    bool answered = raw.ReceiveReply(&reply, g.expected == kDropped ? 300 : kCallTimeoutMs);
    if (g.expected == kDropped) {
      EXPECT_FALSE(answered) << "answered " << reply.result;
    } else {
      ASSERT_TRUE(answered) << "no answer";
      EXPECT_EQ(g.expected, reply.result);
      EXPECT_EQ(IdOf(g.parts[0]), reply.id);
      EXPECT_EQ(erlst[g.expected], std::string(reply.text));
    }
    malformedSent += g.malformed ? 1 : 0;
    ASSERT_TRUE(StillServes());
  }
  EXPECT_EQ(malformedBefore + malformedSent, DescribedNumber(*server_, "malformed"));
  EXPECT_EQ(0, DescribedNumber(*server_, "contracts")) << "a refused subscription made a contract";
}

// A part larger than the packet MTU (64000 here) is not taken in at all: the
// connection that sent it is dropped, and everybody else is still served.
TEST_F(MalformedRequestTest, MessageAboveThePacketMtuIsNotTakenIn) {
  RawDealer raw(server_->Endpoint());
  RequestHeader h = WithInput(500, ORNA_FMT_BYTE, 100000);
  h.access = ORNA_ACCESS_WRITE;
  orna_wire::CopyName(h.property, sizeof h.property, "Echo");
  h.inFormat = ORNA_FMT_TEXT;
  ASSERT_TRUE(raw.Send({EncodedRequest(h), std::string(100000, '7')}));
  orna_wire::ReplyHeader reply;
  EXPECT_FALSE(raw.ReceiveReply(&reply, 1000)) << "answered " << reply.result;
  EXPECT_TRUE(StillServes());
  // Just below the MTU is fine.
  RawDealer other(server_->Endpoint());
  h.id = 501;
  h.inCount = 60000;
  ASSERT_TRUE(other.Send({EncodedRequest(h), std::string(60000, '7')}));
  ASSERT_TRUE(other.ReceiveReply(&reply, kCallTimeoutMs));
  EXPECT_EQ(ORNA_OK, reply.result);
  EXPECT_EQ(501u, reply.id);
}

}  // namespace
