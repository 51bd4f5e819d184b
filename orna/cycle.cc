// The server cycle: waits (bounded) for requests, scheduled properties and timers,
// then serves them all, runs the background task when it is due, and ends the process
// after an accepted SRVEXIT.
#include <zmq.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "orna/contract_service.h"
#include "orna/frame_ring_server.h"
#include "orna/requests.h"
#include "orna/server_init.h"
#include "orna/server_state.h"
#include "orna/tuning.h"

namespace {

// The longest a cycle waits when nothing is due.
constexpr auto kLongestWait = std::chrono::milliseconds(250);

// Clears the wake signal and lets the next schedule raise it again. Both under the
// schedule's mutex: a raise between the two steps would otherwise be cleared here while
// `woken` stayed set, and no schedule would wake the cycle again.
void DrainWakeUps(OrnaServer& s) {
  MutexLock lock(Schedule().mutex);
  SysClearWakeSignal(s.wake);
  Schedule().woken = false;
}

bool SchedulePending() {
  MutexLock lock(Schedule().mutex);
  return !Schedule().pending.empty();
}

long WaitMs(const OrnaServer& s) {
  OrnaClock::time_point now = OrnaClock::now();
  OrnaClock::time_point until = now + kLongestWait;
  if (s.moduleRegistered && s.backgroundFunction != nullptr && s.backgroundIntervalMs > 0)
    until = std::min(until, s.nextBackground);
  until = OrnaNextContractRead(s.contracts, until);
  // Rounded up: a wait rounded down to 0 would poll again and again in the last
  // millisecond before a timer.
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  return ms < 0 ? 0 : (long)ms;
}

void RunBackgroundTask(OrnaServer& s) {
  if (!s.moduleRegistered || s.backgroundFunction == nullptr || s.backgroundIntervalMs <= 0) return;
  OrnaClock::time_point now = OrnaClock::now();
  if (now < s.nextBackground) return;
  auto interval = std::chrono::milliseconds(s.backgroundIntervalMs);
  s.nextBackground += interval;
  if (s.nextBackground <= now) s.nextBackground = now + interval;
  s.backgroundFunction();
}

// After an accepted SRVEXIT: the answer is queued, the module's exit function runs,
// the transport lingers until the answer is out, and the process ends with code 0.
[[noreturn]] void EndProcess(OrnaServer& s) {
  feclog("remote exit of /%s/%s", s.context.c_str(), s.serverName.c_str());
  if (s.exitFunction != nullptr) s.exitFunction();
  OrnaShutdownServer();
  std::exit(0);
}

}  // namespace

int _SystemCycle(int wait) {
  OrnaServer& s = Server();
  if (!s.initialized) {
    // Nothing to serve: don't let a caller's loop spin.
    if (wait != 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ORNA_NOT_INITIALIZED;
  }
  zmq_pollitem_t items[2] = {{s.router, 0, ZMQ_POLLIN, 0},
                             {nullptr, static_cast<zmq_fd_t>(SysWakeSignalHandle(s.wake)), ZMQ_POLLIN, 0}};
  long timeout = wait != 0 && !SchedulePending() ? WaitMs(s) : 0;
  zmq_poll(items, 2, timeout);

  // The router is read only when the poll found a message: a receive that finds none
  // costs system calls all the same.
  int budget = (items[0].revents & ZMQ_POLLIN) != 0 ? Tuning().burstLimit : 0;
  OrnaParts parts;
  while (budget-- > 0 && OrnaReceive(s.router, &parts)) {
    OrnaServeMessage(parts);
    if (s.exitRequested) break;
  }
  if (s.exitRequested) EndProcess(s);

  if ((items[1].revents & ZMQ_POLLIN) != 0) DrainWakeUps(s);
  if (s.moduleRegistered) {
    OrnaServeScheduled();
    OrnaServeContractTimers();
  }
  // Frames the cycle listed in the ring reach their local subscribers now, all at once.
  OrnaPublishFrameRing();
  OrnaExpireContracts(s.contracts, OrnaClock::now());
  RunBackgroundTask(s);
  if (Tuning().cycleDelayMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(Tuning().cycleDelayMs));
  return ORNA_OK;
}
