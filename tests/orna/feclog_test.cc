// The library log: feclog.log beside the executable holds at most FeclogDepth lines,
// the newest ones, one per call. This suite has a folder of its own and its cases
// take turns (see CMakeLists.txt); each case starts and ends without the file. The
// library reads an existing log once per process, so the cases hold whatever an
// earlier case in the same process left in its memory, and the one about a log of an
// earlier run starts a fresh process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "orna/orna_api.h"
#include "orna/paths.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The message part of a line: after the "YYYY-MM-DD HH:MM:SS.mmm " stamp.
std::string Message(const std::string& line) { return line.size() > 24 ? line.substr(24) : ""; }

class FeclogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = OrnaPathBesideExecutable("feclog.log");
    unlink(path_.c_str());
    savedDepth_ = FeclogDepth;
  }
  void TearDown() override {
    FeclogDepth = savedDepth_;
    unlink(path_.c_str());
    unlink((path_ + ".tmp").c_str());
  }
  std::string path_;
  int32_t savedDepth_ = 0;
};

TEST_F(FeclogTest, KeepsAtMostDepthLinesAndTheNewest) {
  FeclogDepth = 10;
  for (int i = 1; i <= 35; ++i) {
    ASSERT_EQ(ORNA_OK, feclog("line %d", i));
    std::vector<std::string> lines = Lines(path_);
    ASSERT_LE(lines.size(), 10u) << "after line " << i;
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ("line " + std::to_string(i), Message(lines.back()));
  }
  // The lines kept are the newest, in order, with none lost in between.
  std::vector<std::string> lines = Lines(path_);
  int first = 35 - (int)lines.size() + 1;
  for (size_t k = 0; k < lines.size(); ++k)
    EXPECT_EQ("line " + std::to_string(first + (int)k), Message(lines[k]));
}

// Runs in a fresh process; answers what went wrong, "" when nothing.
std::string LogOfAnEarlierRun(const std::string& path) {
  {
    std::ofstream old(path);
    for (int i = 0; i < 50; ++i) old << "old " << i << "\n";
  }
  FeclogDepth = 20;
  if (feclog("new") != ORNA_OK) return "feclog failed";
  std::vector<std::string> lines = Lines(path);
  if (lines.size() > 20) return std::to_string(lines.size()) + " lines";
  if (lines.size() < 2 || Message(lines.back()) != "new" || lines[lines.size() - 2] != "old 49")
    return "not the newest lines at the end";
  return "";
}

TEST_F(FeclogTest, LogLeftByAnEarlierRunCountsTowardsTheDepth) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process, not a fork of this one
  EXPECT_EXIT(
      {
        std::string fault = LogOfAnEarlierRun(path_);
        fprintf(stderr, "%s", fault.c_str());
        exit(fault.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FeclogTest, OneLinePerCall) {
  FeclogDepth = 1000;
  ASSERT_EQ(ORNA_OK, feclog("two\nparts\r\n"));
  ASSERT_EQ(ORNA_OK, feclog("%s", std::string(5000, 'x').c_str()));  // longer than a line holds
  std::vector<std::string> lines = Lines(path_);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("two parts", Message(lines[lines.size() - 2]));
  std::string cut = Message(lines.back());
  EXPECT_GT(cut.size(), 500u);
  EXPECT_EQ(std::string(cut.size(), 'x'), cut);
}

TEST_F(FeclogTest, DepthZeroKeepsNoLog) {
  FeclogDepth = 0;
  EXPECT_EQ(ORNA_OK, feclog("nothing"));
  EXPECT_TRUE(Lines(path_).empty());
}

TEST_F(FeclogTest, CallsFromSeveralThreadsEachMakeOneWholeLine) {
  FeclogDepth = 1000;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) feclog("thread %d line %d", t, i);
    });
  for (std::thread& t : threads) t.join();
  // Each call's line whole, once.
  std::map<std::string, int> seen;
  for (const std::string& line : Lines(path_)) ++seen[Message(line)];
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 50; ++i) {
      std::string message = "thread " + std::to_string(t) + " line " + std::to_string(i);
      EXPECT_EQ(1, seen[message]) << message;
    }
}

}  // namespace
