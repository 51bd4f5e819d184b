// The platform layer's Sys* wrappers against the contracts the server relies on.

#include "platform/sys.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "tests/fakes/fake_executable_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// ---- Semaphores ------------------------------------------------------------------

TEST(SysSemaphore, UnusableCountsGiveNoHandle) {
  EXPECT_EQ(nullptr, SysCreateSemaphore(0, 0));
  EXPECT_EQ(nullptr, SysCreateSemaphore(2, 1));
}

TEST(SysSemaphore, ReleaseBeyondMaximumFails) {
  SysSemaphore* semaphore = SysCreateSemaphore(1, 1);
  ASSERT_NE(nullptr, semaphore);
  EXPECT_FALSE(SysReleaseSemaphore(semaphore));  // already at its maximum
  EXPECT_TRUE(SysWaitSemaphore(semaphore, 100));
  EXPECT_TRUE(SysReleaseSemaphore(semaphore));
  EXPECT_FALSE(SysReleaseSemaphore(semaphore));
  // The refused release left the count at 1: one wait succeeds, the next times out.
  EXPECT_TRUE(SysWaitSemaphore(semaphore, 100));
  EXPECT_FALSE(SysWaitSemaphore(semaphore, 20));
  EXPECT_TRUE(SysCloseSemaphore(semaphore));
}

TEST(SysSemaphore, CountsUpToItsMaximum) {
  SysSemaphore* semaphore = SysCreateSemaphore(0, 3);
  ASSERT_NE(nullptr, semaphore);
  EXPECT_TRUE(SysReleaseSemaphore(semaphore));
  EXPECT_TRUE(SysReleaseSemaphore(semaphore));
  EXPECT_TRUE(SysReleaseSemaphore(semaphore));
  EXPECT_FALSE(SysReleaseSemaphore(semaphore));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(SysWaitSemaphore(semaphore, 100));
  EXPECT_FALSE(SysWaitSemaphore(semaphore, 20));
  SysCloseSemaphore(semaphore);
}

TEST(SysSemaphore, WaitGivesUpAfterItsTimeOut) {
  SysSemaphore* semaphore = SysCreateSemaphore(0, 1);
  ASSERT_NE(nullptr, semaphore);
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(SysWaitSemaphore(semaphore, 150));
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 140);
  EXPECT_LT(elapsed, 5000);
  SysCloseSemaphore(semaphore);
}

TEST(SysSemaphore, TimeOutZeroWaitsUntilReleased) {
  SysSemaphore* semaphore = SysCreateSemaphore(0, 1);
  ASSERT_NE(nullptr, semaphore);
  std::atomic<bool> released{false};
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    released = true;
    SysReleaseSemaphore(semaphore);
  });
  EXPECT_TRUE(SysWaitSemaphore(semaphore, 0));
  EXPECT_TRUE(released.load());  // 0 is no limit, not "don't wait"
  releaser.join();
  SysCloseSemaphore(semaphore);
}

TEST(SysSemaphore, NullHandleFailsEverywhere) {
  EXPECT_FALSE(SysCloseSemaphore(nullptr));
  EXPECT_FALSE(SysWaitSemaphore(nullptr, 10));
  EXPECT_FALSE(SysReleaseSemaphore(nullptr));
}

// ---- Threads ---------------------------------------------------------------------

void SlowlySet(void* parameter) {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  static_cast<std::atomic<bool>*>(parameter)->store(true);
}

TEST(SysThread, CloseHandleWaitsForTheThreadToEnd) {
  std::atomic<bool> done{false};
  SysThread* thread = SysCreateThread(SlowlySet, &done);
  ASSERT_NE(nullptr, thread);
  EXPECT_TRUE(SysCloseHandle(thread));
  EXPECT_TRUE(done.load());
}

// Handed over through an atomic, so the thread sees its handle complete.
std::atomic<SysThread*> gSelf{nullptr};
std::atomic<int> gSelfCloseResult{-1};
void CloseOwnHandle(void*) {
  SysThread* self;
  while ((self = gSelf.load()) == nullptr) std::this_thread::yield();
  gSelfCloseResult = SysCloseHandle(self) ? 1 : 0;
}

