// FrameSlotPins: which frame slots the server is still reading, so that the frame
// source never refills one of them. The source fills, the module pins: the equipment
// module pins the slot of the frame it serves as current for as long as it is current,
// and pins it once more while the library copies its pixels; the grab thread fills,
// for every frame, a slot that nobody has pinned, and waits only while every slot is
// pinned (for at most one pixel copy, since only the current slot is ever lent).
//
// One table for the whole process, beside the frame memory it describes; slots with an
// index of kMaxPinnedSlots or more can't be pinned.
//
// Threading: any thread. Pins are counted, so the current-frame pin and a lend of the
// same slot are independent; every Pin must be matched by one Unpin.
#pragma once

#include <atomic>
#include <cstdint>

constexpr uint32_t kMaxPinnedSlots = 8;

// Adds one pin to slot index. False (nothing changed) for an index the table can't hold.
bool PinFrameSlot(uint32_t index);
// Takes one pin off slot index and wakes a source waiting for a slot. False when the
// slot had no pin (nothing changed).
bool UnpinFrameSlot(uint32_t index);
// The slot the source may fill next among slotCount slots: preferred when it has no
// pin, else the first unpinned slot after it. When every slot is pinned it waits until
// one is unpinned, looking at stop at least every 10 ms; -1 when stop became true
// first. Called by the frame source's thread only.
int32_t TakeFreeFrameSlot(uint32_t preferred, uint32_t slotCount, const std::atomic<bool>& stop);
