#include "orna/frame_ring_client.h"

#include <cstring>

#include "platform/shared_memory.h"

namespace {

// What a server names its ring (frame_ring_server.cc): this prefix and its port.
constexpr char kRingNamePrefix[] = "orna-ring-";
constexpr size_t kMostPortDigits = 5;

bool IsRingName(const char* name) {
  const size_t prefix = sizeof kRingNamePrefix - 1;
  if (strncmp(name, kRingNamePrefix, prefix) != 0) return false;
  const size_t digits = strlen(name + prefix);
  if (digits < 1 || digits > kMostPortDigits) return false;
  for (size_t i = prefix; name[i] != '\0'; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

}  // namespace

OrnaClientRing::~OrnaClientRing() {
  if (memory != nullptr) SysCloseSharedMemory(memory);
}

bool OrnaMapFrameRing(const orna_wire::RingNotice& notice, std::shared_ptr<OrnaClientRing>* ring,
                      std::string* why) {
  const std::shared_ptr<OrnaClientRing>& held = *ring;
  if (held != nullptr && held->name == notice.ring && held->reader.generation == notice.generation)
    return true;
  if (!IsRingName(notice.ring)) {
    *why = std::string("the server named \"") + notice.ring + "\" as its frame ring";
    return false;
  }
  auto mapped = std::make_shared<OrnaClientRing>();
  mapped->name = notice.ring;
  mapped->memory = SysOpenSharedMemory(notice.ring, kFrameRingHeaderSize, why);
  if (mapped->memory == nullptr) return false;
  std::string problem;
  if (!OpenFrameRing(SysSharedMemoryData(mapped->memory), SysSharedMemorySize(mapped->memory),
                     &mapped->reader, &problem)) {
    *why = std::string("shared memory ") + notice.ring + ": " + problem;
    return false;
  }
  *ring = std::move(mapped);
  return true;
}

FrameRingNotice OrnaRingFrameOf(const orna_wire::RingNotice& notice) {
  FrameRingNotice frame;
  frame.generation = notice.generation;
  frame.sequence = notice.sequence;
  frame.slot = notice.slot;
  frame.length = notice.length;
  return frame;
}
