// The viewer's subscription to a server's Frame.Sched: a thread that subscribes,
// publishes every whole frame to the FrameFeed and subscribes again when the server
// has gone quiet (it restarted, or was not up yet). Frames that aren't whole or
// consistent are counted as bad, not shown.
//
// Ownership: owned by main, which starts it after the feed exists and stops it before
// the feed goes. Threading: Start and Stop on main; the counters from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "tools/hvxview/frame_feed.h"

class FrameSubscriber final {
 public:
  // OUTPUT_ADDRESS is /CONTEXT/SERVER/Output.
  FrameSubscriber(std::string outputAddress, FrameFeed* feed);
  ~FrameSubscriber();
  FrameSubscriber(const FrameSubscriber&) = delete;
  FrameSubscriber& operator=(const FrameSubscriber&) = delete;

  void Start();
  // Ends the subscription at the server and joins the thread (within about a second).
  void Stop();

  bool subscribed() const { return subscribed_.load(); }
  uint64_t badFrames() const { return badFrames_.load(); }
  // Subscriptions made; more than 1 when the server went quiet and it subscribed again.
  uint64_t subscriptions() const { return subscriptions_.load(); }

 private:
  void Run();

  const std::string address_;
  FrameFeed* const feed_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> subscribed_{false};
  std::atomic<uint64_t> badFrames_{0};
  std::atomic<uint64_t> subscriptions_{0};
};
