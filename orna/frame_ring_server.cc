#include "orna/frame_ring_server.h"

#include <chrono>
#include <cstring>
#include <string>

#include "orna/frame_ring.h"
#include "orna/local_delivery.h"
#include "orna/orna_api.h"
#include "orna/server_state.h"
#include "platform/shared_memory.h"
#include "platform/shared_wait.h"

namespace {

// Slots are sized in steps of this, so that frames of a slightly different size don't
// make a new ring each time.
constexpr uint64_t kSlotGranule = 64 * 1024;

struct ServerRing {
  SysSharedMemory* memory = nullptr;
  FrameRingWriter writer;
  std::string name;
  bool refused = false;  // it could not be made: not tried again
  uint64_t made = 0;     // rings made by this process, for the generation
};

ServerRing gRing;  // main thread only

uint64_t NewGeneration() {
  const uint64_t now = static_cast<uint64_t>(
      std::chrono::system_clock::now().time_since_epoch() / std::chrono::nanoseconds(1));
  return now ^ (++gRing.made << 56);
}

// A ring whose slots hold frameBytes; false (logged once) when none can be had.
bool RingFor(uint64_t frameBytes) {
  if (gRing.memory != nullptr && frameBytes <= gRing.writer.layout.slotCapacity) return true;
  if (gRing.refused) return false;
  OrnaCloseFrameRing();
  FrameRingLayout layout;
  const uint64_t capacity = (frameBytes + kSlotGranule - 1) / kSlotGranule * kSlotGranule;
  gRing.name = "orna-ring-" + std::to_string(Server().port);
  std::string why = "a frame of " + std::to_string(frameBytes) + " bytes is too large";
  if (PlanFrameRing(static_cast<uint32_t>(OrnaFrameRingSlots()), capacity, &layout))
    gRing.memory = SysCreateSharedMemory(gRing.name.c_str(), layout.totalSize, &why);
  if (gRing.memory == nullptr) {
    gRing.refused = true;
    feclog("frame ring %s not made (%s): local subscribers get frames over TCP",
           gRing.name.c_str(), why.c_str());
    return false;
  }
  InitFrameRing(SysSharedMemoryData(gRing.memory), layout, NewGeneration(), &gRing.writer);
  return true;
}

}  // namespace

bool OrnaPutFrameInRing(OrnaAnswerData* data, orna_wire::RingNotice* notice) {
  if (!data->inRing) {
    OrnaPublishFrameRing();
    const uint64_t frameBytes = (uint64_t)ORNA_FRAME_PREFIX_SIZE + (uint64_t)data->pixelCount;
    if (!RingFor(frameBytes)) return false;
    FrameRingNotice written;
    bool ok = false;
    if (data->made) {
      ok = WriteFrameRing(&gRing.writer, data->message.data(), data->message.size(), nullptr, 0,
                          &written);
    } else {
      ok = WriteFrameRing(&gRing.writer, data->prefix, ORNA_FRAME_PREFIX_SIZE, data->pixels,
                          (size_t)data->pixelCount, &written);
    }
    if (!ok) return false;
    ++Server().counters.pixelCopies;
    orna_wire::CopyName(data->ringNotice.ring, sizeof data->ringNotice.ring, gRing.name.c_str());
    data->ringNotice.generation = written.generation;
    data->ringNotice.sequence = written.sequence;
    data->ringNotice.slot = written.slot;
    data->ringNotice.length = written.length;
    data->inRing = true;
  }
  *notice = data->ringNotice;
  return true;
}

bool OrnaListRingDelivery(const OrnaAnswerData& data, const orna_wire::ReplyHeader& header,
                          uint32_t contract, uint32_t delivery) {
  static_assert(kFrameRingNoteSize == orna_wire::kReplyHeaderSize);
  if (!data.inRing || gRing.memory == nullptr ||
      data.ringNotice.generation != gRing.writer.generation ||
      data.ringNotice.sequence != gRing.writer.sequence)
    return false;
  // The header without what differs from contract to contract: the slot says those.
  orna_wire::ReplyHeader shared = header;
  shared.id = 0;
  shared.aux = 0;
  uint8_t note[kFrameRingNoteSize];
  orna_wire::EncodeReply(shared, note);
  return ListFrameRingDelivery(&gRing.writer, note, contract, delivery);
}

void OrnaPublishFrameRing() {
  if (gRing.memory != nullptr && PublishFrameRing(&gRing.writer))
    SysWakeOnSharedWord(FrameRingDoorbell(gRing.writer), kFrameRingServerWakes);
}

void OrnaCloseFrameRing() {
  if (gRing.memory == nullptr) return;
  OrnaPublishFrameRing();
  LeaveFrameRing(&gRing.writer);
  SysWakeOnSharedWord(FrameRingDoorbell(gRing.writer), kFrameRingServerWakes);
  SysCloseSharedMemory(gRing.memory);
  gRing.memory = nullptr;
  gRing.writer = FrameRingWriter{};
}
