#include "tools/hvxview/frame_feed.h"

#include <chrono>
#include <cmath>

double CaptureTime(const tools_common::FrameHeader& header) {
  return header.timeSeconds + header.timeMicroseconds / 1e6;
}

void FrameFeed::Publish(ViewFrame frame) {
  MutexLock lock(mutex_);
  frame.sequence = ++received_;
  frame.latencyMs = (frame.receivedAt - CaptureTime(frame.header)) * 1000.0;
  // A frame number at most one above the last is no loss; a smaller one means the
  // server started again and counts afresh.
  if (latest_ != nullptr && frame.header.frameNumber > latest_->header.frameNumber + 1) {
    missed_ += frame.header.frameNumber - latest_->header.frameNumber - 1;
  }
  const int64_t second = static_cast<int64_t>(std::floor(frame.receivedAt));
  if (seconds_.empty() || seconds_.back().second < second) {
    seconds_.push_back(FeedSecond{second, 0, 0.0});
    while (seconds_.size() > static_cast<size_t>(kHistorySeconds) + 1) seconds_.pop_front();
  }
  seconds_.back().frames += 1;
  seconds_.back().latencySumMs += frame.latencyMs;
  latest_ = std::make_shared<const ViewFrame>(std::move(frame));
  changed_.notify_all();
}

std::shared_ptr<const ViewFrame> FrameFeed::Latest() const {
  MutexLock lock(mutex_);
  return latest_;
}

std::shared_ptr<const ViewFrame> FrameFeed::WaitNewer(uint64_t after, int timeoutMs) const {
  MutexLock lock(mutex_);
  lock.WaitFor(changed_, std::chrono::milliseconds(timeoutMs), [&]() REQUIRES(mutex_) {
    return stopped_ || (latest_ != nullptr && latest_->sequence > after);
  });
  if (stopped_ || latest_ == nullptr || latest_->sequence <= after) return nullptr;
  return latest_;
}

FeedStats FrameFeed::Stats(double now) const {
  MutexLock lock(mutex_);
  FeedStats stats;
  stats.received = received_;
  stats.missed = missed_;
  if (latest_ != nullptr) stats.lastLatencyMs = latest_->latencyMs;
  // Only whole seconds are history; the one in progress is still counting.
  const int64_t current = static_cast<int64_t>(std::floor(now));
  for (const FeedSecond& s : seconds_) {
    if (s.second >= current || s.second < current - kHistorySeconds) continue;
    stats.history.push_back(s);
  }
  if (!stats.history.empty() && stats.history.back().second == current - 1) {
    stats.frameRate = stats.history.back().frames;
  }
  return stats;
}

void FrameFeed::Stop() {
  MutexLock lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}
