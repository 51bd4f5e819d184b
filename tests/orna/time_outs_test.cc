// Time-outs of calls on loopback: nothing listening answers 98 after about the
// time-out, a server that answers too late does not leak its answer into the next
// call, and a server still starting is waited for within the time-out.
#include <gtest/gtest.h>

#include <chrono>

#include "orna/names.h"
#include "tests/orna/loopback_fixture.h"

namespace {

using TimeOutTest = LoopbackTest;

// Reads Int through ExecLinkEx; the result and, in *SECONDS, how long it took.
int TimedRead(const std::string& address, const char* property, int timeoutMs, int32_t* value,
              double* seconds) {
  DataObject dout{};
  dout.format = ORNA_FMT_INT32;
  dout.count = 1;
  dout.data = value;
  auto start = std::chrono::steady_clock::now();
  int result = ExecLinkEx(address.c_str(), property, &dout, nullptr, ORNA_ACCESS_READ, timeoutMs);
  *seconds = SecondsSince(start);
  return result;
}

TEST_F(TimeOutTest, NothingListeningAnswers98AfterTheTimeOut) {
  // A names entry (of this live process) for a port nobody listens on.
  int deafPort = FreeLoopbackPort();
  ASSERT_NE(0, deafPort);
  ASSERT_TRUE(OrnaPublishServer("TEST", "DEAF", "tcp://127.0.0.1:" + std::to_string(deafPort)));
  const int timeoutMs = 1000;
  for (const char* address : {"/TEST/UNKNOWN/Dev", "/TEST/DEAF/Dev"}) {
    SCOPED_TRACE(address);
    int32_t value = 0;
    double seconds = 0;
    EXPECT_EQ(ORNA_CONNECTION_TIMEOUT, TimedRead(address, "Int", timeoutMs, &value, &seconds));
    EXPECT_GE(seconds, 0.8 * timeoutMs / 1000.0);
    EXPECT_LE(seconds, 3.0 * timeoutMs / 1000.0);
  }
  OrnaWithdrawServer("TEST", "DEAF");
}

TEST_F(TimeOutTest, LateAnswerDoesNotSurfaceInTheNextCall) {
  TestServerOptions options;
  options.args = {"--slow-ms", "2500"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  const int timeoutMs = 300;
  int32_t value = 0;
  double seconds = 0;
  EXPECT_EQ(ORNA_CONNECTION_TIMEOUT, TimedRead(server->Address(), "Slow", timeoutMs, &value, &seconds));
  EXPECT_GE(seconds, 0.8 * timeoutMs / 1000.0);
  EXPECT_LE(seconds, 3.0 * timeoutMs / 1000.0);
  // Slow answers 1, Int 42: the next call must get its own answer once the server is free.
  value = 0;
  EXPECT_EQ(ORNA_OK, TimedRead(server->Address(), "Int", 10000, &value, &seconds));
  EXPECT_EQ(42, value);
}

TEST_F(TimeOutTest, ServerStillStartingIsWaitedForWithinTheTimeOut) {
  TestServerOptions options;
  options.port = FreeLoopbackPort();
  TestServerProcess* server = SpawnServer(options);
  int32_t value = 0;
  double seconds = 0;
  EXPECT_EQ(ORNA_OK, TimedRead(server->Address(), "Int", 15000, &value, &seconds));
  EXPECT_EQ(42, value);
}

TEST_F(TimeOutTest, SubscribingToNothingAnswers98AfterTheTimeOut) {
  OrnaSubscription* s = nullptr;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ORNA_CONNECTION_TIMEOUT,
            OrnaSubscribe("/TEST/UNKNOWN/Dev", "Counter", ORNA_FMT_INT32, 1, 100, 1000, &s));
  EXPECT_EQ(nullptr, s);
  EXPECT_GE(SecondsSince(start), 0.8);
  EXPECT_LE(SecondsSince(start), 3.0);
}

}  // namespace
