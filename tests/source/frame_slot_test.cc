// Filling a frame slot: where the pixels and the prefix words go, that nothing past the
// frame is written, and that the slot stride matches the frame memory start-up allocates.

#include "source/frame_slot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "source/byte_order.h"

namespace {

TEST(FrameSlot, LayoutMatchesTheFrameMemory) {
  uint8_t* base = reinterpret_cast<uint8_t*>(0x1000);
  EXPECT_EQ(base + 6291652, FrameSlotAt(base, 1));
}

TEST(FrameSlot, PixelsFollowThePrefixAndNothingPastThemChanges) {
  std::vector<uint8_t> slot(kFramePrefixSize + 64, 0xEE);
  FrameHeaderTemplate headerTemplate;
  FrameHeaderFields fields;
  fields.width = 4;
  fields.height = 2;
  fields.bytesPerPixel = 1;
  fields.frameLength = 8;
  BuildFrameHeaderTemplate(fields, &headerTemplate);
  const uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  FillFrameSlot(slot.data(), headerTemplate, FrameStamp{1, 2000, 3, 4}, pixels, 8);

  EXPECT_EQ(0, std::memcmp(slot.data() + 196, pixels, 8));
  for (size_t i = 196 + 8; i < slot.size(); ++i) EXPECT_EQ(0xEE, slot[i]) << i;
  EXPECT_EQ(8u, SlotFrameLength(slot.data()));
  EXPECT_EQ(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot.data() + 196)),
            LoadLe32(slot.data() + 192));
  FrameHeader h;
  DecodeFrameHeader(slot.data(), &h);
  EXPECT_EQ(196u, h.totalLength);
  EXPECT_EQ(3u, h.frameNumber);
  EXPECT_EQ(4u, h.passNumber);
}

TEST(FrameSlot, EmptyFrameWritesOnlyThePrefix) {
  std::vector<uint8_t> slot(kFramePrefixSize + 4, 0xEE);
  FrameHeaderTemplate headerTemplate;
  BuildFrameHeaderTemplate(FrameHeaderFields{}, &headerTemplate);
  const uint8_t noPixels[1] = {0x11};
  FillFrameSlot(slot.data(), headerTemplate, FrameStamp{}, noPixels, 0);
  EXPECT_EQ(0u, SlotFrameLength(slot.data()));
  EXPECT_EQ(0xEE, slot[196]);
}

}  // namespace
