// Work that has to be done however the process ends, wherever the process can still
// act: at exit() (and a return from main), and when a console event ends the process
// by its default handling (console_handler.h), which on POSIX re-raises the signal and
// on Windows ends the process without running exit handlers. The library uses it to
// remove its names entry, so that clients don't take an ended server for a running one.
// Nothing can be done for an end nobody sees (SIGKILL, a crash, power loss).
//
// Threading: SysAtProcessEnd from any thread. The hooks run once, on the thread that
// ends the process first (the main thread in exit, or the console-event thread); a
// second thread ending it meanwhile waits until they have run.
#pragma once

typedef void (*SysProcessEndHook)();

// Adds a hook; hooks run in the order they were added. A hook must not add hooks. False
// when the hook can't be added (the table is full, or the process is already ending).
bool SysAtProcessEnd(SysProcessEndHook hook);

// Runs the hooks, once per process; later calls wait for the first to finish and then
// return. Called by exit() and by the console handler before the default handling.
void SysRunProcessEndHooks();
