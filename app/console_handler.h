// The console control handler of the platform: on POSIX a thread that waits for
// SIGINT (Ctrl+C), SIGQUIT (Ctrl+Break), SIGHUP (console closed) and SIGTERM
// (shutdown) and hands each to the handler as the console event it stands for. When
// the handler answers false (not handled) the process ends the way the signal's
// default action ends it.
//
// Threading: install once, on the main thread, before any other thread is started
// (threads started later inherit the blocked signals, so only the handler's thread
// receives them). The handler runs on that thread.
#pragma once

#include <cstdint>

typedef bool (*ConsoleHandler)(uint32_t eventType);

// False when the handler could not be installed; the signals then keep their default
// actions.
bool SysInstallConsoleHandler(ConsoleHandler handler);
