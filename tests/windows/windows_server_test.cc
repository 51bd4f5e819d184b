// The Windows build of hvxserver, run under Wine, serving this (Linux) side over
// loopback: frames whose pixels match their header, the measured frame rate, a restart,
// Ctrl+C ending it with its log line, the dead-man heartbeat in the Windows registry,
// the quit switch of the Linux server ending the Windows one, and a Windows client on
// the same machine taking frames through the server's shared memory.
//
// Run by scripts/windows-test.sh, which builds the Windows programs and names the
// server in HVX_WINDOWS_SERVER and ornactl in HVX_WINDOWS_ORNACTL (with WINEPREFIX and
// a running wineserver).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "orna/orna_client.h"
#include "orna/orna_api.h"
#include "source/byte_order.h"
#include "source/frame_slot.h"
#include "source/playback_order.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"
#include "tests/system/hvx_server_run.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kFrames = 16;
// Wine starts a program in about a second once its wineserver runs; generous bounds.
constexpr int kStartMs = 30000;
constexpr int kPollMs = 100;

class WindowsServer : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* exe = getenv("HVX_WINDOWS_SERVER");
    ASSERT_TRUE(exe != nullptr && *exe != '\0')
        << "HVX_WINDOWS_SERVER must name the Windows hvxserver.exe (scripts/windows-test.sh)";
    ASSERT_TRUE(run_.UseWindowsServer(exe));
    run_.settings() = WithValue(run_.settings(), "Hardware", "LimitFramerate", "25");
  }

  void StartServer() {
    ASSERT_TRUE(run_.WriteSettings());
    ASSERT_TRUE(run_.WriteAnimation(CounterAnimation(kWidth, kHeight, kFrames)));
    ASSERT_TRUE(run_.Start());
    ASSERT_TRUE(run_.WaitServing(kStartMs)) << run_.Log() << run_.Stderr();
  }

  // Ends the server by Ctrl+C; true when it ended in time.
  bool Stop() {
    int status = 0;
    run_.Signal(SIGINT);
    return run_.WaitExit(10000, &status);
  }

  double ReadFrameRate() {
    float rate = 0;
    DataObject output{};
    output.count = 1;
    output.format = ORNA_FMT_FLOAT;
    output.data = &rate;
    int r = ExecLinkEx(run_.Address("Source").c_str(), "FrameRate", &output, nullptr,
                       ORNA_ACCESS_READ, 3000);
    return r == 0 ? rate : -1;
  }

  HvxServerRun run_;
};

constexpr char kFetchRemark[] = "GetCfgForSrvID(";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Frames of a subscription to Frame.Sched: how many came, and how many had pixels of
// another animation frame than their header's pass number says (the counter pattern:
// every pixel of animation frame i holds i).
struct FrameTally {
  int frames = 0;
  int wrong = 0;
  uint32_t lastFrameNumber = 0;
};

// EXACT: the pixels must be the animation frame the pass number gives (true until the
// first restart, which starts the animation again while pass numbers go on); otherwise
// every pixel must be the same frame's.
void TakeFrames(const HvxServerRun& run, int wanted, bool exact, FrameTally* tally) {
  OrnaSubscription* subscription = nullptr;
  ASSERT_EQ(0, OrnaSubscribe(run.Address("Output").c_str(), "Frame.Sched", ORNA_FMT_IMAGE,
                             kWidth * kHeight, 0, 5000, &subscription));
  OrnaReply reply;
  for (int i = 0; i < wanted * 3 && tally->frames < wanted; ++i) {
    if (OrnaNextDelivery(subscription, &reply, 3000) != 0 || reply.result != 0) continue;
    ++tally->frames;
    if (reply.size != kFramePrefixSize + kWidth * kHeight) {
      ++tally->wrong;
      continue;
    }
    tally->lastFrameNumber = LoadLe32(reply.bytes + kHeaderFrameNumber);
    const uint8_t expected = exact ? uint8_t(PlaybackFrameOfPass(LoadLe32(reply.bytes + kHeaderPassNumber), kFrames))
                                   : reply.bytes[kFramePrefixSize];
    for (int p = 0; p < kWidth * kHeight; ++p) {
      if (reply.bytes[kFramePrefixSize + p] != expected) {
        ++tally->wrong;
        break;
      }
    }
  }
  OrnaUnsubscribe(subscription);
}

