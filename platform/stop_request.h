// A tool's stop request: the console events that ask a long-running tool to end
// (console_handler.h: Ctrl+C, Ctrl+Break, closing the console, shutdown; on POSIX
// SIGINT, SIGQUIT, SIGHUP and SIGTERM) become a request that the tool's loop looks at
// or waits for, so that the tool ends its work itself (a subscription ended at the
// server, a recording kept) instead of being ended in the middle of it. The tool picks
// the events that ask it to stop; the others, and the picked ones that come before the
// tool takes requests, end the process as by default.
//
// Threading: SysCatchStopRequests once, on the main thread, before any other thread is
// started (the console handler's rule); the others from any thread.
#pragma once

#include <cstdint>

#include "platform/console_handler.h"

// The bit of a console event in a set of events.
constexpr uint32_t SysConsoleEventBit(ConsoleEventType event) { return 1u << event; }

// Installs the console handler for the events whose bits are in eventBits. Until
// SysTakeStopRequests they still end the process. False when the handler could not be
// installed; every event then keeps its default action.
bool SysCatchStopRequests(uint32_t eventBits);

// From now on a caught event is a stop request instead of the end of the process.
void SysTakeStopRequests();

// True once a caught event came after SysTakeStopRequests.
bool SysStopRequested();

// Waits until SysStopRequested is true.
void SysWaitForStopRequest();
