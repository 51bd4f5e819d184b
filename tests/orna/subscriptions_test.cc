// Contracts on loopback: pushed when the module schedules the property and at their
// interval, shared by identical subscribers, capped by MaxNumContracts, expiring when
// abandoned, never carrying a 516 ("already sent") answer, and a subscriber that
// does not read never holding up the others.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/orna/loopback_fixture.h"
#include "tests/orna/raw_dealer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Delivery {
  int result = 0;
  uint32_t sequence = 0;
  short format = 0;
  int32_t count = 0;
  std::string text;
  int32_t value = 0;        // first int32 of the data
  uint32_t frame = 0;       // frame number, for frames
  bool pixelsRight = true;  // every pixel of a frame is the one of its number
  Clock::time_point at;
};

Delivery Summarise(const OrnaReply& reply) {
  Delivery d;
  d.result = reply.result;
  d.sequence = reply.sequence;
  d.format = reply.format;
  d.count = reply.count;
  d.text = reply.text;
  d.at = Clock::now();
  if (reply.bytes != nullptr && reply.size >= 4) memcpy(&d.value, reply.bytes, 4);
  if (reply.format == ORNA_FMT_IMAGE && reply.size >= (size_t)ORNA_FRAME_PREFIX_SIZE) {
    memcpy(&d.frame, reply.bytes + 136, 4);
    d.pixelsRight = reply.size == (size_t)ORNA_FRAME_PREFIX_SIZE + (size_t)reply.count;
    for (size_t i = 0; d.pixelsRight && i < (size_t)reply.count; ++i)
      d.pixelsRight = reply.bytes[ORNA_FRAME_PREFIX_SIZE + i] == uint8_t(d.frame + i);
  }
  return d;
}

// N deliveries, each awaited at most kCallTimeoutMs; fewer when one did not come.
std::vector<Delivery> Take(OrnaSubscription* s, int n) {
  std::vector<Delivery> out;
  for (int i = 0; i < n; ++i) {
    OrnaReply reply;
    if (OrnaNextDelivery(s, &reply, kCallTimeoutMs) != ORNA_OK) break;
    out.push_back(Summarise(reply));
  }
  return out;
}

// The index of the first delivery whose sequence number does not follow the one
// before; the size when all do.
size_t FirstSequenceGap(const std::vector<Delivery>& d) {
  for (size_t i = 1; i < d.size(); ++i)
    if (d[i].sequence != d[i - 1].sequence + 1) return i;
  return d.size();
}

double Span(const std::vector<Delivery>& d) {
  return std::chrono::duration<double>(d.back().at - d.front().at).count();
}

// Frames: all answers 0, whole and right, and each frame at most once, in order.
void ExpectEachFrameOnceInOrder(const std::vector<Delivery>& d, int32_t frameBytes) {
  for (size_t i = 0; i < d.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ORNA_OK, d[i].result) << "delivered: " << d[i].result << " " << d[i].text;
    EXPECT_EQ(ORNA_FMT_IMAGE, d[i].format);
    EXPECT_EQ(frameBytes, d[i].count);
    EXPECT_TRUE(d[i].pixelsRight) << "frame " << d[i].frame;
    if (i > 0) {
      EXPECT_GT(d[i].frame, d[i - 1].frame) << "frame repeated or out of order";
    }
  }
  EXPECT_EQ(d.size(), FirstSequenceGap(d));
}

class SubscriptionTest : public LoopbackTest {
 protected:
  OrnaSubscription* Subscribe(const TestServerProcess& server, const char* property, short format,
                              int32_t count, int intervalMs, int* result = nullptr) {
    OrnaSubscription* s = nullptr;
    int r = OrnaSubscribe(server.Address().c_str(), property, format, count, intervalMs,
                          kCallTimeoutMs, &s);
    if (result != nullptr) *result = r;
    else EXPECT_EQ(ORNA_OK, r) << property;
    if (s != nullptr) subscriptions_.push_back(s);
    return s;
  }
  void Unsubscribe(OrnaSubscription* s) {
    for (auto& held : subscriptions_)
      if (held == s) held = nullptr;
    OrnaUnsubscribe(s);
  }
  void TearDown() override {
    for (OrnaSubscription* s : subscriptions_) OrnaUnsubscribe(s);
    subscriptions_.clear();
    LoopbackTest::TearDown();
  }
  // Frame.Sched answers 517 until the frame thread has made its first frame; a
  // subscription made before would get that answer first.
  bool FirstFrameMade(const TestServerProcess& server) {
    return WaitUntil(5000, [&] {
      OrnaRequest request;
      request.outFormat = ORNA_FMT_IMAGE;
      request.outCount = 1 << 20;
      OrnaReply reply;
      OrnaCall(server.Address().c_str(), "Frame", request, &reply, kCallTimeoutMs);
      return reply.result != 517;
    });
  }
  bool ContractsBecome(const TestServerProcess& server, long n) {
    return WaitUntil(5000, [&] { return DescribedNumber(server, "contracts") == n; });
  }

