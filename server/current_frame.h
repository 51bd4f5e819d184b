// CurrentFrame: the frame the frame source announced last, with its two sent flags,
// and the hand-over of its pixels to the library.
//
// Guards: CurrentFrame is written by OnNewFrameNotify (grab thread) and read and
// flagged by the equipment function (main thread), both only while they hold
// EqmOrFrameNotify; ClearCurrentFrame runs before the frame source starts.
//
// Pixels: the library copies a frame's pixels after the equipment function has
// returned, outside the semaphore, and by then the grab thread may already be
// refilling that slot. So the frame handler does not lend the slot itself: it pins the
// slot (under the semaphore) and the equipment function, after its release, copies the
// pixels into the module's own frame buffer and unpins the slot. The library takes the
// pixels from that buffer, which only the main thread writes. A notification does not
// return to the grab thread while the slot it will fill next is pinned, so a frame
// never leaves the server with pixels of another frame than its header says.
#pragma once

#include <cstdint>

#include "server/orna_api.h"

struct CurrentFrameState {
  const uint8_t* slot;           // start of the FrameSlot; null before the first frame
  uint32_t length;               // announced length: pixel bytes + 196; 0 before the first
  double timeStamp;              // the frame time stamp received, bit for bit
  uint32_t captureSeconds;       // FrameHeader timeSeconds of the slot
  uint32_t captureMicroseconds;  // FrameHeader timeMicroseconds of the slot
  bool frameSent;                // Frame.Sched delivered this frame
  bool headerSent;               // Header.Sched delivered this frame
};

extern CurrentFrameState CurrentFrame;  // guarded by EqmOrFrameNotify

// No slot, length 0, flags clear: "No frame taken yet." until the first frame.
void ClearCurrentFrame();

// True when there is a frame to serve.
bool HasCurrentFrame();

// Number of pixel bytes of the current frame (its length minus the 196-byte prefix).
uint32_t CurrentPixelCount();

// Main thread, under EqmOrFrameNotify: pins the current slot and arranges that
// FinishPixelHandOver copies its count pixel bytes into the module's frame buffer;
// dout->pixels is set to that buffer. count is at most 6291456.
void LendCurrentPixels(DataObject* dout, uint32_t count);

// Main thread, after EqmOrFrameNotify is released: does the copy arranged by
// LendCurrentPixels (nothing when none is pending) and unpins the slot.
void FinishPixelHandOver();

// Grab thread: returns once the main thread no longer copies out of slot.
void WaitUntilSlotUnpinned(const uint8_t* slot);
