// ExitApplication below the start-up code: without the server's exit path (a test, a
// fuzz target) it releases nothing and only ends the process with a code; with one set,
// every exit goes there.
#include "base/exit_application.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/process_state.h"

namespace {

std::vector<int32_t> gCodes;

void RecordingPath(int32_t code) { gCodes.push_back(code); }

TEST(ExitApplicationTest, WithoutExitPathZeroReturnsAndReleasesNothing) {
  uint8_t buffer[16];
  BaseBuffer.store(buffer);
  ExitApplication(0);
  EXPECT_EQ(BaseBuffer.load(), buffer);
  BaseBuffer.store(nullptr);
}

TEST(ExitApplicationTest, WithoutExitPathNonzeroCodeEndsTheProcessWithIt) {
  EXPECT_EXIT(ExitApplication(kExitSettings), ::testing::ExitedWithCode(kExitSettings), "");
}

TEST(ExitApplicationTest, ExitPathSetTakesEveryCodeUntilTakenAway) {
  gCodes.clear();
  SetExitPath(RecordingPath);
  ExitApplication(0);
  ExitApplication(kExitPropertyRegistration);  // the path, not this call, ends the process
  SetExitPath(nullptr);
  ExitApplication(0);
  EXPECT_EQ(gCodes, (std::vector<int32_t>{0, kExitPropertyRegistration}));
}

}  // namespace