  std::vector<OrnaSubscription*> subscriptions_;
};

TEST_F(SubscriptionTest, ScheduledPropertyIsPushedOncePerFrame) {
  const int frameBytes = 50000;
  TestServerOptions options;
  options.args = {"--frame-hz", "25", "--frame-bytes", std::to_string(frameBytes)};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  OrnaSubscription* s = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0);
  ASSERT_NE(nullptr, s);
  std::vector<Delivery> d = Take(s, 12);
  ASSERT_EQ(12u, d.size());
  ExpectEachFrameOnceInOrder(d, frameBytes);
  // Pushed as frames are made (11 periods of 40 ms), not as fast as possible.
  EXPECT_GT(Span(d), 0.2);
}

// Every schedule must wake the cycle: a wake-up lost between the module's schedule and
// the cycle's draining once left frames going out only at the cycle's longest wait
// (a handful a second) for good.
TEST_F(SubscriptionTest, SchedulesKeepWakingTheCycleAtAHighFrameRate) {
  TestServerOptions options;
  // As fast as the module can make them: the lost wake-up needs a schedule to land in
  // the moment between the cycle's draining and its clearing of the mark.
  options.args = {"--frame-hz", "1000000", "--frame-bytes", "1024"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  OrnaSubscription* s = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, 1024, 0);
  ASSERT_NE(nullptr, s);
  int received = 0;
  int lastSecond = 0;
  auto start = Clock::now();
  while (Clock::now() - start < std::chrono::seconds(4)) {
    OrnaReply reply;
    if (OrnaNextDelivery(s, &reply, 500) != ORNA_OK) continue;
    ++received;
    if (Clock::now() - start >= std::chrono::seconds(3)) ++lastSecond;
  }
  // Thousands of frames a second are made; a stuck wake-up lets through about 4.
  EXPECT_GT(received, 100);
  EXPECT_GT(lastSecond, 20);
}

// A contract that also has an interval reads the property between frames; those reads
// answer 516 and must send nothing.
TEST_F(SubscriptionTest, AlreadySentAnswersAreNotDelivered) {
  const int frameBytes = 4096;
  TestServerOptions options;
  options.args = {"--frame-hz", "10", "--frame-bytes", std::to_string(frameBytes),
                  "--min-polling", "20"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  OrnaSubscription* s = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 25);
  ASSERT_NE(nullptr, s);
  std::vector<Delivery> d = Take(s, 8);
  ASSERT_EQ(8u, d.size());
  ExpectEachFrameOnceInOrder(d, frameBytes);
  EXPECT_GT(Span(d), 0.35) << "7 frame periods of 100 ms went by faster";
}

TEST_F(SubscriptionTest, IntervalContractIsReadAtItsInterval) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  OrnaSubscription* s = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100);
  ASSERT_NE(nullptr, s);
  std::vector<Delivery> d = Take(s, 11);
  ASSERT_EQ(11u, d.size());
  EXPECT_EQ(d.size(), FirstSequenceGap(d));
  for (size_t i = 1; i < d.size(); ++i) EXPECT_GT(d[i].value, d[i - 1].value);
  // Ten intervals of 100 ms.
  EXPECT_GT(Span(d), 0.5);
  EXPECT_LT(Span(d), 3.0);
}

TEST_F(SubscriptionTest, IntervalIsRaisedToMinPollingRate) {
  TestServerOptions options;
  options.args = {"--min-polling", "200"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  OrnaSubscription* s = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 10);
  ASSERT_NE(nullptr, s);
  std::vector<Delivery> d = Take(s, 6);
  ASSERT_EQ(6u, d.size());
  // Five intervals of at least 200 ms, not 10 ms.
  EXPECT_GT(Span(d), 0.8);
}

