// The spine of the server process: the entry point's fixed start-up order, the one
// exit path (ExitApplication and the exit codes are in base/exit_application.h, for
// the parts below the start-up code, which takes the path installed here), the console
// events and the equipment module's exit function.
//
// Threading: ServerMain, InitializeApplication and StartEquipmentModule run on the
// main thread. ExitApplication may be called from the main thread and from the
// console-event thread (ConsoleEvent); calls are serialised, and a second call
// releases nothing twice. EquipmentExitFunction is called by the library on the main
// thread.
#pragma once

#include <cstdint>

#include "base/exit_application.h"

class CIniExWrap;
class HardwareControl;

// Hands the server's exit path down to ExitApplication: from then on an exit stops the
// frame source and releases the semaphore and BaseBuffer. ServerMain does it first.
void InstallExitPath();

// The entry point's steps: exit path, build stamp, version, console handler, tuning values,
// InitializeApplication, _SystemInit, StartEquipmentModule, then the server cycle for
// ever. Never returns.
[[noreturn]] void ServerMain(int argc, char** argv);

// Start-up before the library's initialisation: tuning values, log switches,
// validation and loading of settings.xml, command line, configuration fetch,
// semaphore, BaseBuffer, front-end registration. Ends the process on failure.
void InitializeApplication(int argc, char** argv);
// Start-up after it: module registration, AliveSinceTime, the frame source. Ends the
// process on failure.
void StartEquipmentModule();

// Starts the frame source with AppSettings' values and BaseBuffer, unless the exit
// path has begun: from then on the source stays stopped. The answer of Initialize;
// false too after the exit began. Main thread.
bool StartFrameSource(HardwareControl& source, const CIniExWrap& settings);
// True once ExitApplication has begun (on any thread): the process is ending.
bool ExitBegun();

// The console control handler; true when the event is taken as handled.
bool ConsoleEvent(uint32_t eventType);

// Called by the library when it shuts the server down: saves the settings, says
// goodbye on standard output and releases everything (ExitApplication(0)).
void EquipmentExitFunction();
