// The player's frame-rate limit: two deliveries are at least 1/limit seconds apart,
// counted from the clock reading of the earlier one. Time is counted in 100-ns units
// since 1970 by the wall clock. A pass that comes before the due time delivers
// nothing; the grab thread then sleeps 10 ms, so the gap between deliveries is
// rounded up to the next such pass.
//
// Threading: a FrameRateLimiter belongs to the one thread that asks it.
#pragma once

#include <cstdint>

// Limits of 0.01 frames per second or less (0, negative, not a number) mean none.
constexpr double kLowestFrameRateLimit = 0.01;
// What the player keeps for "no limit".
constexpr float kNoFrameRateLimit = -1.0f;
// How long a pass that delivers nothing sleeps.
constexpr uint32_t kThrottledPassSleepMs = 10;

// The limit to keep for a LimitFramerate setting: the setting as a 32-bit float when
// it is above 0.01 (values beyond the float range become the largest float), else
// kNoFrameRateLimit.
float FrameRateLimitFromSetting(double setting);

struct FrameRateLimiter {
  float limit = kNoFrameRateLimit;
  bool dueSet = false;   // no delivery yet in this run of the thread
  int64_t nextDue = 0;   // 100-ns units since 1970
};

// Milliseconds since 1970 as 100-ns units.
constexpr int64_t HundredNanosecondsFromMs(int64_t ms) { return ms * 10000; }

// Whether a pass at time now (100-ns units) may deliver. Without a limit always;
// with one, when no delivery was due yet or the due time has come, in which case the
// next due time becomes now + 10,000,000 / limit (truncated).
bool PassMayDeliver(FrameRateLimiter* limiter, int64_t now);
