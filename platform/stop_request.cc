// Stop requests on top of the console handler, the same on every platform: the
// handler answers true (handled) for a caught event once requests are taken, which
// keeps the process alive, and false otherwise, which ends it by the default handling.
#include "platform/stop_request.h"

#include <atomic>

#include "platform/sys.h"

namespace {

// Waits between looks at the request, so that a waiter without a semaphore still
// notices it.
constexpr uint32_t kLookIntervalMs = 1000;

uint32_t gEventBits = 0;  // set once, before the handler is installed
std::atomic<bool> gTaking{false};
std::atomic<bool> gRequested{false};
// Given a count at each request, to wake SysWaitForStopRequest. Made before the
// handler is installed and never freed: the handler's thread outlives main, and a
// request may come while the process is ending.
SysSemaphore* gRequestCame = nullptr;

bool OnConsoleEvent(uint32_t eventType) {
  if (eventType >= 32 || (gEventBits & (1u << eventType)) == 0 || !gTaking.load()) {
    return false;
  }
  gRequested.store(true);
  SysReleaseSemaphore(gRequestCame);  // false when a count is there already
  return true;
}

}  // namespace

bool SysCatchStopRequests(uint32_t eventBits) {
  gEventBits = eventBits;
  if (gRequestCame == nullptr) gRequestCame = SysCreateSemaphore(0, 1);
  return gRequestCame != nullptr && SysInstallConsoleHandler(OnConsoleEvent);
}

void SysTakeStopRequests() { gTaking.store(true); }

bool SysStopRequested() { return gRequested.load(); }

void SysWaitForStopRequest() {
  while (!gRequested.load()) {
    if (gRequestCame == nullptr) {
      SysSleep(kLookIntervalMs);
    } else {
      SysWaitSemaphore(gRequestCame, kLookIntervalMs);
    }
  }
}
