#include "bench/frame_push.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "bench/bench_server.h"
#include "orna/orna_client.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

uint64_t Number(const OrnaServerDescription& d, const char* key) {
  return strtoull(d.Field(key).c_str(), nullptr, 10);
}

// What one subscriber thread has received so far; the main thread samples it.
struct Tally {
  std::atomic<uint64_t> frames{0};
  std::atomic<uint64_t> bytes{0};
  std::atomic<uint64_t> missed{0};
  std::atomic<bool> done{false};  // subscription failed or ended
  std::atomic<int> result{-1};    // of OrnaSubscribe
};

// Receives deliveries until STOP; touches only the reply's header fields, as a client
// that hands the frame on would before looking at the pixels.
void Subscriber(int frameBytes, Tally* tally, const std::atomic<bool>* stop) {
  OrnaSubscription* subscription = nullptr;
  int r = OrnaSubscribe(kDeviceAddress, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, 5000,
                        &subscription);
  tally->result = r;
  if (r != ORNA_OK) {
    tally->done = true;
    return;
  }
  OrnaReply reply;
  uint32_t last = 0;
  while (!stop->load(std::memory_order_relaxed)) {
    if (OrnaNextDelivery(subscription, &reply, 200) != ORNA_OK || reply.result != ORNA_OK) continue;
    if (last != 0 && reply.sequence > last + 1)
      tally->missed.fetch_add(reply.sequence - last - 1, std::memory_order_relaxed);
    last = reply.sequence;
    tally->bytes.fetch_add(reply.size, std::memory_order_relaxed);
    tally->frames.fetch_add(1, std::memory_order_relaxed);
  }
  reply = OrnaReply();
  OrnaUnsubscribe(subscription);
  tally->done = true;
}

// Waits (at most MS) until the server has no contract left.
bool WaitForNoContracts(int ms, ServerCounters* counters) {
  auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (ReadServerCounters(counters) && counters->contracts == 0) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

bool ReadServerCounters(ServerCounters* counters) {
  OrnaServerDescription d;
  if (OrnaDescribeServer(kServerAddress, &d, 2000) != ORNA_OK) return false;
  OrnaRequest request;
  request.outFormat = ORNA_FMT_INT32;
  request.outCount = 1;
  OrnaReply reply;
  if (OrnaCall(kDeviceAddress, "FramesServed", request, &reply, 2000) != ORNA_OK || reply.size < 4)
    return false;
  int32_t served = 0;
  memcpy(&served, reply.bytes, 4);
  counters->framesRead = (uint64_t)served;
  counters->pixelCopies = Number(d, "pixelCopies");
  counters->deliveries = Number(d, "deliveries");
  counters->dropped = Number(d, "dropped");
  counters->contracts = Number(d, "contracts");
  return true;
}

PushFigures MeasureFramePush(int frameBytes, int subscribers, double seconds) {
  PushFigures figures;
  ServerCounters before, after;
  if (!WaitForNoContracts(5000, &before)) {
    figures.error = "the server did not answer, or kept contracts of an earlier case";
    return figures;
  }

  std::atomic<bool> stop{false};
  std::vector<std::unique_ptr<Tally>> tallies;
  std::vector<std::thread> threads;
  for (int i = 0; i < subscribers; ++i) {
    tallies.push_back(std::make_unique<Tally>());
    threads.emplace_back(Subscriber, frameBytes, tallies.back().get(), &stop);
  }

  // Warm-up: every subscriber has had a frame (at most 10 s), then half a second more.
  auto give_up = Clock::now() + std::chrono::seconds(10);
  for (;;) {
    bool ready = true;
    for (auto& t : tallies) ready = ready && (t->frames.load() > 0 || t->done.load());
    if (ready || Clock::now() >= give_up) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  bool flowing = true;
  for (auto& t : tallies) flowing = flowing && t->frames.load() > 0;
  if (flowing) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<uint64_t> f0, b0, m0;
    for (auto& t : tallies) {
      f0.push_back(t->frames.load());
      b0.push_back(t->bytes.load());
      m0.push_back(t->missed.load());
    }
    auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    auto t1 = Clock::now();
    figures.seconds = std::chrono::duration<double>(t1 - t0).count();
    for (size_t i = 0; i < tallies.size(); ++i) {
      SubscriberFigures s;
      s.frames = tallies[i]->frames.load() - f0[i];
      s.missed = tallies[i]->missed.load() - m0[i];
      s.framesPerSecond = (double)s.frames / figures.seconds;
      s.megabytesPerSecond = (double)(tallies[i]->bytes.load() - b0[i]) / figures.seconds / 1e6;
      figures.subscribers.push_back(s);
    }
  } else {
    int result = -1;
    for (auto& t : tallies)
      if (t->result.load() != ORNA_OK) result = t->result.load();
    figures.error = result > 0 ? std::string("subscription refused: ") + OrnaErrorText(result)
                               : std::string("no frame within 10 s");
  }
  stop = true;
  for (std::thread& t : threads) t.join();

  figures.contractsEnded = WaitForNoContracts(5000, &after);
  if (!figures.contractsEnded && !ReadServerCounters(&after)) {
    figures.error = "the server did not answer after the case";
    return figures;
  }
  figures.server.framesRead = after.framesRead - before.framesRead;
  figures.server.pixelCopies = after.pixelCopies - before.pixelCopies;
  figures.server.deliveries = after.deliveries - before.deliveries;
  figures.server.dropped = after.dropped - before.dropped;
  figures.ok = flowing;
  return figures;
}

}  // namespace bench
