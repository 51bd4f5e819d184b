// FrameSlot: one of the frame slots of the frame memory (BaseBuffer, owned by start-up)
// through which frames travel from the grab thread to the server. A slot holds a
// prefix (kFramePrefixSize), the frame's FrameHeader followed by the pixel count and a
// 4-byte address word, then up to kSlotPixelCapacity pixel bytes. Slot i begins at
// byte i * kFrameSlotStride of the frame memory, whatever the frame size.
//
// The address word holds the low 32 bits of the pixel address (the slot's first byte
// after the prefix);
// on a 64-bit build it is informative only, readers find the pixels from the slot.
//
// Threading: only the grab thread writes slots, without a lock. It fills the slots in
// turn but never one the server has pinned (frame_slot_pins.h): the server pins the
// slot it serves as current, so a reader that took the announced slot under the
// module's lock sees a whole frame for as long as that frame is current.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"
#include "source/frame_header.h"

// The prefix is the library's frame format (a value of ORNA_FMT_IMAGE), so its sizes
// are the library's; the header it begins with is ours.
constexpr uint32_t kFramePrefixSize = ORNA_FRAME_PREFIX_SIZE;  // 196
constexpr uint32_t kSlotLengthWord = kFrameHeaderSize;         // 188
constexpr uint32_t kSlotAddressWord = ORNA_FRAME_PIXEL_ADDRESS_OFFSET;  // 192
static_assert(kSlotAddressWord == kSlotLengthWord + 4 && kFramePrefixSize == kSlotAddressWord + 4,
              "the prefix is the header, the length word and the address word");
constexpr uint32_t kSlotPixelCapacity = 6291456;  // 6 MiB
constexpr uint32_t kFrameSlotStride = kFramePrefixSize + kSlotPixelCapacity;  // 6,291,652

// The frame memory (BaseBuffer) holds two slots: the grab thread fills one while the
// server serves the other.
constexpr uint32_t kFrameSlotCount = 2;
constexpr uint32_t kBaseBufferSize = kFrameSlotCount * kFrameSlotStride;  // 12,583,304

// The slot with the given index in the frame memory at base.
inline uint8_t* FrameSlotAt(uint8_t* base, uint32_t index) {
  return base + static_cast<uint64_t>(index) * kFrameSlotStride;
}

// Fills slot for one frame, in the order readers rely on: the pixels (frameLength
// bytes from pixels, at most kSlotPixelCapacity) after the prefix, then the whole prefix,
// header stamped from the template plus the length and address words, at byte 0.
void FillFrameSlot(uint8_t* slot, const FrameHeaderTemplate& headerTemplate,
                   const FrameStamp& stamp, const uint8_t* pixels, uint32_t frameLength);

// The slot's length word: the number of pixel bytes.
uint32_t SlotFrameLength(const uint8_t* slot);
