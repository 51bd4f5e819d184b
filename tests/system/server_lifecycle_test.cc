// hvxserver as a process on the real library: it comes up from the files beside it,
// serves, and ends through its exit paths.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "tests/system/hvx_server_run.h"

namespace {

TEST(ServerLifecycle, ServesUntilCtrlCAndLogsItsGracefulEnd) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  ASSERT_TRUE(run.WriteAnimation(CounterAnimation(16, 8, 4)));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log() << run.Stderr();
  EXPECT_TRUE(run.Running());
  ASSERT_TRUE(run.Signal(SIGINT));
  int status = 0;
  ASSERT_TRUE(run.WaitExit(10000, &status));
  // Not handled: the signal's default action ends the process once all is released.
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_NE(run.Log().find("ConsoleEvent: CTRL-C hit. Application will quit gracefully."),
            std::string::npos)
      << run.Log();
}

TEST(ServerLifecycle, CtrlBreakIsSwallowed) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  ASSERT_TRUE(run.WriteAnimation(CounterAnimation(16, 8, 4)));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log() << run.Stderr();
  std::string before = run.Log();
  ASSERT_TRUE(run.Signal(SIGQUIT));
  int status = 0;
  EXPECT_FALSE(run.WaitExit(500, &status));
  EXPECT_TRUE(run.Running());
  EXPECT_EQ(run.Log(), before);
  ASSERT_TRUE(run.Signal(SIGTERM));
  ASSERT_TRUE(run.WaitExit(10000, &status));
  EXPECT_NE(run.Log().find("ConsoleEvent: Machine is going to shut down."), std::string::npos);
}

TEST(ServerLifecycle, WithoutSettingsItEndsWithOne) {
  HvxServerRun run;
  ASSERT_TRUE(run.Start());
  int status = 0;
  ASSERT_TRUE(run.WaitExit(10000, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(run.Log().find("--- Error: Validating config file on startup failed."),
            std::string::npos);
}

TEST(ServerLifecycle, PortInUseEndsWithInitErrorOnStandardOutput) {
  HvxServerRun first;
  ASSERT_TRUE(first.WriteSettings());
  ASSERT_TRUE(first.WriteAnimation(CounterAnimation(16, 8, 4)));
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(first.WaitServing(10000)) << first.Log();
  // A second server with another name on the same port.
  HvxServerRun second;
  second.settings() = WithValue(second.settings(), "OrnaServerSettings", "ServerName", "HVX.OTHER");
  second.UseBasePort(first.basePort());
  ASSERT_TRUE(second.WriteSettings());
  ASSERT_TRUE(second.WriteAnimation(CounterAnimation(16, 8, 4)));
  ASSERT_TRUE(second.Start());
  int status = 0;
  ASSERT_TRUE(second.WaitExit(10000, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(second.Stdout().find("init error: server port already in use"), std::string::npos)
      << second.Stdout();
  EXPECT_EQ(second.Log().find("init error"), std::string::npos);
}

}  // namespace
