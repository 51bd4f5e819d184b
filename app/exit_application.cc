// The one exit path, the console events and the equipment module's exit function.
//
// ExitApplication may run on the console-event thread while the main thread is still
// inside the library's cycle and may be about to use the semaphore or a frame slot.
// The pointers are therefore taken away atomically first; the memory behind them is
// freed only when ExitApplication runs on the main thread (which then can't be inside
// a property call) or when the process ends with a code. Otherwise it is kept, unused,
// for the few moments until the process ends, so that a late property call finds a
// null handle (and answers 555) instead of freed memory.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/globals.h"
#include "app/lifecycle.h"
#include "app/log.h"
#include "app/main_thread.h"
#include "app/process_state.h"

namespace {

std::mutex gExitMutex;  // one ExitApplication at a time

// What a console-thread exit took away but could not free yet.
SysSemaphore* gRetiredSemaphore = nullptr;
uint8_t* gRetiredBuffer = nullptr;

}  // namespace

void ExitApplication(int32_t code) {
  {
    std::lock_guard<std::mutex> lock(gExitMutex);
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
  exit(code);
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
  ExitApplication(0);
  return false;  // not handled: the default handling ends the process
}

void EquipmentExitFunction() {
  AppSettings.Save(true);
  printf("Exiting.... (graceful)\n");
  fflush(stdout);
  ExitApplication(0);
}