TEST_F(SubscriptionTest, IdenticalSubscribersShareOneContract) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  OrnaSubscription* a = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100);
  ASSERT_NE(nullptr, a);
  ASSERT_EQ(3u, Take(a, 3).size());
  OrnaSubscription* b = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100);
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(1, DescribedNumber(*server, "contracts"));

  // Every read of the shared contract reaches both: same sequence, same value.
  std::vector<Delivery> fromB = Take(b, 5);
  ASSERT_EQ(5u, fromB.size());
  std::map<uint32_t, int32_t> seenByA;
  for (int i = 0; i < 40 && seenByA.count(fromB.back().sequence) == 0; ++i) {
    std::vector<Delivery> one = Take(a, 1);
    if (one.empty()) break;
    seenByA[one[0].sequence] = one[0].value;
  }
  for (const Delivery& d : fromB) {
    ASSERT_EQ(1u, seenByA.count(d.sequence)) << "A missed delivery " << d.sequence;
    EXPECT_EQ(seenByA[d.sequence], d.value) << "delivery " << d.sequence;
  }

  // Another interval is another contract.
  OrnaSubscription* c = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 200);
  ASSERT_NE(nullptr, c);
  EXPECT_EQ(2, DescribedNumber(*server, "contracts"));

  // The shared contract lives on with one subscriber left, and ends with the last.
  Unsubscribe(c);
  Unsubscribe(a);
  EXPECT_TRUE(ContractsBecome(*server, 1));
  EXPECT_EQ(2u, Take(b, 2).size());
  Unsubscribe(b);
  EXPECT_TRUE(ContractsBecome(*server, 0));
}

TEST_F(SubscriptionTest, ContractsAreCappedAtMaxNumContracts) {
  TestServerOptions options;
  options.args = {"--max-contracts", "2"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  OrnaSubscription* first = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100);
  OrnaSubscription* second = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 200);
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  int result = 0;
  EXPECT_EQ(nullptr, Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 300, &result));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, result);
  // Joining an existing contract needs no new one.
  EXPECT_NE(nullptr, Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100, &result));
  EXPECT_EQ(ORNA_OK, result);
  EXPECT_EQ(2, DescribedNumber(*server, "contracts"));
  // A contract that ended makes room.
  Unsubscribe(second);
  ASSERT_TRUE(ContractsBecome(*server, 1));
  EXPECT_NE(nullptr, Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 300, &result));
  EXPECT_EQ(ORNA_OK, result);
}

// A subscriber whose connection went without unsubscribing: its contract ends once
// the lease has run out (here the property is never read again, so only the lease can
// end it).
TEST_F(SubscriptionTest, AbandonedSubscriptionExpires) {
  TestServerOptions options;
  options.environment = {{"ORNA_CONTRACT_LEASE_MS", "300"}};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  RawDealer raw(server->Endpoint());
  ASSERT_TRUE(raw.Send({EncodedRequest(MakeRequest(orna_wire::kSubscribe, "Dev", "Int",
                                                   ORNA_FMT_INT32, 1, 77))}));
  orna_wire::ReplyHeader ack;
  ASSERT_TRUE(raw.ReceiveReply(&ack, kCallTimeoutMs));
  EXPECT_EQ(orna_wire::kSubscribe, ack.kind);
  EXPECT_EQ(77u, ack.id);
  EXPECT_EQ(ORNA_OK, ack.result);
  EXPECT_EQ(300u, ack.aux2) << "lease announced to the client";
  EXPECT_EQ(1, DescribedNumber(*server, "contracts"));
  raw.Close();
  EXPECT_TRUE(ContractsBecome(*server, 0));
}

TEST_F(SubscriptionTest, RenewingSubscriberOutlivesTheLease) {
  TestServerOptions options;
  options.environment = {{"ORNA_CONTRACT_LEASE_MS", "800"}};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  OrnaSubscription* s = Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100);
  ASSERT_NE(nullptr, s);
  // Thirty intervals, over three leases: a contract that lapsed and was made anew
  // would start its sequence again.
  std::vector<Delivery> d = Take(s, 31);
  ASSERT_EQ(31u, d.size());
  EXPECT_EQ(d.size(), FirstSequenceGap(d));
  EXPECT_EQ(1, DescribedNumber(*server, "contracts"));
}

