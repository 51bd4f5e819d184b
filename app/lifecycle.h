// The spine of the server process: the entry point's fixed start-up order, the one
// exit path with its exit codes, the console events and the equipment module's exit
// function.
//
// Threading: ServerMain, InitializeApplication and StartEquipmentModule run on the
// main thread. ExitApplication may be called from the main thread and from the
// console-event thread (ConsoleEvent); calls are serialised, and a second call
// releases nothing twice. EquipmentExitFunction is called by the library on the main
// thread.
#pragma once

class CIniExWrap;
class HardwareControl;

#include <cstdint>

// Exit codes of the process.
enum ExitCode : int32_t {
  kExitSettings = 1,               // settings invalid or not loadable; _SystemInit failed
  kExitFecRegistration = 2,        // RegisterFecInformation failed
  kExitModuleRegistration = 3,     // RegisterEquipmentModule failed
  kExitQueryRegistration = 4,      // RegisterXPropertyQueryFunction failed
  kExitDeviceRegistration = 5,     // RegisterDeviceName failed
  kExitPropertyRegistration = 6,   // a property could not be registered
  kExitRestartDeinitialize = 7,    // the frame source would not stop at a restart
  kExitSourceInitialize = 8,       // the frame source would not start at start-up
  kExitBufferAllocation = 9,       // BaseBuffer could not be allocated
  kExitSemaphore = 10,             // EqmOrFrameNotify could not be created
  kExitCommandLine = 11,           // command line not recognised
  kExitPreviousInstanceQuit = 12,  // /q: the running instance quit
  kExitNoPreviousInstance = 13,    // /q: no running instance was quit
};

// Console event types, as the console reports them.
enum ConsoleEventType : uint32_t {
  kCtrlCEvent = 0,
  kCtrlBreakEvent = 1,
  kCtrlCloseEvent = 2,
  kCtrlLogoffEvent = 5,
  kCtrlShutdownEvent = 6,
};

// The entry point's steps: build stamp, version, console handler, tuning values,
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

// Stops the frame source, releases the semaphore and BaseBuffer (what exists of
// them), and then returns when code is 0 or ends the process with code otherwise.
void ExitApplication(int32_t code);

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
