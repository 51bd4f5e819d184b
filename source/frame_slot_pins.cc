#include "source/frame_slot_pins.h"
#include "source/frame_slot_pins_testing.h"

#include <chrono>
#include <condition_variable>

#include "platform/annotated_mutex.h"

namespace {

// The pins of every slot and the waiting source.
struct PinTable {
  Mutex mutex;
  std::condition_variable unpinned;
  uint32_t count[kMaxPinnedSlots] GUARDED_BY(mutex) = {};
};

PinTable& Pins() {
  static PinTable table;
  return table;
}

constexpr auto kStopCheckInterval = std::chrono::milliseconds(10);

}  // namespace

bool PinFrameSlot(uint32_t index) {
  if (index >= kMaxPinnedSlots) return false;
  PinTable& pins = Pins();
  MutexLock lock(pins.mutex);
  ++pins.count[index];
  return true;
}

bool UnpinFrameSlot(uint32_t index) {
  if (index >= kMaxPinnedSlots) return false;
  PinTable& pins = Pins();
  {
    MutexLock lock(pins.mutex);
    if (pins.count[index] == 0) return false;
    if (--pins.count[index] != 0) return true;
  }
  pins.unpinned.notify_all();
  return true;
}

bool FrameSlotPinned(uint32_t index) {
  if (index >= kMaxPinnedSlots) return false;
  PinTable& pins = Pins();
  MutexLock lock(pins.mutex);
  return pins.count[index] != 0;
}

int32_t TakeFreeFrameSlot(uint32_t preferred, uint32_t slotCount, const std::atomic<bool>& stop) {
  if (slotCount == 0) return -1;
  if (preferred >= slotCount) preferred = 0;
  PinTable& pins = Pins();
  MutexLock lock(pins.mutex);
  while (!stop.load()) {
    for (uint32_t step = 0; step < slotCount; ++step) {
      uint32_t index = (preferred + step) % slotCount;
      if (index >= kMaxPinnedSlots || pins.count[index] == 0) return static_cast<int32_t>(index);
    }
    lock.WaitFor(pins.unpinned, kStopCheckInterval);
  }
  return -1;
}

void ClearFrameSlotPins() {
  PinTable& pins = Pins();
  {
    MutexLock lock(pins.mutex);
    for (uint32_t& c : pins.count) c = 0;
  }
  pins.unpinned.notify_all();
}
