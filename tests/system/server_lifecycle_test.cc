// hvxserver as a process on the real library: it comes up from the files beside it,
// serves, and ends through its exit paths.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "tests/system/hvx_server_run.h"

namespace {

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

}  // namespace
