// The recording fake of the ORNA library: every name of orna/orna_api.h, and the
// control functions of orna_fake.h.

#include "tests/fakes/orna_fake.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <utility>

namespace {

struct Answer {
  bool set = false;
  int64_t value = 0;
};

struct FakeState {
  std::mutex mutex;  // guards everything below
  std::vector<OrnaFakeCall> calls;
  std::vector<std::string> lines;
  std::map<std::string, int64_t> results;
  std::map<std::pair<std::string, std::string>, int64_t> namedResults;
  std::map<std::string, std::function<void()>> hooks;
  OrnaFakeExecLinkHandler execLinkHandler;
  OrnaFakeModule module;
  bool stampSet = false;
  double stamp = 0.0;
};

// Never destroyed, so that a call made while the process ends still finds it.
FakeState& State() {
  static FakeState* state = new FakeState;
  return *state;
}

char gErrorTexts[ORNA_ERRLST_SIZE][ORNA_ERRLST_WIDTH];

void SetErrorText(int code, const char* text) {
  snprintf(gErrorTexts[code], ORNA_ERRLST_WIDTH, "%s", text);
}

void FillErrorTexts() {
  for (int code = 0; code < ORNA_ERRLST_SIZE; ++code) SetErrorText(code, "unknown error");
  SetErrorText(ORNA_OK, "success");
  SetErrorText(ORNA_OPERATION_FAILED, "operation failed");
  SetErrorText(ORNA_ILLEGAL_FORMAT, "illegal format");
  SetErrorText(ORNA_INVALID_ARGUMENT, "invalid argument");
  SetErrorText(ORNA_DIMENSION_ERROR, "dimension error");
  SetErrorText(ORNA_ILLEGAL_PROPERTY, "illegal property");
  SetErrorText(ORNA_TOO_MANY_CONTRACTS, "too many contracts");
  SetErrorText(ORNA_OUT_OF_MEMORY, "out of memory");
  SetErrorText(ORNA_WORK_AREA_TOO_SMALL, "work area too small");
  SetErrorText(ORNA_MALFORMED_REQUEST, "malformed request");
  SetErrorText(ORNA_NOT_REGISTERED, "not registered");
  SetErrorText(ORNA_ALREADY_REGISTERED, "already registered");
  SetErrorText(ORNA_ADDRESS_IN_USE, "address in use");
  SetErrorText(ORNA_SOCKET_ERROR, "socket error");
  SetErrorText(ORNA_NAMES_ERROR, "names directory error");
  SetErrorText(ORNA_ILLEGAL_READ_WRITE, "illegal read/write");
  SetErrorText(ORNA_REMOTE_EXIT_REFUSED, "remote exit refused");
  SetErrorText(ORNA_NOT_INITIALIZED, "not initialized");
  SetErrorText(ORNA_CONNECTION_TIMEOUT, "connection timed out");
  SetErrorText(ORNA_SEMAPHORE_ERROR, "semaphore error");
}

void SetVariablesUnset() {
  ornaDebug = -1;
  gAllowRemoteExit = -1;
  gPortOffsetText = nullptr;
  MaxNumContracts = -1;
  MinPollingRate = -1;
  FeclogDepth = -1;
}

// Fills erlst before any test runs.
struct StaticSetUp {
  StaticSetUp() { FillErrorTexts(); }
} gStaticSetUp;

std::string Text(const char* text) { return text != nullptr ? text : "null"; }
std::string Pointer(const void* pointer) { return pointer != nullptr ? "set" : "null"; }
template <typename F>
std::string Function(F function) {
  return function != nullptr ? "set" : "null";
}
std::string Number(int64_t number) { return std::to_string(number); }

// Records the call, runs its hook and answers the result the test set for it.
// A feclog line is kept in the same step, so lines and calls are in the same order.
Answer Record(const char* function, std::vector<std::string> arguments,
              const char* name = nullptr, const char* logLine = nullptr) {
  FakeState& state = State();
  Answer answer;
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.push_back(OrnaFakeCall{function, std::move(arguments)});
    if (logLine != nullptr) state.lines.push_back(logLine);
    auto named = name != nullptr ? state.namedResults.find({function, name})
                                 : state.namedResults.end();
    if (named != state.namedResults.end()) {
      answer = {true, named->second};
    } else if (auto general = state.results.find(function); general != state.results.end()) {
      answer = {true, general->second};
    }
    if (auto found = state.hooks.find(function); found != state.hooks.end()) {
      hook = found->second;
    }
  }
  if (hook) hook();
  return answer;
}

int Result(const Answer& answer, int otherwise = 0) {
  return answer.set ? static_cast<int>(answer.value) : otherwise;
}

double ClockStamp() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec / 1000000) / 1000.0;
}

