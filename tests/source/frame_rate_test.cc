// The frame-rate limit (which passes may deliver) and the measured rate (frames of the
// last five seconds), on given times, without thread or clock.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "source/frame_rate_limit.h"
#include "source/frame_rate_meter.h"

namespace {

struct SettingCase {
  const char* name;
  double setting;
  float limit;
};

class FrameRateLimitSettingTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(FrameRateLimitSettingTest, Keeps) {
  EXPECT_EQ(GetParam().limit, FrameRateLimitFromSetting(GetParam().setting));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FrameRateLimitSettingTest,
    ::testing::Values(SettingCase{"Zero", 0.0, kNoFrameRateLimit},
                      SettingCase{"Negative", -25.0, kNoFrameRateLimit},
                      SettingCase{"OneHundredthIsNoLimit", 0.01, kNoFrameRateLimit},
                      SettingCase{"TwoHundredths", 0.02, 0.02f},
                      SettingCase{"TwentyFive", 25.0, 25.0f},
                      SettingCase{"NotANumber", NAN, kNoFrameRateLimit},
                      SettingCase{"BeyondFloat", 1e300, FLT_MAX}),
    [](const ::testing::TestParamInfo<SettingCase>& info) { return info.param.name; });

constexpr int64_t kMs = 10000;  // 100-ns units per millisecond
constexpr int64_t kStart = HundredNanosecondsFromMs(1700000000000);

TEST(FrameRateLimiter, WithoutLimitEveryPassDelivers) {
  FrameRateLimiter limiter;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(PassMayDeliver(&limiter, kStart));
}

TEST(FrameRateLimiter, TwentyFiveGivesFortyMillisecondsBetweenDeliveries) {
  FrameRateLimiter limiter;
  limiter.limit = 25.0f;
  EXPECT_TRUE(PassMayDeliver(&limiter, kStart));
  EXPECT_EQ(kStart + 400000, limiter.nextDue);
  EXPECT_FALSE(PassMayDeliver(&limiter, kStart + 10 * kMs));
  EXPECT_FALSE(PassMayDeliver(&limiter, kStart + 40 * kMs - 1));
  EXPECT_TRUE(PassMayDeliver(&limiter, kStart + 40 * kMs));
  EXPECT_FALSE(PassMayDeliver(&limiter, kStart + 79 * kMs));
  EXPECT_TRUE(PassMayDeliver(&limiter, kStart + 85 * kMs));
  // Counted from the reading of the delivering pass, not from the due time.
  EXPECT_EQ(kStart + 125 * kMs, limiter.nextDue);
}

TEST(FrameRateLimiter, PeriodIsTruncatedToWholeUnits) {
  FrameRateLimiter limiter;
  limiter.limit = 3.0f;
  ASSERT_TRUE(PassMayDeliver(&limiter, 0));
  EXPECT_EQ(3333333, limiter.nextDue);
}

TEST(FrameRateLimiter, TinyLimitWaitsFiftySeconds) {
  FrameRateLimiter limiter;
  limiter.limit = FrameRateLimitFromSetting(0.02);
  ASSERT_TRUE(PassMayDeliver(&limiter, kStart));
  // 0.02 as a 32-bit float is a little below 0.02: the period is 500,000,011 units.
  EXPECT_FALSE(PassMayDeliver(&limiter, kStart + 500000010));
  EXPECT_TRUE(PassMayDeliver(&limiter, kStart + 500000011));
}

TEST(FrameRateLimiter, ClockSetBackHoldsDeliveriesUntilTheDueTime) {
  FrameRateLimiter limiter;
  limiter.limit = 25.0f;
  ASSERT_TRUE(PassMayDeliver(&limiter, kStart));
  EXPECT_FALSE(PassMayDeliver(&limiter, kStart - 1000 * kMs));
}

constexpr double kNow = 1700000000000.0;

TEST(FrameRateMeter, FirstFrameAfterResetMeasuresZero) {
  FrameTimeHistory history;
  ResetFrameTimeHistory(&history);
  EXPECT_EQ(0.0f, RecordFrameTime(&history, kNow));
  EXPECT_FLOAT_EQ(0.2f, RecordFrameTime(&history, kNow + 40));
}

TEST(FrameRateMeter, TwentyFivePerSecondMeasuresTwentyFive) {
  FrameTimeHistory history;
  ResetFrameTimeHistory(&history);
  float rate = 0.0f;
  for (int i = 0; i <= 500; ++i) rate = RecordFrameTime(&history, kNow + 40.0 * i);
  // 125 frames lie in the 5000 ms up to and including the boundary.
  EXPECT_NEAR(25.0f, rate, 0.3f);
}

TEST(FrameRateMeter, FramesOlderThanFiveSecondsDropOut) {
  FrameTimeHistory history;
  ResetFrameTimeHistory(&history);
  RecordFrameTime(&history, kNow);
  RecordFrameTime(&history, kNow + 1);
  EXPECT_FLOAT_EQ(0.4f, RecordFrameTime(&history, kNow + 5000));  // both just inside
  EXPECT_FLOAT_EQ(0.4f, RecordFrameTime(&history, kNow + 5001));  // kNow gone, +5000 in
  EXPECT_FLOAT_EQ(0.0f, RecordFrameTime(&history, kNow + 20000));
}

TEST(FrameRateMeter, FullTableShowsAtMostOneHundred) {
  FrameTimeHistory history;
  ResetFrameTimeHistory(&history);
  float rate = 0.0f;
  for (int i = 0; i < 2000; ++i) rate = RecordFrameTime(&history, kNow + i * 0.5);
  EXPECT_FLOAT_EQ(100.0f, rate);
}

TEST(FrameRateMeter, FreedEntriesAreReused) {
  FrameTimeHistory history;
  ResetFrameTimeHistory(&history);
  for (int i = 0; i < kFrameTimeHistorySize; ++i) RecordFrameTime(&history, kNow);
  // All 500 entries expire; the table takes new times again.
  EXPECT_FLOAT_EQ(0.0f, RecordFrameTime(&history, kNow + 6000));
  EXPECT_FLOAT_EQ(0.2f, RecordFrameTime(&history, kNow + 6001));
}

}  // namespace
