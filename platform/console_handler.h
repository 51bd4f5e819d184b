// The console control handler of the platform. On Windows the console's own handler
// (SetConsoleCtrlHandler): the system calls it on a thread of its own for each console
// event, and an event answered false (not handled) goes on to the default handling,
// which ends the process. On POSIX a thread that waits for SIGINT (Ctrl+C), SIGQUIT
// (Ctrl+Break), SIGHUP (console closed) and SIGTERM (shutdown) and hands each to the
// handler as the console event it stands for; when the handler answers false the
// process ends the way the signal's default action ends it. Either way the hooks of
// process_end.h run before the process is ended for an event answered false.
//
// Threading: install once, on the main thread, before any other thread is started
// (on POSIX threads started later inherit the blocked signals, so only the handler's
// thread receives them). The handler runs on a thread of its own.
#pragma once

#include <cstdint>

// Console event types, with the values the console reports them by.
enum ConsoleEventType : uint32_t {
  kCtrlCEvent = 0,
  kCtrlBreakEvent = 1,
  kCtrlCloseEvent = 2,
  kCtrlLogoffEvent = 5,
  kCtrlShutdownEvent = 6,
};

typedef bool (*ConsoleHandler)(uint32_t eventType);

// False when the handler could not be installed; the signals then keep their default
// actions.
bool SysInstallConsoleHandler(ConsoleHandler handler);
