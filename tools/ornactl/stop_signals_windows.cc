// Windows: Ctrl+C, Ctrl+Break and closing the console set the flag; the handler runs
// on a thread of its own, so the flag is atomic. Answering TRUE keeps the process
// alive until the loop has ended the subscription.
#include <windows.h>

#include <atomic>

#include "tools/ornactl/stop_signals.h"

namespace ornactl {
namespace {

std::atomic<bool> gStopRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
    return FALSE;
  gStopRequested.store(true);
  return TRUE;
}

}  // namespace

void CatchStopSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool StopRequested() { return gStopRequested.load(); }

}  // namespace ornactl