// The first n elements of din as 32-bit integers, as the library converts them.
int ConvertToLong(const DataObject* din, int32_t* values, int n) {
  if (din == nullptr || values == nullptr || n <= 0) return ORNA_INVALID_ARGUMENT;
  if (din->data == nullptr) return ORNA_INVALID_ARGUMENT;
  if (din->format != ORNA_FMT_TEXT && din->count < n) return ORNA_DIMENSION_ERROR;
  for (int i = 0; i < n; ++i) {
    switch (din->format) {
      case ORNA_FMT_INT32:
        values[i] = static_cast<const int32_t*>(din->data)[i];
        break;
      case ORNA_FMT_DOUBLE:
        values[i] = static_cast<int32_t>(static_cast<const double*>(din->data)[i]);
        break;
      case ORNA_FMT_FLOAT:
        values[i] = static_cast<int32_t>(static_cast<const float*>(din->data)[i]);
        break;
      case ORNA_FMT_BYTE:
        values[i] = static_cast<const uint8_t*>(din->data)[i];
        break;
      case ORNA_FMT_TEXT: {
        if (n != 1 || din->count <= 0) return ORNA_DIMENSION_ERROR;
        std::string text(static_cast<const char*>(din->data),
                         strnlen(static_cast<const char*>(din->data), din->count));
        char* end = nullptr;
        long value = strtol(text.c_str(), &end, 10);
        if (end == text.c_str()) return ORNA_INVALID_ARGUMENT;
        values[0] = static_cast<int32_t>(value);
        break;
      }
      default:
        return ORNA_ILLEGAL_FORMAT;
    }
  }
  return ORNA_OK;
}

}  // namespace

// ---- The library's variables ---------------------------------------------------------

const char (&erlst)[ORNA_ERRLST_SIZE][ORNA_ERRLST_WIDTH] = gErrorTexts;
int32_t ornaDebug = -1;
int32_t gAllowRemoteExit = -1;
const char* gPortOffsetText = nullptr;
int32_t MaxNumContracts = -1;
int16_t MinPollingRate = -1;
int32_t FeclogDepth = -1;

// ---- Control -------------------------------------------------------------------------

std::string OrnaFakeCall::ToString() const {
  std::string text = name + "(";
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) text += ", ";
    text += arguments[i];
  }
  return text + ")";
}

void OrnaFakeReset() {
  FakeState& state = State();
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.clear();
    state.lines.clear();
    state.results.clear();
    state.namedResults.clear();
    state.hooks.clear();
    state.execLinkHandler = nullptr;
    state.module = OrnaFakeModule();
    state.stampSet = false;
    state.stamp = 0.0;
  }
  SetVariablesUnset();
  FillErrorTexts();
}

std::vector<OrnaFakeCall> OrnaFakeCalls() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().calls;
}

std::vector<OrnaFakeCall> OrnaFakeCallsOf(const std::string& function) {
  std::vector<OrnaFakeCall> calls;
  for (const OrnaFakeCall& call : OrnaFakeCalls()) {
    if (call.name == function) calls.push_back(call);
  }
  return calls;
}

std::vector<std::string> OrnaFakeCallNames() {
  std::vector<std::string> names;
  for (const OrnaFakeCall& call : OrnaFakeCalls()) {
    if (call.name != "feclog" && call.name != "makeDataTimeStamp") names.push_back(call.name);
  }
  return names;
}

std::vector<std::string> OrnaFakeLogLines() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().lines;
}

void OrnaFakeSetResult(const std::string& function, int64_t result) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().results[function] = result;
}

void OrnaFakeSetResultFor(const std::string& function, const std::string& name,
                          int64_t result) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().namedResults[{function, name}] = result;
}

void OrnaFakeSetDataTimeStamp(double stamp) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().stampSet = true;
  State().stamp = stamp;
}

void OrnaFakeUseClockForDataTimeStamp() {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().stampSet = false;
}

void OrnaFakeSetErrorText(int code, const char* text) {
  if (code >= 0 && code < ORNA_ERRLST_SIZE) SetErrorText(code, text);
}

void OrnaFakeOnCall(const std::string& function, std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().hooks[function] = std::move(hook);
}

void OrnaFakeSetExecLinkHandler(OrnaFakeExecLinkHandler handler) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().execLinkHandler = std::move(handler);
}

OrnaFakeModule OrnaFakeRegisteredModule() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().module;
}

// ---- Engine, identity and tuning -----------------------------------------------------

time_t parseCDateAndTimeStr(const char* date, const char* time) {
  Answer answer = Record("parseCDateAndTimeStr", {Text(date), Text(time)});
  return answer.set ? static_cast<time_t>(answer.value) : 0;
}

int SetAppDate(time_t buildTime) {
  return Result(Record("SetAppDate", {Number(static_cast<int64_t>(buildTime))}));
}

int SetAppVersion(int major, int minor, int build) {
  return Result(Record("SetAppVersion", {Number(major), Number(minor), Number(build)}));
}

int SetBurstLimit(int requests) { return Result(Record("SetBurstLimit", {Number(requests)})); }

int SetCycleDelay(int milliseconds) {
  return Result(Record("SetCycleDelay", {Number(milliseconds)}));
}

