// A reader copying the newest frame of the ring while the writer fills the slots as
// fast as it can: every frame it takes as whole is one fill value throughout. A reader
// in another process reads the way this thread does; in one process the copies race
// by design, so the thread sanitizer's build leaves this file out.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "orna/frame_ring.h"

namespace {

TEST(FrameRingRaceTest, AReaderRacingTheWriterNeverTakesATornFrame) {
  constexpr uint32_t kSlots = 2;
  constexpr uint64_t kLength = 4096;
  FrameRingLayout layout;
  ASSERT_TRUE(PlanFrameRing(kSlots, kLength, &layout));
  std::vector<uint64_t> memory(layout.totalSize / 8 + 1, 0);
  uint8_t* base = reinterpret_cast<uint8_t*>(memory.data());
  FrameRingWriter writer;
  InitFrameRing(base, layout, 5, &writer);
  FrameRingReader reader;
  std::string why;
  ASSERT_TRUE(OpenFrameRing(base, layout.totalSize, &reader, &why)) << why;

  std::atomic<uint64_t> newest{0};
  std::atomic<bool> done{false};
  std::thread writing([&] {
    std::vector<uint8_t> frame(kLength);
    for (uint64_t i = 1; i <= 100000; ++i) {
      memset(frame.data(), static_cast<int>(i & 0xff), frame.size());
      FrameRingNotice notice;
      WriteFrameRing(&writer, frame.data(), 96, frame.data() + 96, kLength - 96, &notice);
      newest.store(notice.sequence, std::memory_order_release);
    }
    done.store(true);
  });
  size_t whole = 0;
  size_t torn = 0;
  size_t overtaken = 0;
  std::vector<uint8_t> frame(kLength);
  while (!done.load()) {
    FrameRingNotice notice;
    notice.generation = 5;
    notice.sequence = newest.load(std::memory_order_acquire);
    if (notice.sequence == 0) continue;
    notice.slot = static_cast<uint32_t>((notice.sequence - 1) % kSlots);
    notice.length = kLength;
    const FrameRingRead read = CopyFrameRingFrame(reader, notice, frame.data(), frame.size());
    if (read == FrameRingRead::kOvertaken) {
      ++overtaken;
      continue;
    }
    ASSERT_EQ(FrameRingRead::kOk, read);
    ++whole;
    for (uint8_t byte : frame) {
      if (byte != static_cast<uint8_t>(notice.sequence & 0xff)) {
        ++torn;
        break;
      }
    }
  }
  writing.join();
  EXPECT_EQ(0u, torn) << whole << " whole, " << overtaken << " overtaken";
  EXPECT_GT(whole, 0u);
}

}  // namespace
