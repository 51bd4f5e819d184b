// Windows console handler: the console's own control handler. The system runs it on a
// thread of its own for every console event; the event types are the values that
// ConsoleEventType names, so they are handed on unchanged. Answering FALSE passes the
// event on to the default handling, which ends the process.
#include <windows.h>

#include "platform/console_handler.h"
#include "platform/process_end.h"

static_assert(kCtrlCEvent == CTRL_C_EVENT && kCtrlBreakEvent == CTRL_BREAK_EVENT &&
              kCtrlCloseEvent == CTRL_CLOSE_EVENT && kCtrlLogoffEvent == CTRL_LOGOFF_EVENT &&
              kCtrlShutdownEvent == CTRL_SHUTDOWN_EVENT);

namespace {

ConsoleHandler gHandler = nullptr;  // set once, before the handler is installed

BOOL WINAPI OnConsoleEvent(DWORD eventType) {
  if (gHandler(static_cast<uint32_t>(eventType))) return TRUE;
  // The default handling ends the process without running exit handlers.
  SysRunProcessEndHooks();
  return FALSE;
}

}  // namespace

bool SysInstallConsoleHandler(ConsoleHandler handler) {
  if (handler == nullptr) return false;
  gHandler = handler;
  if (SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) return true;
  gHandler = nullptr;
  return false;
}