TEST_F(WindowsServer, ServesFramesRateAndRestartToALinuxClient) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  FrameTally before;
  ASSERT_NO_FATAL_FAILURE(TakeFrames(run_, 50, true, &before));
  EXPECT_EQ(50, before.frames);
  EXPECT_EQ(0, before.wrong);

  // The rate it measures comes near its limit of 25 frames per second (it averages over
  // a while, start-up included) and stays below it.
  double rate = 0;
  EXPECT_TRUE(WaitUntil(15000, [&] {
    rate = ReadFrameRate();
    return rate > 22.0;
  }, 500)) << rate;
  EXPECT_LT(rate, 26.0);

  int32_t one = 1;
  DataObject input{};
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &one;
  EXPECT_EQ(513, ExecLinkEx(run_.Address("Server").c_str(), "DoRestart", nullptr, &input,
                            ORNA_ACCESS_WRITE, 5000));
  // Every start fetches the settings (no video service runs here): a second fetch is
  // the restart.
  EXPECT_TRUE(WaitUntil(kStartMs, [&] { return Count(run_.Log(), kFetchRemark) >= 2; }, kPollMs))
      << run_.Log();
  FrameTally after;
  ASSERT_NO_FATAL_FAILURE(TakeFrames(run_, 20, false, &after));
  EXPECT_EQ(20, after.frames);
  EXPECT_EQ(0, after.wrong);
  EXPECT_TRUE(Stop());
}

TEST_F(WindowsServer, CtrlCEndsItWithItsLogLine) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  EXPECT_TRUE(Stop());
  EXPECT_NE(std::string::npos,
            run_.Log().find("ConsoleEvent: CTRL-C hit. Application will quit gracefully."))
      << run_.Log();
}

TEST_F(WindowsServer, DeadManHeartbeatIsWrittenIntoTheRegistry) {
  // A name of this run's own, so that runs side by side don't see each other's value.
  const std::string name = "HVXTEST" + std::to_string(run_.basePort());
  run_.settings() = WithValue(run_.settings(), "OrnaServerSettings", "DeadManCircuitName", name);
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ChildOptions query;
  query.program = "/usr/bin/wine";
  query.args = {"reg", "query",
                "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "/v",
                name};
  std::string output;
  EXPECT_TRUE(WaitUntil(10000, [&] {
    return RunToEnd(query, 20000, &output) == 0 && output.find(name) != std::string::npos &&
           output.find("on") != std::string::npos;
  }, 500)) << output;
  EXPECT_TRUE(Stop());
}

TEST_F(WindowsServer, QuitSwitchOfTheLinuxServerEndsIt) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ChildOptions quit;
  quit.program = run_.dir().Join("hvxserver");
  quit.args = {"/q"};
  quit.environment = run_.Environment();
  std::string output;
  std::error_code error;
  std::filesystem::copy_file(HVXSERVER_PATH, quit.program, error);
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(12, RunToEnd(quit, 30000, &output)) << output;
  int status = 0;
  ASSERT_TRUE(run_.WaitExit(10000, &status));
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
}

}  // namespace

namespace {

// A Windows client on the server's machine (the same Wine prefix: the same machine and
// session to the library) takes frames through the server's file mapping, whole and in
// order; the Linux client beside it is of another host and takes them over TCP.
TEST_F(WindowsServer, AWindowsClientOnItsMachineTakesFramesThroughSharedMemory) {
  const char* ornactl = getenv("HVX_WINDOWS_ORNACTL");
  ASSERT_TRUE(ornactl != nullptr && *ornactl != '\0')
      << "HVX_WINDOWS_ORNACTL must name the Windows ornactl.exe (scripts/windows-test.sh)";
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ChildOptions options;
  options.program = "/usr/bin/wine";
  options.args = {ornactl, "monitor", run_.Address("Output"), "Frame.Sched", "--interval", "0",
                  "--updates", "10", "--seconds", "60", "--json"};
  options.environment = run_.Environment();
  std::string output;
  ASSERT_EQ(0, RunToEnd(options, 90000, &output)) << output;
  EXPECT_EQ(10u, Count(output, "\"path\":\"shared memory\"")) << output;
  size_t at = 0;
  long long previous = 0;
  for (int line = 0; line < 10; ++line) {
    at = output.find("\"frameNumber\":", at);
    ASSERT_NE(std::string::npos, at) << output;
    at += strlen("\"frameNumber\":");
    const long long number = strtoll(output.c_str() + at, nullptr, 10);
    EXPECT_GT(number, previous) << output;
    previous = number;
  }
  FrameTally overTcp;
  ASSERT_NO_FATAL_FAILURE(TakeFrames(run_, 5, true, &overTcp));
  EXPECT_EQ(5, overTcp.frames);
  EXPECT_EQ(0, overTcp.wrong);
  EXPECT_TRUE(Stop());
}

}  // namespace
