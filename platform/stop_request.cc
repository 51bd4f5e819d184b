// Stop requests on top of the console handler, the same on every platform: the
// handler answers true (handled) for a caught event once requests are taken, which
// keeps the process alive, and false otherwise, which ends it by the default handling.
#include "platform/stop_request.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

uint32_t gEventBits = 0;  // set once, before the handler is installed
std::atomic<bool> gTaking{false};
std::atomic<bool> gRequested{false};
// Wakes SysWaitForStopRequest; gRequested is set under the lock so that a waiter
// between its look and its wait can't miss the wake-up.
std::mutex gLock;
std::condition_variable gRequestCame;

bool OnConsoleEvent(uint32_t eventType) {
  if (eventType >= 32 || (gEventBits & (1u << eventType)) == 0 || !gTaking.load()) {
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(gLock);
    gRequested.store(true);
  }
  gRequestCame.notify_all();
  return true;
}

}  // namespace

bool SysCatchStopRequests(uint32_t eventBits) {
  gEventBits = eventBits;
  return SysInstallConsoleHandler(OnConsoleEvent);
}

void SysTakeStopRequests() { gTaking.store(true); }

bool SysStopRequested() { return gRequested.load(); }

void SysWaitForStopRequest() {
  std::unique_lock<std::mutex> hold(gLock);
  gRequestCame.wait(hold, [] { return gRequested.load(); });
}