int SetUseLoopback(int on) { return Result(Record("SetUseLoopback", {Number(on)})); }

int setWorkAreaSize(int bytes) { return Result(Record("setWorkAreaSize", {Number(bytes)})); }

int SetPacketMTU(int bytes) { return Result(Record("SetPacketMTU", {Number(bytes)})); }

int _SystemAssignBufferSpace(int totalBytes, int packetBytes) {
  return Result(Record("_SystemAssignBufferSpace", {Number(totalBytes), Number(packetBytes)}));
}

int RegisterFecInformation(const char* name, const char* subsystem, const char* context,
                           const char* description, const char* location,
                           const char* hardware, const char* responsible, int portOffset) {
  return Result(Record("RegisterFecInformation",
                       {Text(name), Text(subsystem), Text(context), Text(description),
                        Text(location), Text(hardware), Text(responsible),
                        Number(portOffset)}));
}

int _SystemInit(int argument) { return Result(Record("_SystemInit", {Number(argument)})); }

int _SystemCycle(int wait) { return Result(Record("_SystemCycle", {Number(wait)})); }

// ---- Equipment module ----------------------------------------------------------------

int RegisterEquipmentModule(const char* serverName, const char* moduleName, int deviceCount,
                            OrnaEquipmentFunction equipmentFunction,
                            OrnaInitFunction initFunction,
                            OrnaBackgroundFunction backgroundFunction, int intervalMs,
                            OrnaExitFunction exitFunction) {
  Answer answer = Record("RegisterEquipmentModule",
                         {Text(serverName), Text(moduleName), Number(deviceCount),
                          Function(equipmentFunction), Function(initFunction),
                          Function(backgroundFunction), Number(intervalMs),
                          Function(exitFunction)},
                         moduleName);
  int result = Result(answer);
  if (result != 0) return result;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    OrnaFakeModule& module = State().module;
    module.equipmentFunction = equipmentFunction;
    module.initFunction = initFunction;
    module.backgroundFunction = backgroundFunction;
    module.exitFunction = exitFunction;
  }
  // Like the library: the module registers its devices and properties from here.
  if (initFunction != nullptr) initFunction();
  return result;
}

int RegisterXPropertyQueryFunction(const char* moduleName, OrnaQueryFunction function,
                                   int maxRecords) {
  int result = Result(Record("RegisterXPropertyQueryFunction",
                             {Text(moduleName), Function(function), Number(maxRecords)},
                             moduleName));
  if (result == 0) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().module.queryFunction = function;
  }
  return result;
}

int RegisterDeviceName(const char* moduleName, const char* deviceName, int number) {
  return Result(Record("RegisterDeviceName",
                       {Text(moduleName), Text(deviceName), Number(number)}, deviceName));
}

int RegisterPropertyEx(const char* moduleName, const char* property, int outSize,
                       short outFormat, unsigned char access, const char* description,
                       int id) {
  return Result(Record("RegisterPropertyEx",
                       {Text(moduleName), Text(property), Number(outSize), Number(outFormat),
                        Number(access), Text(description), Number(id)},
                       property),
                1);
}

int SetEqmCompletion(const char* moduleName, const char* text) {
  return Result(Record("SetEqmCompletion", {Text(moduleName), Text(text)}, moduleName));
}

int _SystemScheduleProperty(const char* moduleName, const char* property) {
  return Result(
      Record("_SystemScheduleProperty", {Text(moduleName), Text(property)}, property));
}

// ---- Data helpers --------------------------------------------------------------------

int getValuesAsLong(const DataObject* din, int32_t* values, int n) {
  Answer answer = Record("getValuesAsLong", {Pointer(din), Pointer(values), Number(n)});
  if (answer.set) return static_cast<int>(answer.value);
  return ConvertToLong(din, values, n);
}

double makeDataTimeStamp(void) {
  Record("makeDataTimeStamp", {});
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().stampSet ? State().stamp : ClockStamp();
}

// ---- Remote calls --------------------------------------------------------------------

int ExecLinkEx(const char* address, const char* property, DataObject* dout, DataObject* din,
               short access, int timeoutMs) {
  Answer answer = Record("ExecLinkEx",
                         {Text(address), Text(property), Pointer(dout), Pointer(din),
                          Number(access), Number(timeoutMs)},
                         property);
  if (answer.set) return static_cast<int>(answer.value);
  OrnaFakeExecLinkHandler handler;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    handler = State().execLinkHandler;
  }
  if (handler) return handler(address, property, dout, din, access, timeoutMs);
  return ORNA_CONNECTION_TIMEOUT;
}

// ---- Log -----------------------------------------------------------------------------

int feclog(const char* format, ...) {
  char buffer[2048];
  va_list arguments;
  va_start(arguments, format);
  if (vsnprintf(buffer, sizeof buffer, format, arguments) < 0) buffer[0] = '\0';
  va_end(arguments);
  return Result(Record("feclog", {buffer}, nullptr, buffer));
}
