#include "orna/local_delivery.h"

#include <cstdlib>
#include <cstring>

#include "platform/shared_memory.h"
#include "platform/shared_wait.h"

namespace {

constexpr int kDefaultSlots = 8;
constexpr int kFewestSlots = 2;
constexpr int kMostSlots = 64;
constexpr char kDoorbellMark[] = " doorbell";

std::string HostIdentity() {
  std::string identity;
  if (!SysHostIdentity(&identity)) return "";
  return identity;
}

}  // namespace

const std::string& OrnaLocalIdentity() {
  static const std::string host = HostIdentity();
  static const std::string none;
  // Looked at on every use, so that a client process may take some subscriptions over
  // TCP and others through shared memory.
  const char* choice = getenv("ORNA_SHARED_MEMORY");
  if (choice != nullptr && strcmp(choice, "0") == 0) return none;
  return host;
}

std::string OrnaLocalOffer() {
  const std::string& identity = OrnaLocalIdentity();
  if (identity.empty() || !SysSharedWaitWorks()) return identity;
  return identity + kDoorbellMark;
}

bool OrnaAcceptLocalOffer(const std::string& offered, bool* doorbell) {
  const std::string& own = OrnaLocalIdentity();
  *doorbell = false;
  if (own.empty() || offered.compare(0, own.size(), own) != 0) return false;
  const std::string rest = offered.substr(own.size());
  if (rest.empty()) return true;
  if (rest != kDoorbellMark) return false;
  *doorbell = SysSharedWaitWorks();
  return true;
}

int OrnaFrameRingSlots() {
  const char* text = getenv("ORNA_SHARED_MEMORY_SLOTS");
  if (text == nullptr) return kDefaultSlots;
  char* end = nullptr;
  const long slots = strtol(text, &end, 10);
  if (end == text || *end != '\0' || slots < kFewestSlots || slots > kMostSlots)
    return kDefaultSlots;
  return static_cast<int>(slots);
}
