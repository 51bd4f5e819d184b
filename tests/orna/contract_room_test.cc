// Room in the contract table on loopback: one party flooding it from many connections
// leaves room for a newcomer, a subscription the caps refuse reads nothing, and a
// subscriber gone before its answer leaves the server serving.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/orna/loopback_fixture.h"
#include "tests/orna/raw_dealer.h"

namespace {

class ContractRoomTest : public LoopbackTest {
 protected:
  void TearDown() override {
    for (OrnaSubscription* s : subscriptions_) OrnaUnsubscribe(s);
    subscriptions_.clear();
    LoopbackTest::TearDown();
  }
  // Subscribes through the library's client; null when refused, with the result.
  OrnaSubscription* Subscribe(const TestServerProcess& server, const char* property, short format,
                              int32_t count, int intervalMs, int* result) {
    OrnaSubscription* s = nullptr;
    *result = OrnaSubscribe(server.Address().c_str(), property, format, count, intervalMs,
                            kCallTimeoutMs, &s);
    if (s != nullptr) subscriptions_.push_back(s);
    return s;
  }
  // Deliveries answered 0 among the next N, each awaited at most TIMEOUT_MS.
  int Delivered(OrnaSubscription* s, int n, int timeoutMs) {
    int good = 0;
    for (int i = 0; i < n; ++i) {
      OrnaReply reply;
      if (OrnaNextDelivery(s, &reply, timeoutMs) != ORNA_OK) break;
      good += reply.result == ORNA_OK ? 1 : 0;
    }
    return good;
  }
  // The answer to the subscription sent last on DEALER (deliveries skipped).
  static int SubscribeAck(RawDealer& dealer, const char* property, int intervalMs, uint32_t id) {
    orna_wire::RequestHeader request =
        MakeRequest(orna_wire::kSubscribe, "Dev", property, ORNA_FMT_INT32, 1, id);
    request.intervalMs = intervalMs;
    if (!dealer.Send({EncodedRequest(request)})) return -1;
    orna_wire::ReplyHeader ack;
    do {
      if (!dealer.ReceiveReply(&ack, kCallTimeoutMs)) return -1;
    } while (ack.kind != orna_wire::kSubscribe || ack.id != id);
    return ack.result;
  }
  int32_t ReadInt(const TestServerProcess& server, const char* property) {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_INT32;
    request.outCount = 1;
    OrnaReply reply;
    int32_t value = -1;
    if (OrnaCall(server.Address().c_str(), property, request, &reply, kCallTimeoutMs) == ORNA_OK &&
        reply.size >= 4)
      memcpy(&value, reply.bytes, 4);
    return value;
  }

  std::vector<OrnaSubscription*> subscriptions_;
};

// Thirteen connections of one address each ask for 300 contracts of intervals a
// millisecond apart, and ask again as renewals would: the table is full, yet a new
// client gets its three contracts (a scheduled frame among them), keeps them through
// the next renewal round, and is served.
TEST_F(ContractRoomTest, ThirteenConnectionsOf300LeaveRoomForANewClient) {
  const int frameBytes = 4096;
  TestServerOptions options;
  options.args = {"--frame-hz", "25", "--frame-bytes", std::to_string(frameBytes)};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  std::vector<std::unique_ptr<RawDealer>> flood;
  for (int c = 0; c < 13; ++c) flood.push_back(std::make_unique<RawDealer>(server->Endpoint()));
  auto round = [&](uint32_t firstId) {
    for (int c = 0; c < 13; ++c) {
      for (int i = 0; i < 300; ++i) {
        orna_wire::RequestHeader request = MakeRequest(
            orna_wire::kSubscribe, "Dev", "Int", ORNA_FMT_INT32, 1, firstId + uint32_t(c * 300 + i));
        request.intervalMs = 60000 + c * 300 + i;
        if (!flood[c]->Send({EncodedRequest(request)})) return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(round(1));
  ASSERT_TRUE(WaitUntil(30000, [&] { return DescribedNumber(*server, "contracts") == 1000; }))
      << DescribedNumber(*server, "contracts") << " contracts";

  int result = -1;
  OrnaSubscription* frames = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, &result);
  ASSERT_EQ(ORNA_OK, result) << "a new client was kept out of the full table";
  OrnaSubscription* value = Subscribe(*server, "Int", ORNA_FMT_INT32, 1, 100, &result);
  ASSERT_EQ(ORNA_OK, result);
  OrnaSubscription* text = Subscribe(*server, "Text", ORNA_FMT_TEXT, 64, 200, &result);
  ASSERT_EQ(ORNA_OK, result);

  // The flood renews; what it lost comes back only where a flooder holds two more.
  // (The server works through the flood before the next frame: a sanitizer build on a
  // busy machine may take seconds.)
  ASSERT_TRUE(round(10000));
  const int patienceMs = 20000;
  EXPECT_EQ(5, Delivered(frames, 5, patienceMs)) << "frames stopped";
  EXPECT_EQ(3, Delivered(value, 3, patienceMs));
  EXPECT_EQ(2, Delivered(text, 2, patienceMs));
  EXPECT_LE(DescribedNumber(*server, "contracts"), 1000);
}

// A subscription refused by the caps (one connection's share, or a full table) answers
// 45 without reading the property: a read could have used up a scheduled frame.
TEST_F(ContractRoomTest, SubscriptionRefusedForRoomReadsNothing) {
  TestServerOptions options;
  options.args = {"--max-contracts", "4"};  // a connection's share: 1
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  RawDealer first(server->Endpoint());
  EXPECT_EQ(ORNA_OK, SubscribeAck(first, "Int", 100, 1));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, SubscribeAck(first, "Counter", 100, 2)) << "beyond its share";
  std::vector<std::unique_ptr<RawDealer>> others;
  for (int i = 0; i < 3; ++i) {
    others.push_back(std::make_unique<RawDealer>(server->Endpoint()));
    EXPECT_EQ(ORNA_OK, SubscribeAck(*others.back(), "Int", 200 + i, 1));
  }
  RawDealer late(server->Endpoint());
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, SubscribeAck(late, "Counter", 100, 1)) << "table full";
  EXPECT_EQ(1, ReadInt(*server, "Counter")) << "a refused subscription read the property";
}

// A client that goes while its first read is made: the answer finds it gone and its
// contract ended, and the first delivery must not be made to that ended contract
// (AddressSanitizer tells; any build: the server goes on serving).
TEST_F(ContractRoomTest, SubscriberGoneBeforeItsAnswerLeavesTheServerServing) {
  TestServerOptions options;
  options.args = {"--slow-ms", "400"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  for (uint32_t i = 1; i <= 3; ++i) {
    RawDealer gone(server->Endpoint());
    orna_wire::RequestHeader request =
        MakeRequest(orna_wire::kSubscribe, "Dev", "Slow", ORNA_FMT_INT32, 1, i);
    request.intervalMs = 1000;
    ASSERT_TRUE(gone.Send({EncodedRequest(request)}));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // out, and being read
    gone.Close();
    ASSERT_TRUE(WaitUntil(10000, [&] { return DescribedNumber(*server, "contracts") == 0; }));
  }
  EXPECT_EQ(42, ReadInt(*server, "Int"));
  EXPECT_TRUE(server->Running());
}

}  // namespace
