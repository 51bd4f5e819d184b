// Control of the recording fake of the ORNA library (every name of
// orna/orna_api.h), for unit tests that link orna_fake instead of the real library.
//
// The fake records every call, in order, with its arguments as texts; answers each
// call with a result the test chose (by default 0, except RegisterPropertyEx 1, the
// positive number of a success, and ExecLinkEx 98, as no server is there); keeps the lines given to feclog; calls the init function of
// RegisterEquipmentModule once before it returns, like the real library; and keeps the
// registered callbacks so that a test can play the library's part.
//
// Threading: every function here and every library function of the fake may be called
// from any thread; the fake's state is guarded by one mutex, which is never held while
// a callback or hook runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "orna/orna_api.h"

// One recorded call. Arguments are written as the function got them: numbers in
// decimal, texts as they are ("null" for a null text), pointers as "null" or "set".
struct OrnaFakeCall {
  std::string name;
  std::vector<std::string> arguments;

  // "name(argument, argument, ...)".
  std::string ToString() const;
};

// Forgets all calls, lines, results, hooks and registered callbacks, and sets the
// library variables back to -1 ("never set by the server") and erlst to its texts.
void OrnaFakeReset();

// Every call since the last reset, in order.
std::vector<OrnaFakeCall> OrnaFakeCalls();
// The calls of one function, in order.
std::vector<OrnaFakeCall> OrnaFakeCallsOf(const std::string& function);
// The names of all calls, in order, leaving out feclog and makeDataTimeStamp.
std::vector<std::string> OrnaFakeCallNames();
// The lines given to feclog, formatted.
std::vector<std::string> OrnaFakeLogLines();

// What function answers from now on (for parseCDateAndTimeStr the time_t).
void OrnaFakeSetResult(const std::string& function, int64_t result);
// What function answers when its name argument is name; wins over OrnaFakeSetResult.
// The name argument is the property of RegisterPropertyEx, _SystemScheduleProperty
// and ExecLinkEx, the device of RegisterDeviceName, the module of SetEqmCompletion.
void OrnaFakeSetResultFor(const std::string& function, const std::string& name,
                          int64_t result);

// makeDataTimeStamp answers stamp from now on instead of the clock.
void OrnaFakeSetDataTimeStamp(double stamp);
// makeDataTimeStamp reads the clock again.
void OrnaFakeUseClockForDataTimeStamp();

// Replaces the text of a library error code in erlst (cut to 31 characters).
void OrnaFakeSetErrorText(int code, const char* text);

// Runs hook whenever function is called, after the call is recorded and before the
// fake answers (for example to make _SystemCycle serve a property call).
void OrnaFakeOnCall(const std::string& function, std::function<void()> hook);

// ExecLinkEx answers through handler from now on (it fills dout as a server would);
// the handler's answer is the call's result unless OrnaFakeSetResult(For) set one.
typedef std::function<int(const char* address, const char* property, DataObject* dout,
                          DataObject* din, short access, int timeoutMs)>
    OrnaFakeExecLinkHandler;
void OrnaFakeSetExecLinkHandler(OrnaFakeExecLinkHandler handler);

// The callbacks of the last RegisterEquipmentModule and RegisterXPropertyQueryFunction
// (null when none was registered).
struct OrnaFakeModule {
  OrnaEquipmentFunction equipmentFunction = nullptr;
  OrnaInitFunction initFunction = nullptr;
  OrnaBackgroundFunction backgroundFunction = nullptr;
  OrnaExitFunction exitFunction = nullptr;
  OrnaQueryFunction queryFunction = nullptr;
};
OrnaFakeModule OrnaFakeRegisteredModule();
