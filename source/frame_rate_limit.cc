#include "source/frame_rate_limit.h"

#include <cfloat>

namespace {

// A limit at or below this is no limit (the setting was already refused at 0.01).
constexpr float kLimitThreshold = 0.001f;
constexpr double kUnitsPerSecond = 10000000.0;

}  // namespace

float FrameRateLimitFromSetting(double setting) {
  if (!(setting > kLowestFrameRateLimit)) return kNoFrameRateLimit;  // NaN too
  if (setting > FLT_MAX) return FLT_MAX;
  return static_cast<float>(setting);
}

bool PassMayDeliver(FrameRateLimiter* limiter, int64_t now) {
  if (!(limiter->limit > kLimitThreshold)) return true;
  if (limiter->dueSet && now < limiter->nextDue) return false;
  limiter->dueSet = true;
  limiter->nextDue = now + static_cast<int64_t>(kUnitsPerSecond / limiter->limit);
  return true;
}
