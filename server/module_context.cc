#include "server/module_context.h"

#include <atomic>

#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "platform/sys.h"
#include "server/module_testing.h"
#include "source/globals.h"
#include "source/hardware_control.h"

namespace {

// Set only by tests, while nothing else runs; atomic so that a reader on another
// thread never sees a torn pointer.
std::atomic<HardwareControl*> gSourceOverride{nullptr};
std::atomic<ModuleClock> gClockOverride{nullptr};

}  // namespace

HardwareControl& ModuleFrameSource() {
  HardwareControl* source = gSourceOverride.load();
  return source != nullptr ? *source : FrameSource;
}

const char* ModuleName() {
  return AppSettings.GetString(kSectionOrnaServerSettings, kKeyEquipmentModuleName, "");
}

void ModuleTimeNow(int64_t* seconds, int32_t* milliseconds) {
  ModuleClock clock = gClockOverride.load();
  if (clock != nullptr) {
    clock(seconds, milliseconds);
    return;
  }
  SysTimeNow(seconds, milliseconds);
}

void SetModuleFrameSourceForTesting(HardwareControl* source) { gSourceOverride.store(source); }

void SetModuleClockForTesting(ModuleClock clock) { gClockOverride.store(clock); }
