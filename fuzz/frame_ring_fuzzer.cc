// Fuzz target: a frame ring in shared memory as a local client meets it, which another
// process wrote (a server of another build, a crashed one, a hostile one). The input
// is a notice (its first 25 bytes: generation, sequence, slot, length, and whether the
// notice takes the ring's own generation, so that most inputs get past that check)
// followed by the ring's bytes. The client's reader may refuse either, but never reads
// outside the ring's memory; a frame it accepts lies within the mapping. The notice's
// sequence and slot also serve as a sequence and a contract to look up in the slots'
// delivery lists, as a client woken by the ring's doorbell does.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orna/frame_ring.h"

namespace {

constexpr size_t kNoticeBytes = 25;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kNoticeBytes) return 0;
  FrameRingNotice notice;
  memcpy(&notice.generation, data, 8);
  memcpy(&notice.sequence, data + 8, 8);
  memcpy(&notice.slot, data + 16, 4);
  memcpy(&notice.length, data + 20, 4);
  const bool ownGeneration = (data[24] & 1) != 0;
  // The ring as a mapping holds it: 8-aligned, exactly as large as the rest of the input.
  const size_t ringSize = size - kNoticeBytes;
  std::vector<uint64_t> aligned(ringSize / 8 + 1);
  uint8_t* ring = reinterpret_cast<uint8_t*>(aligned.data());
  memcpy(ring, data + kNoticeBytes, ringSize);

  FrameRingReader reader;
  std::string why;
  if (!OpenFrameRing(ring, ringSize, &reader, &why)) {
    if (why.empty()) abort();
    return 0;
  }
  if (ownGeneration) notice.generation = reader.generation;
  const uint8_t* frame = nullptr;
  if (LocateFrameRingFrame(reader, notice, &frame) == FrameRingRead::kOk) {
    if (frame < ring || frame + notice.length > ring + ringSize) abort();
    FrameRingStillHolds(reader, notice);
  }
  std::vector<uint8_t> copy(notice.length <= ringSize ? notice.length : 0);
  CopyFrameRingFrame(reader, notice, copy.data(), copy.size());

  FrameRingPublished(reader);
  FrameRingLeft(reader);
  FrameRingDelivery found;
  if (FindFrameRingDelivery(reader, notice.sequence, notice.slot, &found) == FrameRingFind::kFound) {
    if (found.frame.length > reader.layout.slotCapacity) abort();
    if (LocateFrameRingFrame(reader, found.frame, &frame) == FrameRingRead::kOk &&
        (frame < ring || frame + found.frame.length > ring + ringSize))
      abort();
  }
  return 0;
}
