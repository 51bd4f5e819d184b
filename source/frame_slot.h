// FrameSlot: one of the frame slots of the frame memory (BaseBuffer, owned by start-up)
// through which frames travel from the grab thread to the server. A slot holds a
// 196-byte prefix, the frame's 188-byte FrameHeader followed by the pixel count and a
// 4-byte address word, then up to 6,291,456 pixel bytes. Slot i begins at byte
// i * 6,291,652 of the frame memory, whatever the frame size.
//
// The address word holds the low 32 bits of the pixel address (byte 196 of the slot);
// on a 64-bit build it is informative only, readers find the pixels from the slot.
//
// Threading: only the grab thread writes slots, without a lock. It fills the slots in
// turn but never one the server has pinned (frame_slot_pins.h): the server pins the
// slot it serves as current, so a reader that took the announced slot under the
// module's lock sees a whole frame for as long as that frame is current.
#pragma once

#include <cstdint>

#include "source/frame_header.h"

constexpr uint32_t kFramePrefixSize = 196;
constexpr uint32_t kSlotLengthWord = 188;
constexpr uint32_t kSlotAddressWord = 192;
constexpr uint32_t kSlotPixelCapacity = 6291456;  // 6 MiB
constexpr uint32_t kFrameSlotStride = kFramePrefixSize + kSlotPixelCapacity;  // 6,291,652

// The slot with the given index in the frame memory at base.
inline uint8_t* FrameSlotAt(uint8_t* base, uint32_t index) {
  return base + static_cast<uint64_t>(index) * kFrameSlotStride;
}

// Fills slot for one frame, in the order readers rely on: the pixels (frameLength
// bytes from pixels, at most kSlotPixelCapacity) at byte 196, then the whole prefix,
// header stamped from the template plus the length and address words, at byte 0.
void FillFrameSlot(uint8_t* slot, const FrameHeaderTemplate& headerTemplate,
                   const FrameStamp& stamp, const uint8_t* pixels, uint32_t frameLength);

// The slot's length word: the number of pixel bytes.
uint32_t SlotFrameLength(const uint8_t* slot);
