// The viewer's latest frame and what it knows about the frames it received: counts,
// frames the server delivered that never reached the viewer (gaps in frameNumber), the
// frame rate of the last second and a per-second history of the last minute. The
// subscription thread publishes; HTTP threads read or wait for a newer frame. Readers
// never hold the lock while they use a frame, so a slow reader can't slow publishing.
//
// Ownership: one FrameFeed per viewer, owned by main. Threading: any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/annotated_mutex.h"
#include "tools/hvxview/view_frame.h"

// One second of the history.
struct FeedSecond {
  int64_t second = 0;       // whole seconds since 1970 UTC
  uint32_t frames = 0;      // frames received in it
  double latencySumMs = 0;  // capture-to-receive latency summed over those frames
};

struct FeedStats {
  uint64_t received = 0;
  uint64_t missed = 0;  // frames the server numbered that the viewer never got
  double frameRate = 0.0;  // frames received in the last whole second
  double lastLatencyMs = 0.0;
  std::vector<FeedSecond> history;  // oldest first, at most kHistorySeconds
};

class FrameFeed final {
 public:
  static constexpr int kHistorySeconds = 60;

  FrameFeed() = default;
  FrameFeed(const FrameFeed&) = delete;
  FrameFeed& operator=(const FrameFeed&) = delete;

  // Takes FRAME (whose sequence, receivedAt and latencyMs it fills) as the latest and
  // wakes every waiting reader.
  void Publish(ViewFrame frame) EXCLUDES(mutex_);
  // The latest frame, null before the first.
  std::shared_ptr<const ViewFrame> Latest() const EXCLUDES(mutex_);
  // The latest frame once its sequence is above AFTER; waits at most timeoutMs, then
  // answers null. Answers null at once after Stop.
  std::shared_ptr<const ViewFrame> WaitNewer(uint64_t after, int timeoutMs) const
      EXCLUDES(mutex_);
  // Counters and history as of NOW (seconds since 1970 UTC).
  FeedStats Stats(double now) const EXCLUDES(mutex_);
  // Wakes every waiter for good; the viewer is ending.
  void Stop() EXCLUDES(mutex_);

 private:
  mutable Mutex mutex_;
  mutable std::condition_variable changed_;
  std::shared_ptr<const ViewFrame> latest_ GUARDED_BY(mutex_);
  uint64_t received_ GUARDED_BY(mutex_) = 0;
  uint64_t missed_ GUARDED_BY(mutex_) = 0;
  std::deque<FeedSecond> seconds_ GUARDED_BY(mutex_);
  bool stopped_ GUARDED_BY(mutex_) = false;
};
