// hvxserver running with videoservice on loopback: the settings come from the service,
// "Stay Quiet" stops the frames at a restart asked for through DoRestart, and the next
// restart brings them back with the frame numbers going on; the quit switch ends a
// running instance through its exit function.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "server/orna_api.h"
#include "tests/support/wait_until.h"
#include "tests/system/hvx_server_run.h"
#include "tests/system/video_service_run.h"

namespace {

// The waits below read the server's properties each time: not more often than this.
constexpr int kPollMs = 50;

const char kStayQuietStatus[] = "Video Service said stay quiet.";
// DoRestart answers a written 1 with the completion "Server restarting.".
const int kServerRestarting = 513;

std::string ServedSettings(const std::string& imageSourceName) {
  return SettingsXml(WithValue(ValidSettings(), "ImageSource", "Name", imageSourceName));
}

int RunAgain(const HvxServerRun& run, const std::vector<std::string>& args, std::string* output) {
  ChildOptions options;
  options.program = run.dir().Join("hvxserver");
  options.args = args;
  options.environment = run.Environment();
  return RunToEnd(options, 20000, output);
}

// The frame number of the current frame's header (offset 136), or 0 when there is none.
uint32_t CurrentFrameNumber(const HvxServerRun& run) {
  uint8_t header[188] = {};
  DataObject output{};
  output.count = sizeof header;
  output.format = ORNA_FMT_BYTE;
  output.data = header;
  int r = ExecLinkEx(run.Address("Output").c_str(), "Header", &output, nullptr, ORNA_ACCESS_READ,
                     3000);
  if (r != 0 || output.count != int32_t(sizeof header)) return 0;
  uint32_t number = 0;
  memcpy(&number, header + 136, 4);
  return number;
}

// True when the frame number rises within timeoutMs above floor.
bool FramesFlowAbove(const HvxServerRun& run, uint32_t floor, int timeoutMs, uint32_t* seen) {
  return WaitUntil(timeoutMs, [&] {
    *seen = CurrentFrameNumber(run);
    return *seen > floor;
  }, kPollMs);
}

// A server told to stay quiet at start-up runs without its source, on the settings the
// service sent with the answer; the quit switch ends it through its exit function.
TEST(QuitSwitch, RunningInstanceQuitsWith12AndEndsGracefully) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  VideoServiceRun service(run);
  ASSERT_TRUE(service.WriteFile("17.quiet", ServedSettings("served while quiet")));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitServing(10000));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log();

  EXPECT_EQ("served while quiet", ReadText(run.Address("Source"), "Name", true));
  EXPECT_EQ(kStayQuietStatus, ReadText(run.Address("Server"), "Status", true));
  EXPECT_EQ(ServedSettings("served while quiet"), ReadWholeFile(run.dir().Join("settings.xml")));

  std::string output;
  EXPECT_EQ(12, RunAgain(run, {"/q"}, &output)) << output << "\n--- server log:\n" << run.Log();
  int status = 0;
  ASSERT_TRUE(run.WaitExit(10000, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos, run.Stdout().find("Exiting.... (graceful)"));
  EXPECT_NE(std::string::npos, run.Log().find("Previous Instance quit."));
}


TEST(Restart, StayQuietStopsTheFramesAndTheNextRestartBringsThemBack) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  ASSERT_TRUE(run.WriteAnimation(CounterAnimation(16, 8, 10)));
  VideoServiceRun service(run);
  ASSERT_TRUE(service.WriteFile("17.xml", ServedSettings("served camera")));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitServing(10000));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log();

  // The served file, not the local one, names the source.
  EXPECT_EQ("served camera", ReadText(run.Address("Source"), "Name", true));
  uint32_t first = 0, later = 0;
  ASSERT_TRUE(FramesFlowAbove(run, 0, 10000, &first)) << run.Log();
  ASSERT_TRUE(FramesFlowAbove(run, first, 10000, &later)) << run.Log();

  // Quiet mark, restart: the status says so and the frame numbers stand still.
  ASSERT_TRUE(service.WriteFile("17.quiet", ""));
  ASSERT_EQ(kServerRestarting, WriteInt(run.Address("Server"), "DoRestart", 1));
  ASSERT_TRUE(WaitUntil(10000, [&] {
    return ReadText(run.Address("Server"), "Status", true) == kStayQuietStatus;
  }, kPollMs)) << run.Log();
  uint32_t stopped = CurrentFrameNumber(run);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(stopped, CurrentFrameNumber(run));

  // Mark gone, restart again: frames flow with their numbers going on.
  ASSERT_TRUE(service.RemoveFile("17.quiet"));
  ASSERT_EQ(kServerRestarting, WriteInt(run.Address("Server"), "DoRestart", 1));
  uint32_t resumed = 0;
  EXPECT_TRUE(FramesFlowAbove(run, stopped, 10000, &resumed)) << run.Log();
  EXPECT_GT(resumed, later);
  EXPECT_TRUE(WaitUntil(5000, [&] {
    return ReadText(run.Address("Server"), "Status", true) != kStayQuietStatus;
  }, kPollMs));
  EXPECT_NE(std::string::npos, service.Stdout().find("GetCfgForSrvID(17) -> 700"));
}

}  // namespace
