// Seams of the frame-slot pin table (frame_slot_pins.h) for tests only; the server
// never calls these.
//
// Threading: the test's main thread, while nothing else pins or fills slots.
#pragma once

#include <cstdint>

// True while slot index has at least one pin.
bool FrameSlotPinned(uint32_t index);

// Removes every pin, so that each case starts from an empty table.
void ClearFrameSlotPins();
