// A server's life on loopback: remote exit allowed and refused, a port already taken
// failing _SystemInit, and the background task at its interval.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/orna/loopback_fixture.h"

namespace {

using ServerLifecycleTest = LoopbackTest;

int ReadInt(const std::string& address, const char* property) {
  int32_t value = -1;
  DataObject dout{};
  dout.format = ORNA_FMT_INT32;
  dout.count = 1;
  dout.data = &value;
  int result = ExecLinkEx(address.c_str(), property, &dout, nullptr, ORNA_ACCESS_READ, kCallTimeoutMs);
  return result == ORNA_OK ? value : -result;
}

int RemoteExit(const TestServerProcess& server, short access, bool withInput) {
  int32_t one = 1;
  DataObject din{};
  din.format = ORNA_FMT_INT32;
  din.count = 1;
  din.data = &one;
  return ExecLinkEx(server.Address().c_str(), "SRVEXIT", nullptr, withInput ? &din : nullptr,
                    access, kCallTimeoutMs);
}

TEST_F(ServerLifecycleTest, AllowedRemoteExitRunsTheExitFunctionAndEndsCleanly) {
  TestServerOptions options;
  // Frames running: the exit function must stop their thread before the end.
  options.args = {"--allow-exit", "1", "--frame-hz", "50"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  std::string entry = namesDir_ + "/TEST/ORNATEST";
  ASSERT_TRUE(std::filesystem::exists(entry));

  EXPECT_EQ(ORNA_OK, RemoteExit(*server, ORNA_ACCESS_WRITE, true));
  int status = 0;
  ASSERT_TRUE(server->WaitExit(10000, &status)) << "still running after SRVEXIT";
  EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(0, WEXITSTATUS(status)) << server->Stderr();
  EXPECT_NE(std::string::npos, server->Stdout().find("exit function\n")) << server->Stdout();
  EXPECT_FALSE(std::filesystem::exists(entry)) << "names entry left behind";
  EXPECT_NE(std::string::npos, ReadWholeFile(dir_.Join("feclog.log")).find("remote exit of /TEST/ORNATEST"));
}

TEST_F(ServerLifecycleTest, RefusedRemoteExitLeavesTheServerServing) {
  TestServerOptions refusing;
  refusing.args = {"--allow-exit", "0"};
  TestServerOptions allowing;
  allowing.server = "ALLOWING";
  allowing.args = {"--allow-exit", "1"};
  TestServerProcess* closed = StartServer(refusing);
  TestServerProcess* open = StartServer(allowing);
  ASSERT_NE(nullptr, closed);
  ASSERT_NE(nullptr, open);
  struct Case {
    TestServerProcess* server;
    short access;
    bool withInput;
    int expected;
  };
  for (const Case& c : {Case{closed, ORNA_ACCESS_WRITE, true, ORNA_REMOTE_EXIT_REFUSED},
                        Case{open, ORNA_ACCESS_READ, true, ORNA_ILLEGAL_READ_WRITE},
                        Case{open, ORNA_ACCESS_WRITE, false, ORNA_DIMENSION_ERROR}}) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(c.expected, RemoteExit(*c.server, c.access, c.withInput));
    EXPECT_EQ(42, ReadInt(c.server->Address(), "Int"));
    EXPECT_TRUE(c.server->Running());
  }
  for (TestServerProcess* server : {closed, open})
    EXPECT_EQ(std::string::npos, server->Stdout().find("exit function")) << "exit function ran";
}

TEST_F(ServerLifecycleTest, PortAlreadyInUseFailsInit) {
  TestServerProcess* first = StartServer();
  ASSERT_NE(nullptr, first);
  TestServerOptions second;
  second.server = "SECOND";
  second.port = first->port();
  TestServerProcess* late = SpawnServer(second);
  int status = 0;
  ASSERT_TRUE(late->WaitExit(10000, &status)) << "the second server did not give up";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(1, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos, late->Stdout().find("init error: server port already in use"))
      << late->Stdout();
  // The first one is untouched.
  EXPECT_EQ(42, ReadInt(first->Address(), "Int"));
}

TEST_F(ServerLifecycleTest, BackgroundTaskRunsAtItsInterval) {
  TestServerOptions options;
  options.args = {"--background-ms", "100"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  int before = ReadInt(server->Address(), "Background");
  auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  int after = ReadInt(server->Address(), "Background");
  ASSERT_GE(before, 0);
  double expected = SecondsSince(start) / 0.1;
  EXPECT_GE(after - before, 0.4 * expected) << "runs " << before << " -> " << after;
  EXPECT_LE(after - before, 2.0 * expected + 2) << "runs " << before << " -> " << after;
}

}  // namespace
