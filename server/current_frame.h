// CurrentFrame: the frame the frame source announced last, with its two sent flags,
// and the loan of its pixels to the library.
//
// Guards: CurrentFrame is written by OnNewFrameNotify (grab thread) and read and
// flagged by the equipment function (main thread), both only while they hold
// EqmOrFrameNotify; ClearCurrentFrame runs before the frame source starts.
//
// Slots: the slot of the current frame is pinned (source/frame_slot_pins.h) from its
// announcement until the next one, so the grab thread never refills the frame being
// served, whether its header is read under the semaphore or its pixels after the
// call. The library copies a frame's pixels after the equipment function has
// returned, outside the semaphore, and by then a newer frame may be current; so a
// frame read lends the library the slot itself, pinned once more until the library
// releases it through DataObject::releasePixels, right after its one copy. At most
// one loan is out at a time.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"

struct CurrentFrameState {
  const uint8_t* slot;           // start of the FrameSlot; null before the first frame
  int32_t slotIndex;             // index of that slot; -1 before the first frame
  uint32_t length;               // announced length: pixel bytes + 196; 0 before the first
  double timeStamp;              // the frame time stamp received, bit for bit
  uint32_t captureSeconds;       // FrameHeader timeSeconds of the slot
  uint32_t captureMicroseconds;  // FrameHeader timeMicroseconds of the slot
  bool frameSent;                // Frame.Sched delivered this frame
  bool headerSent;               // Header.Sched delivered this frame
};

extern CurrentFrameState CurrentFrame;  // guarded by EqmOrFrameNotify

// No slot, length 0, flags clear: "No frame taken yet." until the first frame. Takes
// the pin off the slot of the frame that was current.
void ClearCurrentFrame();

// Under EqmOrFrameNotify: makes the frame in slot slotIndex (at slot) current, pinning
// its slot and unpinning the one before. Flags clear. False, and the frame before left
// current and pinned, when the slot can't be pinned: an unpinned current slot could be
// refilled by the grab thread while it is served, so it is never made current.
bool MakeFrameCurrent(const uint8_t* slot, int32_t slotIndex, uint32_t length, double timeStamp,
                      uint32_t captureSeconds, uint32_t captureMicroseconds);

// True when there is a frame to serve.
bool HasCurrentFrame();

// Number of pixel bytes of the current frame (its length minus the 196-byte prefix).
uint32_t CurrentPixelCount();

// Main thread, under EqmOrFrameNotify: lends the library the current frame's pixels
// (dout->pixels, releasePixels, releaseContext), pinning its slot until the release.
// False, and dout unchanged, while an earlier loan has not been released: a library
// that holds on to one loan gets no second.
bool LendCurrentPixels(DataObject* dout);

// True while a loan is out (for tests and checks).
bool PixelsLent();
