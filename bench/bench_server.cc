// The benchmark's equipment module. A producer thread makes frames in two alternating
// slots as fast as the server takes them and schedules "Frame.Sched" for each; the
// main thread runs the library's _SystemCycle loop, tuned the way the frame server
// tunes it.
//
// The producer stamps each frame (number in the prefix and in the first pixel bytes)
// instead of redrawing all its pixels: the benchmark measures the library, and a
// producer writing megabytes per frame would take one of the machine's two cores.
#include "bench/bench_server.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "orna/orna_api.h"
#include "platform/annotated_mutex.h"
#include "source/byte_order.h"
#include "source/frame_slot.h"

namespace bench {
namespace {

const char* kModule = "BNCMOD";

// Frame slots and their hand-over between the producer and the main thread. Never
// destroyed: the library may end the process (SRVEXIT) from inside _SystemCycle.
struct FrameState {
  Mutex mutex;
  std::condition_variable taken;  // signalled when the current frame was sent
  // Sized before the producer starts; a slot's bytes are handed over through current
  // and sent.
  std::vector<uint8_t> slots[2];  // prefix + pixels
  int frameBytes = 0;
  int current GUARDED_BY(mutex) = -1;  // slot of the newest frame, -1 before the first
  bool sent GUARDED_BY(mutex) = false;  // the newest frame went out already
  bool stop GUARDED_BY(mutex) = false;
  uint32_t number GUARDED_BY(mutex) = 0;  // number of the newest frame
  int32_t served GUARDED_BY(mutex) = 0;   // reads answered with a frame
  std::thread producer;
};

FrameState& Frames() {
  static FrameState* state = new FrameState;
  return *state;
}

// Main thread, inside the equipment function. The library copies the pixels right
// after this returns, outside the lock; the producer meanwhile writes the other slot,
// whose own copy was finished before this read began (the main thread is serial).
int ServeFrame(DataObject* out) {
  FrameState& f = Frames();
  MutexLock lock(f.mutex);
  if (f.current < 0 || f.sent) return 516;
  if (out == nullptr || out->format != ORNA_FMT_IMAGE) return ORNA_ILLEGAL_FORMAT;
  if (out->count < f.frameBytes) return ORNA_DIMENSION_ERROR;
  uint8_t* slot = f.slots[f.current].data();
  memcpy(out->data, slot, ORNA_FRAME_PREFIX_SIZE);
  out->pixels = slot + ORNA_FRAME_PREFIX_SIZE;
  out->count = f.frameBytes;
  out->stamp = makeDataTimeStamp();
  f.sent = true;
  ++f.served;
  f.taken.notify_one();
  return ORNA_OK;
}

int PutInt(DataObject* out, int32_t value) {
  if (out == nullptr || out->format != ORNA_FMT_INT32) return ORNA_ILLEGAL_FORMAT;
  if (out->count < 1) return ORNA_DIMENSION_ERROR;
  memcpy(out->data, &value, 4);
  out->count = 1;
  return ORNA_OK;
}

int Equipment(const char* /*device*/, const char* property, DataObject* out, DataObject* /*in*/,
              short access) {
  if ((access & ORNA_ACCESS_WRITE) != 0) return ORNA_ILLEGAL_READ_WRITE;
  if (strcmp(property, "Int") == 0) return PutInt(out, 42);
  if (strcmp(property, "Frame.Sched") == 0) return ServeFrame(out);
  if (strcmp(property, "FramesServed") == 0) {
    MutexLock lock(Frames().mutex);
    return PutInt(out, Frames().served);
  }
  return ORNA_ILLEGAL_PROPERTY;
}

void Init() {
  bool ok = RegisterDeviceName(kModule, "Dev", 0) == 0 &&
            RegisterPropertyEx(kModule, "Int", 1, ORNA_FMT_INT32, 1, "reads 42", 1) > 0 &&
            RegisterPropertyEx(kModule, "Frame.Sched", Frames().frameBytes, ORNA_FMT_IMAGE, 1,
                               "newest frame, once", 2) > 0 &&
            RegisterPropertyEx(kModule, "FramesServed", 1, ORNA_FMT_INT32, 1,
                               "frames read so far", 3) > 0;
  if (!ok) {
    fprintf(stderr, "bench server: registration of the module's names failed\n");
    exit(5);
  }
}

void Produce() {
  FrameState& f = Frames();
  int slot = 0;
  MutexLock lock(f.mutex);
  for (;;) {
    while (!f.stop && f.current >= 0 && !f.sent) lock.WaitFor(f.taken, std::chrono::milliseconds(100));
    if (f.stop) return;
    uint32_t n = f.number + 1;
    lock.Unlock();
    uint8_t* s = f.slots[slot].data();
    StoreLe32(s + kHeaderFrameNumber, n);
    if (f.frameBytes >= 4) memcpy(s + ORNA_FRAME_PREFIX_SIZE, &n, 4);
    lock.Lock();
    f.current = slot;
    f.number = n;
    f.sent = false;
    lock.Unlock();
    _SystemScheduleProperty(kModule, "Frame.Sched");
    lock.Lock();
    slot ^= 1;
  }
}

void StopProducer() {
  FrameState& f = Frames();
  {
    MutexLock lock(f.mutex);
    f.stop = true;
    f.taken.notify_all();
  }
  if (f.producer.joinable()) f.producer.join();
}

void PrepareSlots(int frameBytes) {
  FrameState& f = Frames();
  f.frameBytes = frameBytes;
  for (auto& s : f.slots) {
    s.assign((size_t)ORNA_FRAME_PREFIX_SIZE + (size_t)frameBytes, 0);
    memcpy(s.data(), "QDR3", 4);
    StoreLe32(s.data() + kHeaderFrameLength, (uint32_t)frameBytes);
    StoreLe32(s.data() + kSlotLengthWord, (uint32_t)frameBytes);
    for (int i = 0; i < frameBytes; ++i) s[ORNA_FRAME_PREFIX_SIZE + i] = uint8_t(i);
  }
}

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

}  // namespace

int RunBenchServer(int argc, char** argv) {
  int frameBytes = atoi(Arg(argc, argv, "--frame-bytes", "307200"));
  int maxSeconds = atoi(Arg(argc, argv, "--max-seconds", "120"));
  if (frameBytes < 0 || frameBytes > static_cast<int>(kSlotPixelCapacity)) frameBytes = 307200;
  if (maxSeconds <= 0) maxSeconds = 120;
  PrepareSlots(frameBytes);

  // The frame server's own tuning.
  setWorkAreaSize(6301456);
  SetPacketMTU(64000);
  _SystemAssignBufferSpace(524288, 64000);
  MaxNumContracts = 1000;
  MinPollingRate = 50;
  gAllowRemoteExit = 1;
  SetUseLoopback(1);

  int r = RegisterFecInformation("BENCHFEC", "BENCH", kContext, "library benchmark", "loopback",
                                 "none", "bench", 0);
  if (r == 0) r = _SystemInit(1);
  if (r == 0)
    r = RegisterEquipmentModule(kServerName, kModule, 1, Equipment, Init, nullptr, 0, StopProducer);
  if (r != 0) {
    fprintf(stderr, "bench server: cannot start: %s\n", erlst[r]);
    return 2;
  }
  Frames().producer = std::thread(Produce);

  // Ends after maxSeconds, or soon after the parent is gone (checked every 100 ms,
  // not every cycle, to keep the cycle as the library alone makes it).
  const pid_t parent = getppid();
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::seconds(maxSeconds);
  auto nextCheck = start;
  for (;;) {
    _SystemCycle(1);
    auto now = std::chrono::steady_clock::now();
    if (now < nextCheck) continue;
    if (now >= end || getppid() != parent) break;
    nextCheck = now + std::chrono::milliseconds(100);
  }
  StopProducer();
  return 0;
}

}  // namespace bench
