#include "bench/server_frame_watch.h"

#include <sys/time.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "bench/hvx_server_process.h"
#include "bench/machine_load.h"
#include "orna/orna_client.h"
#include "platform/annotated_mutex.h"
#include "source/byte_order.h"
#include "source/frame_slot.h"
#include "source/playback_order.h"

namespace bench {

namespace {

// Pixels compared per frame: enough to see a frame written over in part, cheap enough
// not to slow 16 subscribers of 6 MiB frames.
constexpr size_t kPixelStride = 1021;

double WallSeconds() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 1e-6;
}

bool Whole(const uint8_t* frame, size_t pixels) {
  const uint8_t expected = static_cast<uint8_t>(
      PlaybackFrameOfPass(LoadLe32(frame + kHeaderPassNumber), kHvxAnimationFrames));
  const uint8_t* p = frame + ORNA_FRAME_PREFIX_SIZE;
  for (size_t i = 0; i < pixels; i += kPixelStride)
    if (p[i] != expected) return false;
  return pixels == 0 || p[pixels - 1] == expected;
}

// Pixel copies and dropped messages so far, from the server's description, and the
// frame number of the current frame.
bool ServerCounters(uint64_t* pixelCopies, uint64_t* dropped, uint32_t* frameNumber) {
  OrnaServerDescription d;
  if (OrnaDescribeServer(kHvxServerAddress, &d, 2000) != ORNA_OK) return false;
  *pixelCopies = strtoull(d.Field("pixelCopies").c_str(), nullptr, 10);
  *dropped = strtoull(d.Field("dropped").c_str(), nullptr, 10);
  OrnaRequest request;
  request.outFormat = ORNA_FMT_BYTE;
  request.outCount = kFrameHeaderSize;
  OrnaReply reply;
  if (OrnaCall(kHvxOutputAddress, "Header", request, &reply, 2000) != ORNA_OK ||
      reply.result != ORNA_OK || reply.size != kFrameHeaderSize)
    return false;
  *frameNumber = LoadLe32(reply.bytes + kHeaderFrameNumber);
  return true;
}

struct Shared {
  Mutex mutex;
  uint32_t first GUARDED_BY(mutex) = UINT32_MAX;
  uint32_t last GUARDED_BY(mutex) = 0;
  uint64_t torn GUARDED_BY(mutex) = 0;
  uint64_t viaSharedMemory GUARDED_BY(mutex) = 0;
  std::vector<double> latencyMs GUARDED_BY(mutex);
};

void Subscriber(OrnaSubscription* subscription, int frameBytes,
                std::chrono::steady_clock::time_point start,
                std::chrono::steady_clock::time_point end, uint64_t* received, double* share,
                Shared* shared) {
  std::vector<double> latency;
  uint32_t first = UINT32_MAX, last = 0;
  uint64_t torn = 0;
  uint64_t viaSharedMemory = 0;
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (now >= end) break;
    OrnaReply reply;
    // Frames are read in place, as a local client that keeps up would read them.
    if (OrnaNextDeliveryView(subscription, &reply, 200) != ORNA_OK || reply.result != ORNA_OK)
      continue;
    double arrival = WallSeconds();
    if (std::chrono::steady_clock::now() < start) continue;
    if (reply.size < ORNA_FRAME_PREFIX_SIZE + static_cast<size_t>(frameBytes)) {
      ++torn;
      continue;
    }
    ++*received;
    if (reply.sharedMemory) ++viaSharedMemory;
    uint32_t number = LoadLe32(reply.bytes + kHeaderFrameNumber);
    first = std::min(first, number);
    last = std::max(last, number);
    double captured = LoadLe32(reply.bytes + kHeaderTimeSeconds) +
                      LoadLe32(reply.bytes + kHeaderTimeMicroseconds) * 1e-6;
    latency.push_back((arrival - captured) * 1000.0);
    const bool whole = Whole(reply.bytes, static_cast<size_t>(frameBytes));
    // A frame the ring overwrote while it was read is missed, not received.
    if (!OrnaDeliveryIntact(reply)) {
      --*received;
      latency.pop_back();
      continue;
    }
    if (!whole) ++torn;
  }
  *share = last >= first && first != UINT32_MAX
               ? static_cast<double>(*received) / static_cast<double>(last - first + 1)
               : 0.0;
  MutexLock lock(shared->mutex);
  shared->first = std::min(shared->first, first);
  shared->last = std::max(shared->last, last);
  shared->torn += torn;
  shared->viaSharedMemory += viaSharedMemory;
  shared->latencyMs.insert(shared->latencyMs.end(), latency.begin(), latency.end());
}

}  // namespace

