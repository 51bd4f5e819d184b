// The one exit path of the process and its exit codes, here below every part that may
// end the process (the configuration fetch, the registration of the module). What
// there is to release only the start-up code knows: it hands its exit path down at
// start-up (SetExitPath), and ExitApplication takes it. Until then (a test, a fuzz
// target) an exit releases nothing and only ends the process with its code.
//
// Threading: ExitApplication may be called from the main thread and from the
// console-event thread; the exit path serialises the calls, and a second call
// releases nothing twice. SetExitPath: main thread, before the console handler is
// installed.
#pragma once

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

// Stops the frame source, releases the semaphore and BaseBuffer (what exists of
// them), and then returns when code is 0 or ends the process with code otherwise.
// Without an exit path set: returns when code is 0, else ends the process with code.
void ExitApplication(int32_t code);

// The start-up code's exit path, which does all of the above; null takes it away.
using ExitPath = void (*)(int32_t code);
void SetExitPath(ExitPath path);
