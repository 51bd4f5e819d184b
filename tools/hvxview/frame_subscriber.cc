#include "tools/hvxview/frame_subscriber.h"

#include <chrono>

#include "orna/orna_client.h"
#include "tools/common/frame_header_view.h"

namespace {

constexpr int kCallTimeoutMs = 2000;
// Longest single wait, so that Stop is noticed soon.
constexpr int kWaitSliceMs = 250;
// Without a delivery for this long the subscription is taken as lost and made anew.
constexpr int kQuietLimitMs = 5000;
constexpr int kRetryPauseMs = 1000;

double Now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

FrameSubscriber::FrameSubscriber(std::string outputAddress, FrameFeed* feed)
    : address_(std::move(outputAddress)), feed_(feed) {}

FrameSubscriber::~FrameSubscriber() { Stop(); }

void FrameSubscriber::Start() { thread_ = std::thread([this] { Run(); }); }

void FrameSubscriber::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void FrameSubscriber::Run() {
  using Clock = std::chrono::steady_clock;
  while (!stop_) {
    OrnaSubscription* subscription = nullptr;
    if (OrnaSubscribe(address_.c_str(), "Frame.Sched", ORNA_FMT_IMAGE, tools_common::kWholeFrameCount, 0,
                      kCallTimeoutMs, &subscription) != 0) {
      for (int waited = 0; waited < kRetryPauseMs && !stop_; waited += kWaitSliceMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
      }
      continue;
    }
    subscribed_ = true;
    ++subscriptions_;
    Clock::time_point lastDelivery = Clock::now();
    while (!stop_ && Clock::now() - lastDelivery < std::chrono::milliseconds(kQuietLimitMs)) {
      OrnaReply reply;
      if (OrnaNextDelivery(subscription, &reply, kWaitSliceMs) != 0) continue;
      lastDelivery = Clock::now();
      if (reply.result != 0) continue;  // e.g. "No frame taken yet."
      const tools_common::FrameView view =
          tools_common::InspectFrame(reply.bytes, reply.bytes != nullptr ? reply.size : 0, reply.count);
      if (!view.hasHeader || !view.pixelsComplete || !view.problem.empty() ||
          view.header.width <= 0 || view.header.height <= 0) {
        ++badFrames_;
        continue;
      }
      ViewFrame frame;
      frame.header = view.header;
      frame.pixels = view.pixels;
      frame.pixelBytes = view.pixelBytes;
      frame.receivedAt = Now();
      frame.owner = reply.owner;
      feed_->Publish(std::move(frame));
    }
    subscribed_ = false;
    OrnaUnsubscribe(subscription);
  }
}
