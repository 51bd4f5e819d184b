// hvxserver started from outside on the real library on loopback, where it does not
// come to serve: the quit switch with no instance to quit, and start-ups whose video
// service sends an unusable file or can't be reached.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/wait_until.h"
#include "tests/system/hvx_server_run.h"
#include "tests/system/video_service_run.h"

namespace {

using Clock = std::chrono::steady_clock;

// The wait below reads the server's log each time: not more often than this.
constexpr int kPollMs = 50;

TEST(QuitSwitch, WithoutInstanceEndsWith13AfterTheTimeOut) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  ASSERT_TRUE(run.Start({"/q"}));
  auto start = Clock::now();
  int status = 0;
  ASSERT_TRUE(run.WaitExit(20000, &status));
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(13, WEXITSTATUS(status));
  // The library's time-out is 1100 ms; generous bounds around it.
  EXPECT_GE(seconds, 1.0);
  EXPECT_LT(seconds, 15.0);
  EXPECT_NE(std::string::npos,
            run.Log().find("No previous instance could be contacted (connection_timeout)."));
  // The quit switch never serves: nothing was registered in the names directory.
  std::error_code error;
  EXPECT_FALSE(std::filesystem::exists(run.dir().Join("names/TEST/HVX.TEST"), error));
}

// A file from the service that is not a settings file ends the start with exit code 1
// and leaves the local file in place for the next start.
TEST(ServedSettings, UnusableFileEndsWithOneAndKeepsTheLocalFile) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  std::string local = ReadWholeFile(run.dir().Join("settings.xml"));
  VideoServiceRun service(run);
  ASSERT_TRUE(service.WriteFile("17.xml", "<CIniExWrap><Hardware/></CIniExWrap>"));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitServing(10000));
  ASSERT_TRUE(run.Start());
  int status = 0;
  ASSERT_TRUE(run.WaitExit(20000, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(1, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos,
            run.Log().find("--- Error validating configuration file from ORNA Video Service."));
  EXPECT_EQ(local, ReadWholeFile(run.dir().Join("settings.xml")));
}

// Without a service the server starts on its local file after the remark.
TEST(ServedSettings, UnreachableServiceLeavesTheLocalFile) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  ASSERT_TRUE(run.Start());
  EXPECT_TRUE(WaitUntil(15000, [&] {
    return run.Log().find("--- Remark: ORNA Video Service GetCfgForSrvID(17) returned 98") !=
           std::string::npos;
  }, kPollMs));
}

}  // namespace
