#include "server/current_frame.h"

#include <cstdint>

#include "base/process_state.h"
#include "server/module_testing.h"
#include "source/frame_slot.h"
#include "source/frame_slot_pins.h"

// Every slot the frame source fills must be one the pin table can hold: a slot beyond
// it could never be pinned, so its frames could never be served.
static_assert(kFrameSlotCount <= kMaxPinnedSlots, "the pin table must hold every frame slot");

CurrentFrameState CurrentFrame = {nullptr, -1, 0, 0.0, 0, 0, false, false};

namespace {

// The loan out to the library: its slot and a number that names it, so that a stale
// or repeated release can't take the pin of a later loan. Main thread only (lent in
// the equipment function, released by the library in its cycle).
struct Loan {
  bool out = false;
  uint32_t slotIndex = 0;
  uintptr_t number = 0;
};
Loan gLoan;

void ReleaseLoan(void* context) {
  const uintptr_t number = reinterpret_cast<uintptr_t>(context);
  if (!gLoan.out || gLoan.number != number) return;
  gLoan.out = false;
  UnpinFrameSlot(gLoan.slotIndex);
}

}  // namespace

void ClearCurrentFrame() {
  if (CurrentFrame.slotIndex >= 0) UnpinFrameSlot(static_cast<uint32_t>(CurrentFrame.slotIndex));
  CurrentFrame = CurrentFrameState{nullptr, -1, 0, 0.0, 0, 0, false, false};
}

bool MakeFrameCurrent(const uint8_t* slot, int32_t slotIndex, uint32_t length, double timeStamp,
                      uint32_t captureSeconds, uint32_t captureMicroseconds) {
  // Pin first: announcing the current slot again keeps it pinned throughout.
  if (slotIndex < 0 || !PinFrameSlot(static_cast<uint32_t>(slotIndex))) return false;
  if (CurrentFrame.slotIndex >= 0) UnpinFrameSlot(static_cast<uint32_t>(CurrentFrame.slotIndex));
  CurrentFrame.slot = slot;
  CurrentFrame.slotIndex = slotIndex;
  CurrentFrame.length = length;
  CurrentFrame.timeStamp = timeStamp;
  CurrentFrame.captureSeconds = captureSeconds;
  CurrentFrame.captureMicroseconds = captureMicroseconds;
  CurrentFrame.frameSent = false;
  CurrentFrame.headerSent = false;
  return true;
}

bool HasCurrentFrame() { return CurrentFrame.slot != nullptr && CurrentFrame.length != 0; }

uint32_t CurrentPixelCount() {
  if (CurrentFrame.length < ORNA_FRAME_PREFIX_SIZE) return 0;
  return CurrentFrame.length - ORNA_FRAME_PREFIX_SIZE;
}

bool LendCurrentPixels(DataObject* dout) {
  if (gLoan.out || CurrentFrame.slotIndex < 0) return false;
  if (!PinFrameSlot(static_cast<uint32_t>(CurrentFrame.slotIndex))) return false;
  gLoan.out = true;
  gLoan.slotIndex = static_cast<uint32_t>(CurrentFrame.slotIndex);
  ++gLoan.number;
  dout->pixels = const_cast<uint8_t*>(CurrentFrame.slot) + ORNA_FRAME_PREFIX_SIZE;
  dout->releasePixels = ReleaseLoan;
  dout->releaseContext = reinterpret_cast<void*>(gLoan.number);
  return true;
}

bool PixelsLent() { return gLoan.out; }

void ForgetPixelLoanForTesting() { gLoan.out = false; }
