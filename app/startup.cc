// The server's start-up, in its fixed order, and the endless server cycle.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "app/background_task.h"
#include "app/command_line.h"
#include "app/lifecycle.h"
#include "app/main_thread.h"
#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "config/settings_validation.h"
#include "config/video_service_fetch.h"
#include "orna/orna_api.h"
#include "platform/broken_pipe.h"
#include "platform/console_handler.h"
#include "server/equipment_module.h"
#include "server/library_tuning.h"
#include "source/fault_plan.h"
#include "source/frame_slot.h"
#include "source/globals.h"
#include "source/hardware_control.h"

namespace {

// Identity texts are cut to the library's field widths here; the validation has
// already refused values that would be cut.
constexpr size_t kFecTextLimit = 32;
// Characters of the port offset's text handed to the library for its messages.
constexpr size_t kPortOffsetTextLimit = 63;

void CopyCut(char* buffer, const char* text, size_t limit) {
  size_t n = strnlen(text, limit);
  memcpy(buffer, text, n);
  buffer[n] = '\0';
}

void ReadSetting(char* buffer, const char* key, size_t limit) {
  CopyCut(buffer, AppSettings.GetString(kSectionOrnaServerSettings, key, ""), limit);
}

// The library's text of an init failure; codes outside its table read "unknown".
const char* InitErrorText(int code) {
  if (code < 0 || code >= ORNA_ERRLST_SIZE) return "unknown error";
  return erlst[code];
}

}  // namespace

void InitializeApplication(int argc, char** argv) {
  TuneLibrary();
  SetSourceSettingsCheck(FrameSourceAccepts);
  SetFaultPlanCheck(CheckFaultPlanFile);

  SetLogSinks(false, true, true, true);
  // A console event may already be logging on its own thread, which reads it.
  std::atomic_ref<int32_t>(FeclogDepth).store(500, std::memory_order_relaxed);

  SettingsProblem problem;
  if (!ValidateSettingsFile(&problem)) {
    DoLog("--- Error: Validating config file on startup failed.");
    DoLog("--- Error: %s", problem.text);
    ExitApplication(kExitSettings);
    return;
  }
  if (!AppSettings.Open(kSettingsFileName, true, true, false)) {
    DoLog("--- Error: Opening up config file on startup failed.");
    ExitApplication(kExitSettings);
    return;
  }

  ParseCommandLine(argc, argv);

  StayQuiet = FetchVideoServiceConfigInto(AppSettings);
  if (StayQuiet) DoLog("--- Info: ORNA Video Service responded \"Stay Quiet\".");
  // Whether the source brings its own device is fixed before the devices are
  // registered, from the settings of the first start.
  DecideFrameSourceDevice(AppSettings);

  SysSemaphore* semaphore = SysCreateSemaphore(1, 1);
  if (semaphore == nullptr) {
    DoLog("--- Error: Semaphore could not be allocated.");
    ExitApplication(kExitSemaphore);
    return;
  }
  EqmOrFrameNotify.store(semaphore);

  uint8_t* buffer = new (std::nothrow) uint8_t[kBaseBufferSize];
  if (buffer == nullptr) {
    DoLog("--- Error: Memory allocation of base buffers at startup failed.");
    ExitApplication(kExitBufferAllocation);
    return;
  }
  BaseBuffer.store(buffer);

  char fecName[kFecTextLimit + 1], subsystem[kContextLimit + 1], context[kContextLimit + 1],
      description[kFecTextLimit + 1], location[kFecTextLimit + 1], hardware[kFecTextLimit + 1],
      responsible[kFecTextLimit + 1];
  ReadSetting(fecName, kKeyFecName, kFecTextLimit);
  ReadSetting(subsystem, kKeySubsystem, kContextLimit);
  ReadSetting(context, kKeyContext, kContextLimit);
  ReadSetting(description, kKeyFecDescription, kFecTextLimit);
  ReadSetting(location, kKeyFecLocation, kFecTextLimit);
  ReadSetting(hardware, kKeyFecHardware, kFecTextLimit);
  ReadSetting(responsible, kKeyFecResponsible, kFecTextLimit);
  int32_t portOffset = AppSettings.GetInt(kSectionOrnaServerSettings, kKeyPortOffset, 0);
  // GetInt brings a number beyond 32 bits to the nearest int; should the library refuse
  // the offset, it quotes the text as written instead. Kept for the process's life.
  static char portOffsetText[kPortOffsetTextLimit + 1];
  CopyCut(portOffsetText, AppSettings.GetString(kSectionOrnaServerSettings, kKeyPortOffset, ""),
          kPortOffsetTextLimit);
  gPortOffsetText = portOffsetText;
  if (RegisterFecInformation(fecName, subsystem, context, description, location, hardware,
                             responsible, portOffset) != 0)
    ExitApplication(kExitFecRegistration);
}

void StartEquipmentModule() {
  char serverName[kServerNameLimit + 1], moduleName[kEquipmentModuleNameLimit + 1];
  ReadSetting(serverName, kKeyServerName, kServerNameLimit);
  ReadSetting(moduleName, kKeyEquipmentModuleName, kEquipmentModuleNameLimit);
  RestartRequested = false;
  if (RegisterEquipmentModule(serverName, moduleName, ModuleDeviceCount(), EquipmentFunctionHVX,
                              EquipmentModuleInit, EquipmentBackgroundTask, 1000,
                              EquipmentExitFunction) != 0) {
    DoLog("-+- Error: Orna Equipment module could not be registered.");
    ExitApplication(kExitModuleRegistration);
    return;
  }
  AliveSinceTime = time(nullptr);
  SourceFailed = false;
  if (StayQuiet) return;  // the server runs without frames
  if (!StartFrameSource(FrameSource, AppSettings)) {
    if (ExitBegun()) return;  // a console event is ending the process
    DoLog("-+- Error initializing hardware on start!");
    DoLog("-+- Internal error was: \"%s\"", FrameSource.GetErrorText());
    ExitApplication(kExitSourceInitialize);
  }
}

void ServerMain(int argc, char** argv) {
  InstallExitPath();
  RememberMainThread();
  // A log line to a standard error or output whose reader has gone is a failed write, not
  // the end of the server: it goes on serving and logging to its file.
  SysIgnoreBrokenPipe();
  SetAppDate(parseCDateAndTimeStr(__DATE__, __TIME__));
  SetAppVersion(0, 9, 1);
  if (!SysInstallConsoleHandler(ConsoleEvent)) DoLog("Warning: Console handler could not be installed!");
  ornaDebug = 0;
  SetBurstLimit(6000);
  SetCycleDelay(0);
  InitializeApplication(argc, argv);
  int r = _SystemInit(1);
  if (r != 0) {
    printf("init error: %s\n", InitErrorText(r));
    fflush(stdout);
    exit(kExitSettings);
  }
  StartEquipmentModule();
  for (;;) _SystemCycle(1);
}