// Two subscribers of one contract, one of which never reads: the other still gets
// every frame at the frame rate, and the server drops (and counts) what the slow one
// can't take.
TEST_F(SubscriptionTest, SlowSubscriberDoesNotDelayTheOthers) {
  const int frameBytes = 200000;
  const double hz = 50;
  TestServerOptions options;
  options.args = {"--frame-hz", "50", "--frame-bytes", std::to_string(frameBytes)};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  OrnaSubscription* fast = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0);
  ASSERT_NE(nullptr, fast);
  RawDealer::Options tiny;
  tiny.receiveHwm = 1;
  tiny.receiveBuffer = 65536;
  RawDealer slow(server->Endpoint(), tiny);
  ASSERT_TRUE(slow.Send({EncodedRequest(MakeRequest(orna_wire::kSubscribe, "Dev", "Frame.Sched",
                                                    ORNA_FMT_IMAGE, frameBytes, 1))}));
  ASSERT_TRUE(WaitUntil(5000, [&] { return DescribedNumber(*server, "contracts") == 1; }));

  std::vector<Delivery> d;
  long dropped = 0;
  Clock::time_point start = Clock::now(), nextLook = start;
  while (SecondsSince(start) < 8.0 && (SecondsSince(start) < 3.0 || dropped <= 0)) {
    std::vector<Delivery> one = Take(fast, 1);
    ASSERT_EQ(1u, one.size()) << "the fast subscriber stalled after " << d.size();
    d.push_back(one[0]);
    if (Clock::now() >= nextLook) {
      dropped = DescribedNumber(*server, "dropped");
      nextLook = Clock::now() + std::chrono::milliseconds(250);
    }
  }
  EXPECT_GT(dropped, 0) << "nothing was dropped for the subscriber that never reads";
  EXPECT_EQ(1, DescribedNumber(*server, "contracts"));
  ExpectEachFrameOnceInOrder(d, frameBytes);
  // Most of the frames made meanwhile reached it (a server held up by the slow one
  // would skip frames), at a rate near the frame rate when the machine keeps up.
  uint32_t made = d.back().frame - d.front().frame + 1;
  EXPECT_GE(d.size(), made / 2) << d.size() << " of " << made << " frames";
  double rate = (double)(d.size() - 1) / Span(d);
  EXPECT_GT(rate, 0.2 * hz) << d.size() << " frames in " << Span(d) << " s";
}

// Subscriptions the module can't serve take no contract: an unknown device, and a
// property its first read calls unknown.
TEST_F(SubscriptionTest, UnknownDeviceOrPropertyIsRefusedWithoutAContract) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  RawDealer junk(server->Endpoint());
  for (uint32_t i = 0; i < 200; ++i) {
    const bool device = i % 2 == 0;
    ASSERT_TRUE(junk.Send({EncodedRequest(MakeRequest(orna_wire::kSubscribe,
                                                      device ? "Nowhere" : "Dev",
                                                      device ? "Counter" : "Nothing",
                                                      ORNA_FMT_INT32, 1, i + 1))}));
    orna_wire::ReplyHeader ack;
    ASSERT_TRUE(junk.ReceiveReply(&ack, kCallTimeoutMs)) << i;
    EXPECT_EQ(device ? ORNA_ILLEGAL_DEVICE : ORNA_ILLEGAL_PROPERTY, ack.result) << i;
  }
  EXPECT_EQ(0, DescribedNumber(*server, "contracts"));
  int result = 0;
  EXPECT_EQ(nullptr, Subscribe(*server, "Nothing", ORNA_FMT_INT32, 1, 100, &result));
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, result);
  EXPECT_NE(nullptr, Subscribe(*server, "Counter", ORNA_FMT_INT32, 1, 100));
}

