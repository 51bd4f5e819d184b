// The build-stamp parser and the data time stamp.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "orna/orna_api.h"
#include "tests/support/test_environment.h"

namespace {

// The parser reads local time; UTC makes the expected numbers plain.
class TimestampsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) oldTz_ = tz;
    SetTestVariable("TZ", "UTC");
    tzset();
  }
  void TearDown() override {
    if (hadTz_) SetTestVariable("TZ", oldTz_.c_str());
    else UnsetTestVariable("TZ");
    tzset();
  }
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(TimestampsTest, BuildStampsAsTheCompilerWritesThem) {
  struct Case {
    const char* date;
    const char* time;
    time_t expected;
  };
  const std::vector<Case> cases = {
      {"Dec  2 2008", "11:18:08", 1228216688},
      {"Jan  1 1970", "00:00:00", 0},
      {"Feb 29 2024", "23:59:59", 1709251199},
      {"Jan 19 2038", "03:14:08", (time_t)2147483648LL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.date) + " " + c.time);
    EXPECT_EQ(c.expected, parseCDateAndTimeStr(c.date, c.time));
  }
  EXPECT_EQ(parseCDateAndTimeStr("Dec  2 2008", "11:18:08"),
            parseCDateAndTimeStr("Dec 02 2008", "11:18:08"));
}

TEST_F(TimestampsTest, MalformedBuildStampsAreRefused) {
  struct Case {
    const char* date;
    const char* time;
  };
  const std::vector<Case> cases = {
      {"Dec 2 2008", "11:18:08"},     // day not padded
      {"Dec  2 2008 ", "11:18:08"},   // too long
      {"Dex  2 2008", "11:18:08"},    // no such month
      {"dec  2 2008", "11:18:08"},
      {"anF  2 2008", "11:18:08"},    // letters across two month names
      {"Dec-02-2008", "11:18:08"},
      {"Dec  0 2008", "11:18:08"},
      {"Dec 32 2008", "11:18:08"},
      {"Feb 30 2008", "11:18:08"},    // no such day in that month
      {"Dec  2 1969", "11:18:08"},
      {"Dec  2 20x8", "11:18:08"},
      {"Dec -2 2008", "11:18:08"},
      {"Dec +2 2008", "11:18:08"},
      {"Dec  2 2008", "11:18"},
      {"Dec  2 2008", "11:18:08 "},
      {"Dec  2 2008", "11-18-08"},
      {"Dec  2 2008", "24:00:00"},
      {"Dec  2 2008", "11:60:08"},
      {"Dec  2 2008", "1a:18:08"},
      {"Dec  2 2008", "-1:18:08"},    // negative fields
      {"Dec  2 2008", "11:-8:08"},
      {"Dec  2 2008", "11:18:-8"},
      {"Dec  2 2008", "+1:18:08"},
      {"Dec  2 2008", " 1:18:08"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.date + "' '" + c.time + "'");
    EXPECT_EQ((time_t)-1, parseCDateAndTimeStr(c.date, c.time));
  }
  EXPECT_EQ((time_t)-1, parseCDateAndTimeStr(nullptr, "11:18:08"));
  EXPECT_EQ((time_t)-1, parseCDateAndTimeStr("Dec  2 2008", nullptr));
}

double Now() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return (double)t.tv_sec + t.tv_nsec / 1e9;
}

TEST(DataTimeStampTest, MillisecondResolution) {
  for (int i = 0; i < 50; ++i) {
    double before = Now();
    double stamp = makeDataTimeStamp();
    double after = Now();
    // Whole milliseconds of the real-time clock, not seconds, not microseconds.
    double ms = stamp * 1000.0;
    ASSERT_LT(std::fabs(ms - std::round(ms)), 0.01) << "stamp " << stamp << " is not whole ms";
    ASSERT_GE(stamp, std::floor(before * 1000.0) / 1000.0 - 1e-6);
    ASSERT_LE(stamp, after + 1e-6);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  double first = makeDataTimeStamp();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  double second = makeDataTimeStamp();
  EXPECT_GE(second - first, 0.015);
  EXPECT_LT(second - first, 1.0);
}

}  // namespace