WatchFigures WatchFrames(int serverPid, int frameBytes, int subscribers, double seconds,
                         bool local) {
  WatchFigures f;
  std::vector<OrnaSubscription*> subscriptions(static_cast<size_t>(subscribers), nullptr);
  // The library looks at the variable when a subscription is made.
  setenv("ORNA_SHARED_MEMORY", local ? "1" : "0", 1);
  for (OrnaSubscription*& s : subscriptions) {
    int r = OrnaSubscribe(kHvxOutputAddress, "Frame.Sched", ORNA_FMT_IMAGE, frameBytes, 0, 5000, &s);
    if (r != ORNA_OK) {
      unsetenv("ORNA_SHARED_MEMORY");
      f.error = std::string("subscription refused: ") + OrnaErrorText(r);
      for (OrnaSubscription* t : subscriptions) OrnaUnsubscribe(t);
      return f;
    }
  }
  // Not left for the servers the bench starts later, which inherit the environment.
  unsetenv("ORNA_SHARED_MEMORY");
  f.received.assign(static_cast<size_t>(subscribers), 0);
  f.share.assign(static_cast<size_t>(subscribers), 0.0);
  Shared shared;
  auto start = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
  std::vector<std::thread> threads;
  for (int i = 0; i < subscribers; ++i)
    threads.emplace_back(Subscriber, subscriptions[static_cast<size_t>(i)], frameBytes, start, end,
                         &f.received[static_cast<size_t>(i)], &f.share[static_cast<size_t>(i)],
                         &shared);
  std::this_thread::sleep_until(start);
  double cpuBefore = ProcessCpuSeconds(serverPid);
  uint64_t copiesBefore = 0, droppedBefore = 0, copiesAfter = 0, droppedAfter = 0;
  uint32_t frameBefore = 0, frameAfter = 0;
  bool counted = ServerCounters(&copiesBefore, &droppedBefore, &frameBefore);
  std::this_thread::sleep_until(end);
  double cpuAfter = ProcessCpuSeconds(serverPid);
  counted = ServerCounters(&copiesAfter, &droppedAfter, &frameAfter) && counted;
  if (counted) {
    f.serverPixelCopies = copiesAfter - copiesBefore;
    f.serverDropped = droppedAfter - droppedBefore;
    f.serverFrames = frameAfter - frameBefore;
  }
  for (std::thread& t : threads) t.join();
  for (OrnaSubscription* s : subscriptions) OrnaUnsubscribe(s);

  f.seconds = seconds;
  MutexLock lock(shared.mutex);  // the subscribers have ended; the lock only says so
  f.firstFrameNumber = shared.first == UINT32_MAX ? 0 : shared.first;
  f.lastFrameNumber = shared.last;
  f.torn = shared.torn;
  f.viaSharedMemory = shared.viaSharedMemory;
  f.latencyMs = std::move(shared.latencyMs);
  f.serverCpuSeconds = cpuAfter > cpuBefore ? cpuAfter - cpuBefore : 0.0;
  f.ok = f.lastFrameNumber > 0;
  if (!f.ok) f.error = "no frame arrived";
  return f;
}

}  // namespace bench