// A subscription reaches the device the module selects for its name, as a call does:
// "dev" and "DEVICE" are Dev, and all names of one device share its contracts, so the
// scheduled property is still read once per frame for them all (a read per name would
// find the frame already sent). A property the selected device lacks is refused with
// "illegal property", scheduled or not, and a name that selects no device with
// "illegal device"; neither takes a contract.
TEST_F(SubscriptionTest, SubscriptionsGoToTheDeviceTheModuleSelects) {
  const int frameBytes = 4096;
  TestServerOptions options;
  options.args = {"--frame-hz", "25", "--frame-bytes", std::to_string(frameBytes)};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  auto subscribe = [&](const char* device, const char* property, short format, int32_t count,
                       int intervalMs, int* result) {
    OrnaSubscription* s = nullptr;
    *result = OrnaSubscribe(server->Address(device).c_str(), property, format, count, intervalMs,
                            kCallTimeoutMs, &s);
    if (s != nullptr) subscriptions_.push_back(s);
    return s;
  };
  int result = -1;
  EXPECT_EQ(nullptr, subscribe("Other", "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, &result));
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, result) << "Other's records don't list Frame.Sched";
  EXPECT_EQ(nullptr, subscribe("Nowhere", "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, &result));
  EXPECT_EQ(ORNA_ILLEGAL_DEVICE, result);
  EXPECT_EQ(nullptr, subscribe("nowhere", "Int", ORNA_FMT_INT32, 1, 100, &result));
  EXPECT_EQ(ORNA_ILLEGAL_DEVICE, result);
  EXPECT_EQ(0, DescribedNumber(*server, "contracts"));

  OrnaSubscription* lower = subscribe("dev", "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, &result);
  ASSERT_EQ(ORNA_OK, result);
  OrnaSubscription* longer = subscribe("DEVICE", "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, &result);
  ASSERT_EQ(ORNA_OK, result);
  OrnaSubscription* exact = subscribe("Dev", "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, &result);
  ASSERT_EQ(ORNA_OK, result);
  OrnaSubscription* value = subscribe("dEv", "Int", ORNA_FMT_INT32, 1, 100, &result);
  ASSERT_EQ(ORNA_OK, result);
  EXPECT_EQ(2, DescribedNumber(*server, "contracts")) << "one contract per device, not per name";

  for (OrnaSubscription* s : {lower, longer, exact}) {
    std::vector<Delivery> d = Take(s, 6);
    ASSERT_EQ(6u, d.size()) << "a subscriber starved";
    ExpectEachFrameOnceInOrder(d, frameBytes);
  }
  std::vector<Delivery> values = Take(value, 2);
  ASSERT_EQ(2u, values.size());
  EXPECT_EQ(ORNA_OK, values[0].result);
  EXPECT_EQ(42, values[0].value);
}

// Subscribers of one scheduled property that ask for different counts or intervals
// hold different contracts; one read per frame serves them all, each as if it had read
// alone, so none uses up a frame before another got it.
TEST_F(SubscriptionTest, EveryContractOfAScheduledPropertyGetsTheSameFrames) {
  const int frameBytes = 50000;
  TestServerOptions options;
  options.args = {"--frame-hz", "25", "--frame-bytes", std::to_string(frameBytes)};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  OrnaSubscription* exact = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0);
  OrnaSubscription* larger = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, 400000, 0);
  OrnaSubscription* tooSmall = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, 1000, 0);
  OrnaSubscription* slower = Subscribe(*server, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 200);
  ASSERT_TRUE(exact != nullptr && larger != nullptr && tooSmall != nullptr && slower != nullptr);
  // And one with yet another count that never reads.
  RawDealer::Options tiny;
  tiny.receiveHwm = 1;
  tiny.receiveBuffer = 65536;
  RawDealer stalled(server->Endpoint(), tiny);
  ASSERT_TRUE(stalled.Send({EncodedRequest(MakeRequest(orna_wire::kSubscribe, "Dev", "Frame.Sched",
                                                       ORNA_FMT_IMAGE, 60000, 0))}));
  ASSERT_TRUE(ContractsBecome(*server, 5));

  std::vector<Delivery> a, b;
  for (int i = 0; i < 15; ++i) {
    std::vector<Delivery> one = Take(exact, 1), two = Take(larger, 1);
    ASSERT_EQ(1u, one.size()) << "the subscriber of count " << frameBytes << " starved";
    ASSERT_EQ(1u, two.size()) << "the subscriber of count 400000 starved";
    a.push_back(one[0]);
    b.push_back(two[0]);
  }
  ExpectEachFrameOnceInOrder(a, frameBytes);
  ExpectEachFrameOnceInOrder(b, frameBytes);
  // From the frame both had subscribed by on, both got the same frames.
  const uint32_t common = std::max(a.front().frame, b.front().frame);
  std::vector<uint32_t> fromA, fromB;
  for (const Delivery& d : a) if (d.frame >= common) fromA.push_back(d.frame);
  for (const Delivery& d : b) if (d.frame >= common) fromB.push_back(d.frame);
  const size_t n = std::min(fromA.size(), fromB.size());
  ASSERT_GE(n, 10u);
  for (size_t i = 0; i < n; ++i) EXPECT_EQ(fromA[i], fromB[i]) << i;
  uint32_t made = a.back().frame - a.front().frame + 1;
  EXPECT_GE(a.size() * 2, made) << a.size() << " of " << made << " frames";

  // A count that can't hold the frame gets what it would get alone, not silence.
  std::vector<Delivery> refused = Take(tooSmall, 2);
  ASSERT_EQ(2u, refused.size());
  for (const Delivery& d : refused) {
    EXPECT_EQ(ORNA_DIMENSION_ERROR, d.result);
    EXPECT_EQ(0, d.count);
  }
  // An interval contract takes a frame at most once per interval, from the same reads.
  std::vector<Delivery> sampled = Take(slower, 4);
  ASSERT_EQ(4u, sampled.size());
  ExpectEachFrameOnceInOrder(sampled, frameBytes);
  for (size_t i = 1; i < sampled.size(); ++i)  // 200 ms are 5 frame periods
    EXPECT_GE(sampled[i].frame - sampled[i - 1].frame, 4u) << "sooner than its interval";
  EXPECT_EQ(0, LoansOf(*server).misuses);
}

// A scheduled property that refuses the largest count asked for is asked again with the
// next smaller one: the contracts of that count get the refusal, the others their value.
TEST_F(SubscriptionTest, ARefusedLargerCountStillLeavesTheSmallerOnesServed) {
  TestServerOptions options;
  options.args = {"--frame-hz", "25"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  OrnaSubscription* tooMany = Subscribe(*server, "Numbers.Sched", ORNA_FMT_INT32, 8, 0);
  OrnaSubscription* two = Subscribe(*server, "Numbers.Sched", ORNA_FMT_INT32, 2, 0);
  ASSERT_TRUE(tooMany != nullptr && two != nullptr);
  std::vector<Delivery> served = Take(two, 3);
  ASSERT_EQ(3u, served.size()) << "the smaller count was never read";
  for (const Delivery& d : served) {
    EXPECT_EQ(ORNA_OK, d.result);
    EXPECT_EQ(2, d.count);
    EXPECT_GT(d.value, 0);  // a frame's number
  }
  std::vector<Delivery> refused = Take(tooMany, 2);
  ASSERT_EQ(2u, refused.size());
  for (const Delivery& d : refused) EXPECT_EQ(ORNA_DIMENSION_ERROR, d.result);
}

// Frames only a stalled subscriber wants are lent and given back at once, never copied.
TEST_F(SubscriptionTest, FramesNobodyCanTakeAreNotCopiedAndTheirLoansEnd) {
  const int frameBytes = 200000;
  TestServerOptions options;
  options.args = {"--frame-hz", "50", "--frame-bytes", std::to_string(frameBytes)};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(FirstFrameMade(*server));
  RawDealer::Options tiny;
  tiny.receiveHwm = 1;
  tiny.receiveBuffer = 65536;
  RawDealer stalled(server->Endpoint(), tiny);
  ASSERT_TRUE(stalled.Send({EncodedRequest(MakeRequest(orna_wire::kSubscribe, "Dev", "Frame.Sched",
                                                       ORNA_FMT_IMAGE, frameBytes, 0))}));
  ASSERT_TRUE(ContractsBecome(*server, 1));
  ASSERT_TRUE(WaitUntil(10000, [&] { return DescribedNumber(*server, "dropped") >= 40; }));
  Loans loans = LoansOf(*server);
  long copies = DescribedNumber(*server, "pixelCopies");
  EXPECT_EQ(loans.lent, loans.released);
  EXPECT_EQ(0, loans.misuses);
  EXPECT_GE(loans.lent, 40);
  EXPECT_LT(copies, loans.lent / 2) << copies << " copies of " << loans.lent << " frames read";
}

}  // namespace
