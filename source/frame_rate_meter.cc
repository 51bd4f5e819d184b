#include "source/frame_rate_meter.h"

namespace {

constexpr double kWindowMs = 5000.0;
constexpr double kPerSecondOfWindow = 0.2;

}  // namespace

void ResetFrameTimeHistory(FrameTimeHistory* history) {
  for (double& time : history->times) time = -1.0;
}

float RecordFrameTime(FrameTimeHistory* history, double nowMs) {
  const double oldest = nowMs - kWindowMs;
  int recent = 0;
  for (double& time : history->times) {
    if (time <= 0.0) continue;
    if (time < oldest) {
      time = -1.0;
    } else {
      ++recent;
    }
  }
  for (double& time : history->times) {
    if (time < 0.0) {
      time = nowMs;
      break;
    }
  }
  return static_cast<float>(recent * kPerSecondOfWindow);
}
