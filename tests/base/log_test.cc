// DoLog against its line format and sinks. All cases of this binary share one private
// directory posing as the executable's, because the log file's path is fixed by the
// first line of the process.

#include "base/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/log_testing.h"
#include "base/process_state.h"
#include "tests/fakes/executable_dir_environment.h"
#include "tests/fakes/orna_fake.h"

namespace {

FakeExecutableDir* gDir = nullptr;

const ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new ExecutableDirEnvironment(&gDir));

time_t gNow = 0;
time_t FixedClock() { return gNow; }

time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  struct tm local = {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return mktime(&local);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    std::error_code error;
    std::filesystem::remove_all(gDir->File("HVX.log"), error);
    // Standard error only where a case captures it, to keep the test output readable.
    SetLogSinks(false, false, true, true);
    gNow = LocalTime(2008, 12, 2, 11, 18, 8);
    SetLogClockForTesting(FixedClock);
  }
  void TearDown() override {
    SetLogClockForTesting(nullptr);
    SetLogSinks(false, true, true, true);
    std::error_code error;
    std::filesystem::remove_all(gDir->File("HVX.log"), error);
  }
  std::string LogFile() const { return gDir->Read("HVX.log"); }
};

TEST_F(LogTest, LineIsStampedInEverySinkButTheLibraryLog) {
  SetLogSinks(true, true, true, true);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  DoLog("--- Info: %s %d", "value", 5);
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  const std::string line = "[02.12.08 11:18:08 LTM] --- Info: value 5\n";
  EXPECT_EQ(line, out);
  EXPECT_EQ(line, err);
  EXPECT_EQ(line, LogFile());
  EXPECT_EQ(std::vector<std::string>{"--- Info: value 5"}, OrnaFakeLogLines());
}

TEST_F(LogTest, LibraryLogTakesTheMessageAsDataNotAsFormat) {
  DoLog("%s", "100%d done %s");
  EXPECT_EQ(std::vector<std::string>{"100%d done %s"}, OrnaFakeLogLines());
}

TEST_F(LogTest, SinksSwitchedOffGetNothing) {
  SetLogSinks(false, false, false, false);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  DoLog("quiet");
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
  EXPECT_FALSE(gDir->Exists("HVX.log"));
  EXPECT_TRUE(OrnaFakeLogLines().empty());
}

struct YearCase {
  int year;
  const char* prefix;
};

class LogYearTest : public LogTest, public ::testing::WithParamInterface<YearCase> {};

TEST_P(LogYearTest, YearHasTwoDigits) {
  gNow = LocalTime(GetParam().year, 1, 9, 0, 5, 59);
  DoLog("x");
  EXPECT_EQ(std::string(GetParam().prefix) + "x\n", LogFile());
}

INSTANTIATE_TEST_SUITE_P(Years, LogYearTest,
                         ::testing::Values(YearCase{2000, "[09.01.00 00:05:59 LTM] "},
                                           YearCase{2009, "[09.01.09 00:05:59 LTM] "},
                                           YearCase{1999, "[09.01.99 00:05:59 LTM] "},
                                           YearCase{2026, "[09.01.26 00:05:59 LTM] "}));

struct LengthCase {
  size_t messageLength;
  size_t loggedLength;
};

class LogLengthTest : public LogTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(LogLengthTest, MessageCutAt510) {
  std::string message(GetParam().messageLength, 'm');
  DoLog("%s", message.c_str());
  std::string expected = message.substr(0, GetParam().loggedLength);
  EXPECT_EQ("[02.12.08 11:18:08 LTM] " + expected + "\n", LogFile());
  EXPECT_EQ(std::vector<std::string>{expected}, OrnaFakeLogLines());
}

INSTANTIATE_TEST_SUITE_P(Lengths, LogLengthTest,
                         ::testing::Values(LengthCase{509, 509}, LengthCase{510, 510},
                                           LengthCase{511, 510}, LengthCase{600, 510},
                                           LengthCase{5000, 510}));

TEST_F(LogTest, DeletedFileIsCreatedAgainByTheNextLine) {
  DoLog("first");
  ASSERT_TRUE(gDir->Exists("HVX.log"));
  ASSERT_TRUE(std::filesystem::remove(gDir->File("HVX.log")));
  DoLog("second");
  EXPECT_EQ("[02.12.08 11:18:08 LTM] second\n", LogFile());
}

TEST_F(LogTest, LinesAreAppended) {
  DoLog("first");
  DoLog("second");
  EXPECT_EQ("[02.12.08 11:18:08 LTM] first\n[02.12.08 11:18:08 LTM] second\n", LogFile());
}

TEST_F(LogTest, UnwritableFileCountsAnErrorPerLineAndOtherSinksStillGetIt) {
  // A directory in the file's place can't be opened for appending, not even by root.
  ASSERT_TRUE(std::filesystem::create_directory(gDir->File("HVX.log")));
  SetLogSinks(false, true, true, true);
  int32_t errorsBefore = ErrorCount.load();
  ::testing::internal::CaptureStderr();
  DoLog("lost %d", 1);
  DoLog("lost %d", 2);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(errorsBefore + 2, ErrorCount.load());
  const std::string warning =
      "WW: Error print to log file \"" + gDir->File("HVX.log") + "\" at DoLog()";
  EXPECT_EQ((std::vector<std::string>{"[02.12.08 11:18:08 LTM] lost 1", warning,
                                      "[02.12.08 11:18:08 LTM] lost 2", warning}),
            Lines(err));
  EXPECT_EQ((std::vector<std::string>{"lost 1", "lost 2"}), OrnaFakeLogLines());
}

TEST_F(LogTest, UnwritableFileWarnsOnStandardErrorEvenWhenItIsSwitchedOff) {
  ASSERT_TRUE(std::filesystem::create_directory(gDir->File("HVX.log")));
  SetLogSinks(false, false, true, false);
  ::testing::internal::CaptureStderr();
  DoLog("lost");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ("WW: Error print to log file \"" + gDir->File("HVX.log") + "\" at DoLog()\n", err);
}

TEST_F(LogTest, LinesOfTwoThreadsNeverMix) {
  SetLogClockForTesting(nullptr);
  SetLogSinks(false, true, true, false);
  constexpr int kLines = 2000;
  // Long lines make a torn write likely if writes aren't whole.
  auto writer = [](char letter) {
    std::string payload(400, letter);
    for (int i = 0; i < kLines; ++i) DoLog("%c%05d %s", letter, i, payload.c_str());
  };
  ::testing::internal::CaptureStderr();
  std::thread a(writer, 'A');
  std::thread b(writer, 'B');
  a.join();
  b.join();
  std::string err = ::testing::internal::GetCapturedStderr();

  for (const std::string& sink : {LogFile(), err}) {
    std::vector<std::string> lines = Lines(sink);
    ASSERT_EQ(static_cast<size_t>(2 * kLines), lines.size());
    int next[2] = {0, 0};
    for (const std::string& line : lines) {
      ASSERT_EQ(24u + 7u + 400u, line.size()) << line;
      char letter = line[24];
      ASSERT_TRUE(letter == 'A' || letter == 'B') << line;
      EXPECT_EQ(std::string(400, letter), line.substr(31)) << line;
      // Each thread's lines stay in their order.
      int& expected = next[letter - 'A'];
      EXPECT_EQ(expected, std::stoi(line.substr(25, 5))) << line;
      ++expected;
    }
  }
}

}  // namespace
