#include "server/current_frame.h"

#include <atomic>
#include <cstring>

#include "app/process_state.h"

CurrentFrameState CurrentFrame = {};

namespace {

constexpr uint32_t kMaxPixelBytes = kFrameSlotSize - ORNA_FRAME_PREFIX_SIZE;  // 6,291,456

// The pixels handed to the library. Written and read only on the main thread: by
// FinishPixelHandOver, and by the library right after the equipment function returns.
uint8_t gFramePixels[kMaxPixelBytes];

// The slot the main thread is copying pixels out of, or null. Set under
// EqmOrFrameNotify, cleared by the main thread after the copy; the grab thread waits
// on it (atomic wait) before it refills a slot.
std::atomic<const uint8_t*> gPinnedSlot{nullptr};

// The copy LendCurrentPixels arranged; main thread only.
struct PendingCopy {
  const uint8_t* source = nullptr;
  uint32_t count = 0;
};
PendingCopy gPending;

}  // namespace

void ClearCurrentFrame() { CurrentFrame = CurrentFrameState{}; }

bool HasCurrentFrame() { return CurrentFrame.slot != nullptr && CurrentFrame.length != 0; }

uint32_t CurrentPixelCount() {
  if (CurrentFrame.length < ORNA_FRAME_PREFIX_SIZE) return 0;
  return CurrentFrame.length - ORNA_FRAME_PREFIX_SIZE;
}

void LendCurrentPixels(DataObject* dout, uint32_t count) {
  if (count > kMaxPixelBytes) count = kMaxPixelBytes;
  gPinnedSlot.store(CurrentFrame.slot);
  gPending.source = CurrentFrame.slot + ORNA_FRAME_PREFIX_SIZE;
  gPending.count = count;
  dout->pixels = gFramePixels;
}

void FinishPixelHandOver() {
  if (gPending.source == nullptr) return;
  memcpy(gFramePixels, gPending.source, gPending.count);
  gPending = PendingCopy{};
  gPinnedSlot.store(nullptr);
  gPinnedSlot.notify_all();
}

void WaitUntilSlotUnpinned(const uint8_t* slot) {
  const uint8_t* pinned = gPinnedSlot.load();
  while (pinned != nullptr && pinned == slot) {
    gPinnedSlot.wait(pinned);
    pinned = gPinnedSlot.load();
  }
}
