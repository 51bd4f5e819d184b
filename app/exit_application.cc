// The one exit path, the console events and the equipment module's exit function.
//
// ExitApplication may run on the console-event thread while the main thread is still
// inside the library's cycle and may be about to use the semaphore or a frame slot.
// The pointers are therefore taken away atomically first; the memory behind them is
// freed only when ExitApplication runs on the main thread (which then can't be inside
// a property call) or when the process ends with a code. Otherwise it is kept, unused,
// for the few moments until the process ends, so that a late property call finds a
// null handle (and answers 555) instead of freed memory.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/lifecycle.h"
#include "app/exit_testing.h"
#include "app/main_thread.h"
#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "platform/annotated_mutex.h"
#include "platform/console_handler.h"
#include "server/equipment_module.h"
#include "source/frame_slot.h"
#include "source/globals.h"
#include "source/hardware_control.h"

namespace {

Mutex gExitMutex;  // one ExitApplication at a time

// Set by the first ExitApplication before it stops the frame source; a start after that
// would run a source nobody stops. A start already under way when it is set is
// cancelled by that stop (the player serialises its start and stop).
std::atomic<bool> gExitBegun{false};

// Set by a console event that is about to end the process by the event's default
// handling, on its own thread.
std::atomic<bool> gConsoleEnding{false};

// How long an exit with a code waits for a console event's ending to take over.
constexpr uint32_t kConsoleEndingWaitMs = 2000;

// What a console-thread exit took away but could not free yet.
SysSemaphore* gRetiredSemaphore GUARDED_BY(gExitMutex) = nullptr;
uint8_t* gRetiredBuffer GUARDED_BY(gExitMutex) = nullptr;

thread_local bool tConsoleEventThread = false;
void MarkConsoleEventThread() { tConsoleEventThread = true; }
bool IsConsoleEventThread() { return tConsoleEventThread; }

}  // namespace

bool StartFrameSource(HardwareControl& source, const CIniExWrap& settings) {
  if (gExitBegun.load()) return false;
  return source.Initialize(settings, OnNewFrameNotify, BaseBuffer.load(), kFrameSlotCount);
}

namespace {

// The exit path that ExitApplication takes once start-up has installed it.
void EndApplication(int32_t code) {
  {
    MutexLock lock(gExitMutex);
    gExitBegun.store(true);
    // The grab thread writes into BaseBuffer and takes the semaphore: stop it first.
    FrameSource.Deinitialize();
    SysSemaphore* semaphore = EqmOrFrameNotify.exchange(nullptr);
    uint8_t* buffer = BaseBuffer.exchange(nullptr);
    bool mayFree = code != 0 || IsMainThread();
    if (mayFree) {
      if (semaphore != nullptr) SysCloseSemaphore(semaphore);
      delete[] buffer;
    } else {
      if (semaphore != nullptr) gRetiredSemaphore = semaphore;
      if (buffer != nullptr) gRetiredBuffer = buffer;
    }
  }
  if (code == 0) return;
  // A console event is ending the process on its own thread: that ending, the one its
  // event promises, wins over this code (which would otherwise race with it).
  if (gConsoleEnding.load() && !IsConsoleEventThread()) SysSleep(kConsoleEndingWaitMs);
  exit(code);
}

}  // namespace

void InstallExitPath() { SetExitPath(EndApplication); }

bool ExitBegun() { return gExitBegun.load(); }

void ForgetExitForTesting() {
  gExitBegun.store(false);
  gConsoleEnding.store(false);
}

bool ConsoleEvent(uint32_t eventType) {
  const char* message = nullptr;
  switch (eventType) {
    case kCtrlCEvent:
      message = "ConsoleEvent: CTRL-C hit. Application will quit gracefully.";
      break;
    case kCtrlBreakEvent:
      return true;
    case kCtrlCloseEvent:
      message = "ConsoleEvent: Server being closed. Application will quit gracefully.";
      break;
    case kCtrlLogoffEvent:
      message = "ConsoleEvent: User is logging off. Application will quit gracefully.";
      break;
    case kCtrlShutdownEvent:
      message = "ConsoleEvent: Machine is going to shut down. Application will quit gracefully.";
      break;
    default:
      DoLog("ConsoleEvent: Unknown event!");
      return true;
  }
  DoLog("%s", message);
  gConsoleEnding.store(true);
  MarkConsoleEventThread();
  ExitApplication(0);
  return false;  // not handled: the default handling ends the process
}

void EquipmentExitFunction() {
  AppSettings.Save(true);
  printf("Exiting.... (graceful)\n");
  fflush(stdout);
  ExitApplication(0);
}