TEST(SysThread, ThreadCannotCloseItsOwnHandle) {
  SysThread* thread = SysCreateThread(CloseOwnHandle, nullptr);
  ASSERT_NE(nullptr, thread);
  gSelf = thread;
  while (gSelfCloseResult.load() < 0) std::this_thread::yield();
  EXPECT_EQ(0, gSelfCloseResult.load());
  EXPECT_TRUE(SysCloseHandle(thread));
  EXPECT_FALSE(SysCloseHandle(nullptr));
  EXPECT_EQ(nullptr, SysCreateThread(nullptr, nullptr));
}

// ---- Time ------------------------------------------------------------------------

// Compared with the precise wall clock in milliseconds: time() may read a coarse clock
// that lags it by a tick, which once put "before" after the reading.
TEST(SysTime, NowIsTheWallClockWithMilliseconds) {
  auto wallMs = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
  int64_t seconds = 0;
  int32_t milliseconds = -1;
  const int64_t before = wallMs();
  EXPECT_TRUE(SysTimeNow(&seconds, &milliseconds));
  const int64_t after = wallMs();
  EXPECT_GE(milliseconds, 0);
  EXPECT_LE(milliseconds, 999);
  const int64_t reading = seconds * 1000 + milliseconds;
  EXPECT_GE(reading, before);
  EXPECT_LE(reading, after);
}

TEST(SysTime, SleepLastsAtLeastItsTime) {
  Clock::time_point start = Clock::now();
  SysSleep(50);
  EXPECT_GE(ElapsedMs(start), 50);
}

// ---- Files -----------------------------------------------------------------------

class SysFileTest : public ::testing::Test {
 protected:
  FakeExecutableDir dir_;
};

TEST_F(SysFileTest, CopyReplacesUnlessAskedToFail) {
  ASSERT_TRUE(dir_.Write("a", "first"));
  ASSERT_TRUE(dir_.Write("b", "older"));
  EXPECT_FALSE(SysCopyFile(dir_.File("a").c_str(), dir_.File("b").c_str(), true));
  EXPECT_EQ("older", dir_.Read("b"));
  EXPECT_TRUE(SysCopyFile(dir_.File("a").c_str(), dir_.File("b").c_str(), false));
  EXPECT_EQ("first", dir_.Read("b"));
  EXPECT_TRUE(SysCopyFile(dir_.File("a").c_str(), dir_.File("c").c_str(), true));
  EXPECT_EQ("first", dir_.Read("c"));
}

TEST_F(SysFileTest, CopyOfMissingSourceCreatesNothing) {
  EXPECT_FALSE(SysCopyFile(dir_.File("none").c_str(), dir_.File("b").c_str(), false));
  EXPECT_FALSE(dir_.Exists("b"));
}

TEST_F(SysFileTest, CopyOntoItselfKeepsTheFile) {
  ASSERT_TRUE(dir_.Write("a", "contents"));
  EXPECT_FALSE(SysCopyFile(dir_.File("a").c_str(), dir_.File("a").c_str(), false));
  EXPECT_EQ("contents", dir_.Read("a"));
}

TEST_F(SysFileTest, AppendCreatesThenAppends) {
  EXPECT_TRUE(SysAppendToFile(dir_.File("log").c_str(), "one\n", 4));
  EXPECT_TRUE(SysAppendToFile(dir_.File("log").c_str(), "two\n", 4));
  EXPECT_EQ("one\ntwo\n", dir_.Read("log"));
  EXPECT_FALSE(SysAppendToFile(dir_.File("missing/log").c_str(), "x", 1));
}

// ---- Executable path -------------------------------------------------------------

TEST(SysModuleFileName, IsThisTestBinary) {
  char path[4096];
  ASSERT_TRUE(SysGetModuleFileName(path, sizeof path));
  EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
  EXPECT_NE(nullptr, strstr(path, "platform_tests"));
}

TEST(SysModuleFileName, TooSmallBufferFailsWithEmptyText) {
  char path[4] = "xyz";
  EXPECT_FALSE(SysGetModuleFileName(path, sizeof path));
  EXPECT_STREQ("", path);
}

}  // namespace
