#include "source/frame_slot.h"

#include <cstring>

#include "source/byte_order.h"

void FillFrameSlot(uint8_t* slot, const FrameHeaderTemplate& headerTemplate,
                   const FrameStamp& stamp, const uint8_t* pixels, uint32_t frameLength) {
  uint8_t prefix[kFramePrefixSize];
  WriteFrameHeader(headerTemplate, stamp, prefix);
  uint8_t* pixelArea = slot + kFramePrefixSize;
  StoreLe32(prefix + kSlotLengthWord, frameLength);
  StoreLe32(prefix + kSlotAddressWord,
            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pixelArea)));
  std::memcpy(pixelArea, pixels, frameLength);
  std::memcpy(slot, prefix, sizeof prefix);
}

uint32_t SlotFrameLength(const uint8_t* slot) { return LoadLe32(slot + kSlotLengthWord); }
